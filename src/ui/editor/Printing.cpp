#include "ui/editor/Printing.h"

#include "model/program/ChannelTable.h"

#include <QLocale>
#include <QPrinter>

#include <algorithm>
#include <array>
#include <cmath>

namespace salvo::ui {

QString ModelNameOf(int modelIndex) {
    if (modelIndex < 0 || modelIndex >= ModelCount)
        return {};
    return QString::fromUtf8(ModelNames[static_cast<size_t>(modelIndex)]);
}

// ---- The page ----

namespace {

// Toward zero, as every position of the page is rounded.
int Trunc(double value) {
    return static_cast<int>(value);
}

const TextStyle TitleFont{16, true, true};
const TextStyle VersionFont{14, false, false};
const TextStyle CaptionFont{12, false, true};
const TextStyle BodyFont{12, false, false};
const TextStyle SmallFont{10, false, false};
const TextStyle FootFont{8, false, false};

// An empty text draws nothing, so nothing is sent for it.
void Put(PrintSurface& s, int x, int y, const QString& text, const TextStyle& style) {
    if (!text.isEmpty())
        s.Text(x, y, text, style);
}

// Near and far margins along one axis: 10 mm from the paper's edges, or the wider of the two
// unprintable margins when 10 mm lies inside it.
void Margins(double dotsPerMm, int offset, int paper, int printable, int& nearMargin,
             int& farMargin) {
    const int a = offset;
    const int b = paper - a - printable;
    const int g = std::max(a, b);
    if (Trunc(10 * dotsPerMm) >= g) {
        nearMargin = Trunc(10 * dotsPerMm - a);
        farMargin = Trunc(10 * dotsPerMm - b);
    } else {
        nearMargin = g - a;
        farMargin = g - b;
    }
}

bool SplitsPair(const QString& text, qsizetype at) {
    return at > 0 && at < text.size() && text.at(at - 1).isHighSurrogate() &&
           text.at(at).isLowSurrogate();
}

// Drops the last character (a whole surrogate pair at once) until the text fits.
QString CutToWidth(PrintSurface& s, QString text, const TextStyle& style, int limit) {
    // A pasted text can be very long, and measuring it once per character would take minutes:
    // keep first the shortest prefix (by doublings) that is already twice too wide. What comes
    // after it cannot bring the width back under the limit.
    qsizetype keep = 64;
    while (keep < text.size() && s.TextWidth(text.left(keep), style) <= 2 * qint64(limit))
        keep *= 2;
    text.truncate(keep);
    while (!text.isEmpty() && s.TextWidth(text, style) > limit) {
        text.chop(SplitsPair(text, text.size() - 1) ? 2 : 1);
    }
    return text;
}

bool Usable(double dotsPerMm) {
    return std::isfinite(dotsPerMm) && dotsPerMm > 0 && dotsPerMm < 1e5;
}

} // namespace

bool DrawProgramPage(const PrintSheet& sheet, PrintSurface& surface,
                     const QString& decimalSeparator, const QString& dateText) {
    const DeviceMeasures m = surface.Measures();
    if (m.PrintableWidth <= 0 || m.PrintableHeight <= 0 || m.PrintableWidthMm <= 0 ||
        m.PrintableHeightMm <= 0 || m.DpiY <= 0)
        return false;
    const double kx = m.PrintableWidth / m.PrintableWidthMm;
    const double ky = m.PrintableHeight / m.PrintableHeightMm;
    if (!Usable(kx) || !Usable(ky))
        return false;

    int left = 0, right = 0, top = 0, bottom = 0;
    Margins(kx, m.OffsetLeft, m.PaperWidth, m.PrintableWidth, left, right);
    Margins(ky, m.OffsetTop, m.PaperHeight, m.PrintableHeight, top, bottom);
    const int W = m.PrintableWidth;
    const int H = m.PrintableHeight;

    // Header. A text wider than the page is cut to what fits between the margins: measuring
    // or drawing all of a very long one would hold the program for a long time.
    const int y = top;
    const int between = W - left - right;
    const QString title = CutToWidth(surface, sheet.Title, TitleFont, between);
    Put(surface, left + (between - surface.TextWidth(title, TitleFont)) / 2, y, title, TitleFont);
    const int y1 = Trunc(y + 1.5 * surface.TextHeight(title, TitleFont));

    const QString version = CutToWidth(
        surface, sheet.VersionCaption + QStringLiteral("  ") + sheet.Version, VersionFont, between);
    Put(surface, left + (between - surface.TextWidth(version, VersionFont)) / 2, y1, version,
        VersionFont);
    const int y2 = y1 + 2 * surface.TextHeight(version, VersionFont);

    Put(surface, left, y2, sheet.SerialCaption, CaptionFont);
    const int serialX = left + surface.TextWidth(sheet.SerialCaption, CaptionFont);
    Put(surface, serialX, y2,
        CutToWidth(surface, QStringLiteral(" ") + sheet.SerialNumber, BodyFont,
                   W - right - serialX),
        BodyFont);
    const int y3 = Trunc(y2 + 1.5 * surface.TextHeight(sheet.SerialCaption, CaptionFont));

    const QString modelCaption = sheet.ModelCaption + QStringLiteral(" :");
    Put(surface, left, y3, modelCaption, CaptionFont);
    Put(surface, left + surface.TextWidth(modelCaption, CaptionFont), y3,
        QStringLiteral(" ") + ModelNameOf(sheet.ModelIndex), BodyFont);
    const int y4 = Trunc(y3 + 1.5 * surface.TextHeight(modelCaption, CaptionFont));

    // Column widths, from the headings and the two type names.
    const std::array<QString, 4> headings = {
        QStringLiteral(" N° de la ligne "), QStringLiteral(" Type de la voie "),
        QStringLiteral(" Retard de la voie "), QStringLiteral(" Description ")};
    std::array<int, 4> w{};
    for (size_t i = 0; i < headings.size(); ++i)
        w[i] = surface.TextWidth(headings[i], BodyFont);
    for (const char* type : ChannelTypeNames)
        w[1] = std::max(w[1], surface.TextWidth(QString::fromUtf8(type), SmallFont));
    const int dmax = Trunc(W - 0.5 * kx - right - left - 12 * kx - w[0] - w[1] - w[2]);
    const int c = static_cast<int>(std::lround(12.0 * m.DpiY / 72.0));

    // Heading row.
    const int thick = Trunc(0.5 * kx);
    const int thin = Trunc(0.2 * kx);
    const int x0 = left + thick / 2;
    const int xR = W - right - thick / 2;
    const int yB = Trunc(y4 + c + 2 * 1.5 * ky);
    surface.SetPen(thick);
    surface.Rectangle(x0, y4, xR, yB);
    const int yh = Trunc(y4 + 1.5 * ky);
    const int t0 = Trunc(x0 + 1.5 * kx);
    Put(surface, t0, yh, headings[0], BodyFont);
    surface.SetPen(thin);
    const int s1 = Trunc(t0 + w[0] + 1.5 * kx);
    surface.Line(s1, y4, s1, yB);
    const int t1 = Trunc(s1 + 1.5 * kx);
    Put(surface, t1, yh, headings[1], BodyFont);
    const int s2 = Trunc(t1 + w[1] + 1.5 * kx);
    surface.Line(s2, y4, s2, yB);
    const int t2 = Trunc(s2 + 1.5 * kx);
    Put(surface, t2, yh, headings[2], BodyFont);
    const int s3 = Trunc(t2 + w[2] + 1.5 * kx);
    surface.Line(s3, y4, s3, yB);
    const int t3 = Trunc(s3 + 1.5 * kx);
    Put(surface, Trunc(t3 + (W - t3 - 2 * kx - right - w[3]) * 0.5), yh, headings[3], BodyFont);

    // One row per channel in use; a channel the sheet holds no texts for is not drawn.
    const int rows = std::clamp(sheet.ChannelCount, 0, static_cast<int>(sheet.Rows.size()));
    const int xL = Trunc(left + 0.25 * kx);
    int yT = yB;
    for (int n = 1; n <= rows; ++n) {
        const PrintSheet::Row& row = sheet.Rows[static_cast<size_t>(n - 1)];
        const int yN = Trunc(yT + c + 2 * 1.5 * ky);
        const int ty = yT + (yN - yT - c) / 2;

        surface.SetPen(thick);
        surface.Line(xL, yT, xL, yN);
        surface.SetPen(n == rows ? thick : thin);
        surface.Line(xL, yN, xR, yN);
        surface.SetPen(thick);
        surface.Line(xR, yN, xR, yT);

        surface.SetPen(thin);
        const int u0 = Trunc(xL + 1.5 * kx);
        Put(surface, u0 + (w[0] - surface.TextWidth(row.Number, BodyFont)) / 2, ty, row.Number,
            BodyFont);
        const int m1 = Trunc(u0 + w[0] + 1.5 * kx);
        surface.Line(m1, yT, m1, yN);
        const int u1 = Trunc(m1 + 1.5 * kx);
        Put(surface, u1 + (w[1] - surface.TextWidth(row.Type, BodyFont)) / 2, ty, row.Type,
            BodyFont);
        const int m2 = Trunc(u1 + w[1] + 1.5 * kx);
        surface.Line(m2, yT, m2, yN);
        const int u2 = Trunc(m2 + 1.5 * kx);
        QString delay = row.Delay;
        if (!delay.contains(QLatin1Char('.')) && !delay.contains(QLatin1Char(',')))
            delay += decimalSeparator + QStringLiteral("0");
        Put(surface, u2 + w[2] - surface.TextWidth(delay, BodyFont), ty, delay, BodyFont);
        const int m3 = Trunc(u2 + w[2] + 1.5 * kx);
        surface.Line(m3, yT, m3, yN);
        const int u3 = Trunc(m3 + 1.5 * kx);
        Put(surface, u3, ty, CutToWidth(surface, row.Description, SmallFont, dmax), SmallFont);

        yT = yN;
    }

    Put(surface, left, H - bottom + 2, QStringLiteral("Date d'impression :  ") + dateText,
        FootFont);
    return true;
}

namespace {

PageDrawing ProgramPage(const PrintSheet& sheet) {
    return [&sheet](PrintSurface& surface, const std::function<bool()>&) {
        return DrawProgramPage(sheet, surface, QLocale().decimalPoint(), PrintDate());
    };
}

} // namespace

bool PrintProgram(const PrintSheet& sheet, QPrinter& printer, int copies, QWidget* parent) {
    return PrintPages(ProgramPage(sheet), sheet.JobName, printer, copies, parent);
}

bool PreviewProgram(const PrintSheet& sheet, QPrinter& printer, QWidget* parent) {
    return PreviewPages(ProgramPage(sheet), sheet.JobName, printer, parent);
}

} // namespace salvo::ui
