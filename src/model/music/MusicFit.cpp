#include "model/music/MusicFit.h"

#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace salvo {

namespace {

constexpr double AfterStart = 0.001;

// Music times are read to the millisecond, however many digits a file gave them.
std::string Seconds(double t, char separator) {
    return FormatMilliseconds(t, separator);
}

std::string Fill(std::string text, const std::vector<std::string>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string key = "%" + std::to_string(i + 1);
        size_t at = text.find(key);
        if (at != std::string::npos)
            text.replace(at, key.size(), values[i]);
    }
    return text;
}

} // namespace

void AddMarkers(std::vector<Marker>& markers, const std::vector<Marker>& added) {
    // Sorted once rather than inserted one by one: a label file of a million lines in
    // descending order took minutes. Among equal times, the markers already there come first,
    // then the added ones in their order; an added marker equal (time and text) to one already
    // there or to an earlier added one is dropped.
    auto byTime = [](const Marker& a, const Marker& b) { return a.Time < b.Time; };
    auto same = [](const Marker& a, const Marker& b) {
        return a.Time == b.Time && a.Text == b.Text;
    };
    auto sorted = [](const std::vector<Marker>& list) {
        std::vector<size_t> order(list.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&list](size_t a, size_t b) {
            const Marker &x = list[a], &y = list[b];
            return x.Time < y.Time || (x.Time == y.Time && x.Text < y.Text);
        });
        return order;
    };
    const std::vector<size_t> there = sorted(markers), comes = sorted(added);
    std::vector<bool> keep(added.size(), true);
    size_t t = 0;
    for (size_t k = 0; k < comes.size(); ++k) {
        const Marker& m = added[comes[k]];
        if (k > 0 && same(added[comes[k - 1]], m)) {
            keep[comes[k]] = false;
            continue;
        }
        while (t < there.size() &&
               (markers[there[t]].Time < m.Time ||
                (markers[there[t]].Time == m.Time && markers[there[t]].Text < m.Text)))
            ++t;
        keep[comes[k]] = !(t < there.size() && same(markers[there[t]], m));
    }
    std::vector<Marker> fresh;
    fresh.reserve(added.size());
    for (size_t i = 0; i < added.size(); ++i)
        if (keep[i])
            fresh.push_back(added[i]);
    std::stable_sort(fresh.begin(), fresh.end(), byTime);
    std::vector<Marker> merged;
    merged.reserve(markers.size() + fresh.size());
    std::merge(std::make_move_iterator(markers.begin()), std::make_move_iterator(markers.end()),
               std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()),
               std::back_inserter(merged), byTime);
    markers = std::move(merged);
}

std::vector<SequenceSpan> SequencesOf(const ChannelTable& table) {
    ChannelTable copy;
    copy.CopyTableFrom(table);
    std::vector<SequenceSpan> out;
    for (int k = 0; k < copy.ChannelCount(); ++k) {
        if (k == 0 || copy.GetChannelType(k) != Automatic)
            out.push_back({k, k, 0});
        else
            out.back().Last = k;
        out.back().Duration = copy.GetChannelTime(k);
    }
    return out;
}

int SequenceOfChannel(const std::vector<SequenceSpan>& sequences, int index) {
    for (size_t s = 0; s < sequences.size(); ++s)
        if (index >= sequences[s].First && index <= sequences[s].Last)
            return static_cast<int>(s);
    return -1;
}

std::vector<double> PlannedStarts(const std::vector<SequenceSpan>& sequences,
                                  const PlannedStartMap& chosen) {
    std::vector<double> out;
    double next = 0;
    for (const SequenceSpan& s : sequences) {
        auto it = chosen.find(s.First + 1);
        const double start = it != chosen.end() ? it->second : next;
        out.push_back(start);
        next = start + s.Duration;
    }
    return out;
}

