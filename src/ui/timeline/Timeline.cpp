#include "ui/timeline/Timeline.h"

#include "model/program/TimeText.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace salvo::ui {

namespace {

constexpr int Pad = 8;
constexpr int TickGap = 14;  // least blank between two tick labels
constexpr int NumberGap = 3; // least blank between two channel numbers of one row
constexpr int NumberRows = 3;
constexpr int ManualBar = 16;
constexpr int AutomaticBar = 11;
constexpr int HitReach = 5;
constexpr int BurstRadius = 3; // the effect's star, the same at every zoom

QString Seconds(double t, char separator) {
    return QString::fromStdString(FormatTime(t, separator));
}

// Shortened at its end, with "…", until it fits.
QString Fit(TimelineMeasure& m, const QString& text, TimelineFont font, int width) {
    if (m.TextWidth(text, font) <= width)
        return text;
    const QString ellipsis = QString::fromUtf8("…");
    QString kept = text;
    while (!kept.isEmpty() && m.TextWidth(kept + ellipsis, font) > width)
        kept.chop(1);
    return kept + ellipsis;
}

QString TickText(long long k, double step, char separator) {
    return QString::fromStdString(FormatMilliseconds(double(k) * step, separator)) +
           QStringLiteral(" s");
}

// The ticks that fall on [from, to].
std::pair<long long, long long> TickRange(double from, double to, double step) {
    return {static_cast<long long>(std::ceil(from / step - 1e-9)),
            static_cast<long long>(std::floor(to / step + 1e-9))};
}

// Round steps in seconds, then whole hours onwards until one tick covers any program.
std::vector<double> Steps(double end) {
    std::vector<double> steps = {0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
    for (double hours = 2; steps.back() <= end; hours *= hours < 5 ? 2.5 : 2)
        steps.push_back(3600 * std::round(hours));
    return steps;
}

// The smallest step whose labels keep apart at this scale.
double ChooseStep(TimelineMeasure& m, double from, double to, int axisWidth, char separator,
                  bool zoomed) {
    const double span = to - from;
    std::vector<double> steps = Steps(to);
    // Hundredths only when zoomed: the whole show keeps the device's 0.2 s as its finest.
    if (zoomed)
        steps.insert(steps.begin(), {0.01, 0.02, 0.05, 0.1});
    const int narrowest = m.TextWidth(QStringLiteral("0 s"), TimelineFont::Tick);
    for (double step : steps) {
        const auto [first, last] = TickRange(from, to, step);
        const double pixels = step / span * axisWidth;
        // Most steps are far too fine: rejected before anything is measured.
        if (pixels < narrowest + TickGap)
            continue;
        int widest = 0;
        for (long long k = first; k <= last; ++k)
            widest =
                std::max(widest, m.TextWidth(TickText(k, step, separator), TimelineFont::Tick));
        if (last <= first || pixels >= widest + TickGap)
            return step;
    }
    return steps.back();
}

} // namespace

std::vector<TimelineChannel> ChannelsOf(const ChannelTable& table) {
    ChannelTable copy;
    copy.CopyTableFrom(table);
    std::vector<TimelineChannel> out;
    for (int k = 0; k < copy.ChannelCount(); ++k)
        out.push_back({k + 1, copy.GetChannelType(k) == Automatic ? Automatic : Manual,
                       copy.GetChannelTime(k)});
    return out;
}

TimelineView ClampedView(TimelineView view, double total, int axisPixels) {
    const double finest = FinestSecondsPerPixel * std::max(1, axisPixels);
    if (!(total > 0) || !(view.Span > 0) || view.Span >= total || finest >= total)
        return {};
    view.Span = std::max(view.Span, finest);
    view.Start = std::clamp(std::isfinite(view.Start) ? view.Start : 0.0, 0.0, total - view.Span);
    return view;
}

TimelineView ZoomedView(TimelineView view, double total, int axisPixels, double anchor,
                        double factor) {
    view = ClampedView(view, total, axisPixels);
    const double span = view.Span > 0 ? view.Span : total;
    if (!(factor > 0) || !(span > 0))
        return view;
    const double share = std::clamp((anchor - view.Start) / span, 0.0, 1.0);
    TimelineView zoomed{0, span / factor};
    zoomed.Span = std::max(zoomed.Span, FinestSecondsPerPixel * std::max(1, axisPixels));
    zoomed.Start = anchor - share * zoomed.Span;
    return ClampedView(zoomed, total, axisPixels);
}

int TimelineLayout::XOf(double seconds) const {
    const double x = (seconds - ViewStart) / (ViewEnd - ViewStart) * (AxisRight - AxisLeft);
    // Far outside the view, a point only needs to be off the panel.
    return AxisLeft + static_cast<int>(std::lround(std::clamp(x, -1e6, 1e6)));
}

double TimelineLayout::SecondsPerPixel() const {
    return (ViewEnd - ViewStart) / std::max(1, AxisRight - AxisLeft);
}

const TimelineLane* TimelineLayout::LaneAt(int y) const {
    for (const TimelineLane& lane : Lanes)
        if (y >= lane.Box.top() && y <= lane.Box.bottom())
            return &lane;
    return nullptr;
}

const TimelineMark* TimelineLayout::MarkAt(int x, int y) const {
    const TimelineLane* lane = LaneAt(y);
    if (!lane || y < lane->Baseline - ManualBar - 3)
        return nullptr;
    const int index = static_cast<int>(lane - Lanes.data());
    const TimelineMark* best = nullptr;
    // The effect's star stands for its channel as well as the bar.
    auto distance = [x](const TimelineMark& mark) {
        const int d = std::abs(mark.X - x);
        return mark.Lift > 0 ? std::min(d, std::abs(mark.Burst.x() - x)) : d;
    };
    int bestDistance = HitReach + 1;
    for (const TimelineMark& mark : Marks)
        if (mark.Lane == index && distance(mark) < bestDistance) {
            best = &mark;
            bestDistance = distance(mark);
        }
    return best;
}

std::vector<TimelineText> TimelineLayout::Texts() const {
    std::vector<TimelineText> out{Summary};
    out.insert(out.end(), Legend.begin(), Legend.end());
    out.insert(out.end(), TickLabels.begin(), TickLabels.end());
    for (const TimelineLane& lane : Lanes)
        out.push_back(lane.Label);
    out.insert(out.end(), Numbers.begin(), Numbers.end());
    return out;
}

TimelineLayout LayOutTimeline(const std::vector<TimelineChannel>& channels, int width,
                              TimelineMeasure& m, char separator,
                              const std::vector<double>& laneStarts, double axisEnd,
                              TimelineView view) {
    TimelineLayout L;
    L.Width = std::max(width, 1);
    const int inner = std::max(1, L.Width - 2 * Pad);

    // Sequences: a manual channel and the automatic ones after it.
    std::vector<std::pair<size_t, size_t>> sequences;
    double longest = 0;
    for (size_t i = 0; i < channels.size(); ++i) {
        if (i == 0 || channels[i].Type != Automatic)
            sequences.push_back({i, i});
        else
            sequences.back().second = i;
        longest = std::max(longest, channels[i].Time);
    }
    auto startOf = [&laneStarts](size_t s) { return s < laneStarts.size() ? laneStarts[s] : 0.0; };
    double end = std::max(longest, axisEnd);
    for (size_t s = 0; s < sequences.size(); ++s)
        for (size_t i = sequences[s].first; i <= sequences[s].second; ++i)
            end = std::max(end, startOf(s) + channels[i].Time + std::max(0.0, channels[i].Lift));

    // Summary.
    int y = Pad;
    const int count = static_cast<int>(sequences.size());
    QString summary =
        count == 1 ? QString::fromUtf8("1 séquence") : QString::fromUtf8("%1 séquences").arg(count);
    summary += QString::fromUtf8(", durée la plus longue %1 s").arg(Seconds(longest, separator));
    summary = Fit(m, summary, TimelineFont::Summary, inner);
    const int summaryHeight = m.TextHeight(TimelineFont::Summary);
    L.Summary = {QRect(Pad, y, m.TextWidth(summary, TimelineFont::Summary), summaryHeight), summary,
                 TimelineFont::Summary};
    {
        const int tick = m.TextHeight(TimelineFont::Tick);
        std::vector<std::pair<QString, int32_t>> items = {
            {QString::fromUtf8(ChannelTypeNames[Manual]), Manual},
            {QString::fromUtf8(ChannelTypeNames[Automatic]), Automatic}};
        int total = 0;
        for (const auto& item : items)
            total += 7 + m.TextWidth(item.first, TimelineFont::Tick) + 12;
        int x = L.Width - Pad - (total - 12);
        if (x >= L.Summary.Box.right() + 16) {
            const int top = y + (summaryHeight - tick) / 2;
            for (const auto& [text, type] : items) {
                L.LegendBars.push_back({QRect(x, top + 2, 3, tick - 4), type});
                const int w = m.TextWidth(text, TimelineFont::Tick);
                L.Legend.push_back({QRect(x + 7, top, w, tick), text, TimelineFont::Tick});
                x += 7 + w + 12;
            }
        }
    }
    y += summaryHeight + 6;

    // Axis: room on either side for the labels centred on its ends.
    L.AxisEnd = end > 0 ? end : 1;
    const int numberHalf = (m.TextWidth(QStringLiteral("30"), TimelineFont::Number) + 1) / 2;
    const int firstHalf = (m.TextWidth(QStringLiteral("0 s"), TimelineFont::Tick) + 1) / 2;
    const int lastHalf =
        (m.TextWidth(Seconds(L.AxisEnd, separator) + QStringLiteral(" s"), TimelineFont::Tick) +
         1) /
        2;
    L.AxisLeft = Pad + std::max(numberHalf, firstHalf) + 2;
    L.AxisRight = std::max(L.AxisLeft + 1, L.Width - Pad - std::max(numberHalf, lastHalf) - 2);
    view = ClampedView(view, L.AxisEnd, L.AxisRight - L.AxisLeft);
    L.ViewStart = view.Start;
    L.ViewEnd = view.Span > 0 ? view.Start + view.Span : L.AxisEnd;
    L.Step =
        ChooseStep(m, L.ViewStart, L.ViewEnd, L.AxisRight - L.AxisLeft, separator, view.Span > 0);
    const int tickHeight = m.TextHeight(TimelineFont::Tick);
    const auto [firstTick, lastTick] = TickRange(L.ViewStart, L.ViewEnd, L.Step);
    for (long long k = firstTick; k <= lastTick; ++k) {
        const int x = L.XOf(double(k) * L.Step);
        L.TickX.push_back(x);
        const QString text = TickText(k, L.Step, separator);
        const int w = m.TextWidth(text, TimelineFont::Tick);
        const QRect box(x - w / 2, y, w, tickHeight);
        if (box.left() >= 0 && box.right() < L.Width - Pad / 2)
            L.TickLabels.push_back({box, text, TimelineFont::Tick});
    }
    y += tickHeight + 2;
    L.AxisY = y;
    L.HeaderHeight = y + 6;

    // Lanes, top to bottom in channel order.
    const int labelHeight = m.TextHeight(TimelineFont::Label);
    const int numberHeight = m.TextHeight(TimelineFont::Number);
    y = L.HeaderHeight + 2;
    for (size_t s = 0; s < sequences.size(); ++s) {
        const auto [from, to] = sequences[s];
        TimelineLane lane;
        lane.First = channels[from].Number;
        lane.Last = channels[to].Number;
        lane.Start = startOf(s);
        lane.Duration = channels[to].Time;
        const QString duration = Seconds(lane.Duration, separator);
        lane.FullLabel = from == to ? QString::fromUtf8("Séquence %1 : voie %2, durée %3 s")
                                          .arg(s + 1)
                                          .arg(lane.First)
                                          .arg(duration)
                                    : QString::fromUtf8("Séquence %1 : voies %2 à %3, durée %4 s")
                                          .arg(s + 1)
                                          .arg(lane.First)
                                          .arg(lane.Last)
                                          .arg(duration);
        const QString label = Fit(m, lane.FullLabel, TimelineFont::Label, inner);
        lane.Label = {QRect(Pad, y + 4, m.TextWidth(label, TimelineFont::Label), labelHeight),
                      label, TimelineFont::Label};
        lane.Baseline = y + 4 + labelHeight + 4 + ManualBar;

        // Marks, and their numbers in rows under them: a number goes in the first row where it
        // keeps clear of the one before; where no row has room it is left out.
        std::array<int, NumberRows> rowEnd;
        rowEnd.fill(INT_MIN / 2);
        int rowsUsed = 1;
        const int lanesSoFar = static_cast<int>(L.Lanes.size());
        for (size_t i = from; i <= to; ++i) {
            TimelineMark mark;
            mark.Channel = channels[i].Number;
            mark.Type = channels[i].Type;
            mark.Time = channels[i].Time;
            mark.Lane = lanesSoFar;
            mark.X = L.XOf(lane.Start + mark.Time);
            const int bar = mark.Type == Automatic ? AutomaticBar : ManualBar;
            mark.Bar = QRect(mark.X - 1, lane.Baseline - bar, 3, bar);
            mark.Lift = std::max(0.0, channels[i].Lift);
            if (mark.Lift > 0)
                mark.Burst = QPoint(L.XOf(lane.Start + mark.Time + mark.Lift),
                                    lane.Baseline - AutomaticBar + BurstRadius);
            L.Marks.push_back(mark);

            const QString number = QString::number(mark.Channel);
            const int w = m.TextWidth(number, TimelineFont::Number);
            const int left = mark.X - w / 2;
            for (int r = 0; r < NumberRows; ++r) {
                if (left < rowEnd[static_cast<size_t>(r)] + NumberGap)
                    continue;
                rowEnd[static_cast<size_t>(r)] = left + w;
                rowsUsed = std::max(rowsUsed, r + 1);
                L.Numbers.push_back(
                    {QRect(left, lane.Baseline + 3 + r * numberHeight, w, numberHeight), number,
                     TimelineFont::Number});
                L.NumberMarks.push_back(static_cast<int>(L.Marks.size()) - 1);
                break;
            }
        }
        const int bottom = lane.Baseline + 3 + rowsUsed * numberHeight + 4;
        lane.Box = QRect(0, y, L.Width, bottom - y);
        L.Lanes.push_back(lane);
        y = bottom;
    }
    L.Height = y + Pad;
    return L;
}

void DrawTimelineHeader(const TimelineLayout& L, TimelineSurface& s) {
    s.Text(L.Summary.Box.left(), L.Summary.Box.top(), L.Summary.Text, L.Summary.Font,
           TimelineInk::Text);
    for (const auto& [bar, type] : L.LegendBars)
        s.Fill(bar, type == Automatic ? TimelineInk::Automatic : TimelineInk::Manual);
    for (const TimelineText& t : L.Legend)
        s.Text(t.Box.left(), t.Box.top(), t.Text, t.Font, TimelineInk::Text);
    s.Line(L.AxisLeft, L.AxisY, L.AxisRight, L.AxisY, TimelineInk::Axis);
    for (int x : L.TickX)
        s.Line(x, L.AxisY, x, L.AxisY + 4, TimelineInk::Axis);
    for (const TimelineText& t : L.TickLabels)
        s.Text(t.Box.left(), t.Box.top(), t.Text, t.Font, TimelineInk::Text);
}

void DrawTimelineLanes(const TimelineLayout& L, TimelineSurface& s, int scroll,
                       int currentChannel) {
    // Every other lane on a band, the ticks carried down through all of them.
    for (size_t i = 1; i < L.Lanes.size(); i += 2)
        s.Fill(L.Lanes[i].Box.translated(0, -scroll), TimelineInk::Band);
    if (!L.Lanes.empty())
        for (int x : L.TickX)
            s.Line(x, L.Lanes.front().Box.top() - scroll, x, L.Lanes.back().Box.bottom() - scroll,
                   TimelineInk::Faint);

    for (const TimelineLane& lane : L.Lanes) {
        const int base = lane.Baseline - scroll;
        s.Text(lane.Label.Box.left(), lane.Label.Box.top() - scroll, lane.Label.Text,
               lane.Label.Font, TimelineInk::Text);
        // From the button press to the last channel.
        const int press = L.XOf(lane.Start);
        s.Line(press, base, L.XOf(lane.Start + lane.Duration), base, TimelineInk::Span);
        s.Line(press, base - 5, press, base + 2, TimelineInk::Axis);
    }
    for (const TimelineMark& mark : L.Marks) {
        const QRect bar = mark.Bar.translated(0, -scroll);
        const TimelineInk ink =
            mark.Type == Automatic ? TimelineInk::Automatic : TimelineInk::Manual;
        if (mark.Channel == currentChannel)
            s.Fill(bar.adjusted(-3, -3, 3, 3), TimelineInk::Current);
        s.Fill(bar, ink);
        if (mark.Lift > 0) {
            // A small star where the effect shows. Joined to its ignition only for the current
            // channel: along a chain the joins of all channels would lie on one line.
            const QPoint c = mark.Burst - QPoint(0, scroll);
            const int r = BurstRadius;
            if (mark.Channel == currentChannel) {
                s.Fill(QRect(c.x() - r - 2, c.y() - r - 2, 2 * r + 5, 2 * r + 5),
                       TimelineInk::Current);
                if (c.x() - r - 2 > bar.right() + 3)
                    s.Line(bar.right() + 4, c.y(), c.x() - r - 3, c.y(), ink);
            }
            s.Line(c.x() - r, c.y(), c.x() + r, c.y(), ink);
            s.Line(c.x(), c.y() - r, c.x(), c.y() + r, ink);
            s.Line(c.x() - r + 1, c.y() - r + 1, c.x() + r - 1, c.y() + r - 1, ink);
            s.Line(c.x() - r + 1, c.y() + r - 1, c.x() + r - 1, c.y() - r + 1, ink);
        }
    }
    for (const TimelineText& t : L.Numbers)
        s.Text(t.Box.left(), t.Box.top() - scroll, t.Text, t.Font, TimelineInk::Text);
}

QString MarkToolTip(const TimelineMark& mark, const QString& description, char separator) {
    QString tip = QStringLiteral("Voie %1, %2, %3 s")
                      .arg(mark.Channel)
                      .arg(QString::fromUtf8(ChannelTypeNames[mark.Type == Automatic ? 1 : 0]))
                      .arg(Seconds(mark.Time, separator));
    if (mark.Lift > 0)
        tip += QString::fromUtf8("\nTemps de levée %1 s : effet à %2 s")
                   .arg(Seconds(RoundToMillisecond(mark.Lift), separator))
                   .arg(Seconds(RoundToMillisecond(mark.Time + mark.Lift), separator));
    if (!description.isEmpty())
        tip += QLatin1Char('\n') + description;
    return tip;
}

} // namespace salvo::ui