ChainFit FitChain(double start, double manualTime, int automaticCount,
                  const std::vector<Marker>& markers) {
    return FitChain(start, manualTime, automaticCount, markers, {});
}

ChainFit FitChain(double start, double manualTime, int automaticCount,
                  const std::vector<Marker>& markers, const std::vector<double>& lifts) {
    ChainFit fit;
    fit.Needed = automaticCount;
    std::vector<int> after;
    for (size_t i = 0; i < markers.size(); ++i)
        if (markers[i].Time > start + AfterStart)
            after.push_back(static_cast<int>(i));
    fit.Available = static_cast<int>(after.size());
    if (automaticCount <= 0) {
        fit.Problem = FitProblem::NoAutomaticChannel;
        return fit;
    }
    if (after.empty()) {
        fit.Problem = FitProblem::NoMarker;
        return fit;
    }
    if (fit.Available < automaticCount) {
        fit.Problem = FitProblem::TooFewMarkers;
        return fit;
    }
    // Whole steps from the press, each rounded from the absolute time; never from the gap.
    double previous = std::nearbyint(manualTime / TimeStep);
    double previousMarker = previous; // the same without the lifts
    for (int k = 0; k < automaticCount; ++k) {
        const size_t kk = static_cast<size_t>(k);
        const int m = after[kk];
        const double lift = kk < lifts.size() ? lifts[kk] : 0;
        const double time = markers[static_cast<size_t>(m)].Time;
        const double bare = std::nearbyint((time - start) / TimeStep);
        const double steps = lift == 0 ? bare : std::nearbyint((time - lift - start) / TimeStep);
        if (steps <= previous) {
            // Markers too close are the markers' fault; otherwise the lift moved the ignition
            // back onto or before the channel before it.
            if (bare <= previousMarker) {
                fit.Problem = k == 0 ? FitProblem::NotAfterManual : FitProblem::SameStep;
            } else {
                fit.Problem = steps == previous ? FitProblem::LiftWithPrevious
                              : k > 0           ? FitProblem::LiftBeforePrevious
                                                : FitProblem::LiftBeforeStart;
                fit.LiftChannel = k;
                fit.Lift = lift;
            }
            fit.FirstMarker = k == 0 ? m : after[kk - 1];
            fit.SecondMarker = m;
            fit.Times.clear();
            fit.MarkerIndexes.clear();
            return fit;
        }
        previousMarker = bare;
        previous = steps;
        fit.Times.push_back(steps * TimeStep);
        fit.MarkerIndexes.push_back(m);
    }
    return fit;
}

std::string FitProblemText(const ChainFit& fit, const std::vector<Marker>& markers, double start,
                           int manualChannel, char separator) {
    auto marker = [&](int i) {
        return std::to_string(i + 1) + " (" +
               Seconds(markers[static_cast<size_t>(i)].Time, separator) + " s)";
    };
    const std::string unchanged = "\n\nAucun retard n'a été modifié.";
    switch (fit.Problem) {
    case FitProblem::None:
        return {};
    case FitProblem::NoAutomaticChannel:
        return Fill("La séquence de la voie %1 n'a pas de voie automatique à caler sur les "
                    "repères.",
                    {std::to_string(manualChannel)}) +
               unchanged;
    case FitProblem::NoMarker:
        return Fill("Il n'y a aucun repère après le début de la séquence de la voie %1 (%2 s).",
                    {std::to_string(manualChannel), Seconds(start, separator)}) +
               unchanged;
    case FitProblem::TooFewMarkers:
        return Fill("La séquence de la voie %1 a %2 voies automatiques, mais il n'y a que %3 "
                    "repères après son début (%4 s).",
                    {std::to_string(manualChannel), std::to_string(fit.Needed),
                     std::to_string(fit.Available), Seconds(start, separator)}) +
               unchanged;
    case FitProblem::SameStep:
        return Fill("Les repères n°%1 et n°%2 tombent sur le même pas de %3 s : deux voies ne "
                    "peuvent pas partir au même instant.",
                    {marker(fit.FirstMarker), marker(fit.SecondMarker),
                     Seconds(TimeStep, separator)}) +
               unchanged;
    case FitProblem::NotAfterManual:
        return Fill("Le repère n°%1 tombe sur la voie manuelle %2 ou avant elle : la première "
                    "voie automatique doit partir après elle.",
                    {marker(fit.SecondMarker), std::to_string(manualChannel)}) +
               unchanged;
    case FitProblem::LiftBeforePrevious:
    case FitProblem::LiftWithPrevious:
    case FitProblem::LiftBeforeStart: {
        const std::string channel = std::to_string(manualChannel + 1 + fit.LiftChannel);
        const std::string lift = FormatTime(RoundToMillisecond(fit.Lift), separator);
        const std::string previous = std::to_string(manualChannel + fit.LiftChannel);
        if (fit.Problem == FitProblem::LiftBeforeStart)
            return Fill("La voie %1 ne peut pas être calée : avec son temps de levée de %2 s, elle "
                        "partirait avant le début de la séquence.",
                        {channel, lift});
        if (fit.Problem == FitProblem::LiftWithPrevious)
            return Fill("La voie %1 ne peut pas être calée : avec son temps de levée de %2 s, elle "
                        "partirait en même temps que la voie %3.",
                        {channel, lift, previous});
        return Fill("La voie %1 ne peut pas être calée : avec son temps de levée de %2 s, elle "
                    "partirait avant la voie %3.",
                    {channel, lift, previous});
    }
    }
    return {};
}

std::vector<double> FitResiduals(double start, const std::vector<double>& times,
                                 const std::vector<Marker>& markers,
                                 const std::vector<int>& markerIndexes,
                                 const std::vector<double>& lifts) {
    std::vector<double> out;
    for (size_t k = 0; k < times.size() && k < markerIndexes.size(); ++k)
        out.push_back(start + times[k] + (k < lifts.size() ? lifts[k] : 0) -
                      markers[static_cast<size_t>(markerIndexes[k])].Time);
    return out;
}

double LargestResidual(const std::vector<double>& residuals) {
    double largest = 0;
    for (double r : residuals)
        largest = std::max(largest, std::abs(r));
    return largest;
}

std::string FormatResidual(double seconds, char separator, bool withSign) {
    char buf[32];
    double hundredths = std::nearbyint(seconds * 100) / 100;
    if (hundredths == 0)
        hundredths = 0; // no "-0,00"
    std::snprintf(buf, sizeof buf, withSign ? "%+.2f" : "%.2f", hundredths);
    std::string out(buf);
    for (char& c : out)
        if (c == '.')
            c = separator;
    return out;
}

std::vector<double> RoundEachDelay(double start, double manualTime,
                                   const std::vector<double>& markerTimes) {
    std::vector<double> times;
    double previousMarker = start + manualTime;
    double time = manualTime;
    for (double m : markerTimes) {
        time += StepCountOf(std::max(0.0, m - previousMarker)) * TimeStep;
        times.push_back(time);
        previousMarker = m;
    }
    return times;
}

bool SitsOnMarkers(double start, const std::vector<double>& automaticTimes,
                   const std::vector<Marker>& markers) {
    if (automaticTimes.empty() || markers.empty())
        return false;
    for (double t : automaticTimes) {
        const double fired = start + t;
        auto after = std::lower_bound(markers.begin(), markers.end(), fired,
                                      [](const Marker& m, double x) { return m.Time < x; });
        double gap = after != markers.end() ? after->Time - fired : HUGE_VAL;
        if (after != markers.begin())
            gap = std::min(gap, fired - std::prev(after)->Time);
        // The fit's own bound, with room for the rounding of times to the millisecond.
        if (gap > TimeStep / 2 + 0.0015)
            return false;
    }
    return true;
}

} // namespace salvo
