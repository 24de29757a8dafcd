#include "ui/common/PageFlow.h"

#include <algorithm>

namespace salvo::ui {

namespace {

const TextStyle FootFont{8, false, false};
constexpr int LongestText = 1000;

// Draws nothing: the first pass, that counts the pages.
class CountingSurface : public PrintSurface {
public:
    explicit CountingSurface(PrintSurface& real) : Real(real) {}
    DeviceMeasures Measures() const override { return Real.Measures(); }
    int TextWidth(const QString& t, const TextStyle& s) override { return Real.TextWidth(t, s); }
    int TextHeight(const QString& t, const TextStyle& s) override { return Real.TextHeight(t, s); }
    void Text(int, int, const QString&, const TextStyle&) override {}
    void SetPen(int) override {}
    void Line(int, int, int, int) override {}
    void Rectangle(int, int, int, int) override {}

private:
    PrintSurface& Real;
};

} // namespace

QString CutToWidth(PrintSurface& s, const QString& text, const TextStyle& style, int width) {
    QString t = text.left(LongestText);
    if (s.TextWidth(t, style) <= width)
        return t;
    while (!t.isEmpty() && s.TextWidth(t + QStringLiteral("…"), style) > width)
        t.chop(1);
    return t + QStringLiteral("…");
}

QStringList WrapToWidth(PrintSurface& s, const QString& text, const TextStyle& style, int width) {
    QStringList lines;
    for (const QString& paragraph : text.left(LongestText).split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString tried = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (line.isEmpty() || s.TextWidth(tried, style) <= width) {
                line = tried;
            } else {
                lines << CutToWidth(s, line, style, width);
                line = word;
            }
        }
        lines << CutToWidth(s, line, style, width);
    }
    return lines;
}

PageFlow::PageFlow(PrintSurface& surface, const std::function<bool()>& newPage, int pageCount,
                   const QString& footerText)
    : S(surface), NewPage(newPage), PageCount(pageCount), FooterText(footerText) {
    const DeviceMeasures m = S.Measures();
    if (m.PrintableWidth <= 0 || m.PrintableHeight <= 0 || m.DpiY <= 0)
        return;
    MmDots = m.DpiY / 25.4;
    LeftX = int(12 * MmDots);
    RightX = m.PrintableWidth - int(12 * MmDots);
    TopY = int(12 * MmDots);
    BottomY = m.PrintableHeight - int(18 * MmDots);
    FooterY = m.PrintableHeight - int(12 * MmDots);
    At = TopY;
    Usable = RightX > LeftX && BottomY > TopY;
}

void PageFlow::Footer() {
    S.Text(LeftX, FooterY, FooterText, FootFont);
    const QString number =
        QStringLiteral("Page %1 / %2").arg(PageNumber).arg(std::max(PageCount, PageNumber));
    S.Text(RightX - S.TextWidth(number, FootFont), FooterY, number, FootFont);
}

void PageFlow::Break() {
    Footer();
    Ok = Ok && NewPage();
    ++PageNumber;
    At = TopY;
    if (!Columns.empty())
        DrawRow({}, HeadingStyle, true);
}

void PageFlow::Room(int height) {
    if (At + height > BottomY && At > TopY)
        Break();
}

void PageFlow::Gap(double millimetres) {
    At += int(millimetres * MmDots);
}

void PageFlow::Paragraph(const QString& text, const TextStyle& style, int indent) {
    for (const QString& line : WrapToWidth(S, text, style, Width() - indent)) {
        const int h = S.TextHeight(line, style);
        Room(h);
        S.Text(LeftX + indent, At, line, style);
        At += h;
    }
}

void PageFlow::BeginTable(const std::vector<FlowColumn>& columns, const TextStyle& headingStyle,
                          int minimumRowHeight) {
    Columns = columns;
    HeadingStyle = headingStyle;
    MinimumRowHeight = minimumRowHeight;
    ColumnX.clear();
    ColumnWidth.clear();
    int x = LeftX;
    for (const FlowColumn& c : Columns) {
        ColumnX.push_back(x);
        ColumnWidth.push_back(Width() * c.Share / 100);
        x += ColumnWidth.back();
    }
    // The headings and at least one row together.
    Room(3 * S.TextHeight(QStringLiteral("X"), headingStyle) + 2 * MinimumRowHeight);
    DrawRow({}, HeadingStyle, true);
}

void PageFlow::Row(const std::vector<QString>& cells, const TextStyle& style) {
    const int pad = int(1 * MmDots);
    Room(std::max(MinimumRowHeight, S.TextHeight(QStringLiteral("X"), style) + 2 * pad));
    DrawRow(cells, style, false);
}

void PageFlow::DrawRow(const std::vector<QString>& given, const TextStyle& style, bool heading) {
    const int pad = int(1 * MmDots);
    std::vector<QStringList> lines(Columns.size());
    int count = 1;
    for (size_t c = 0; c < Columns.size(); ++c) {
        const QString text = heading ? Columns[c].Heading : c < given.size() ? given[c] : QString();
        const int inside = ColumnWidth[c] - 2 * pad;
        lines[c] = heading ? WrapToWidth(S, text, style, inside)
                           : QStringList{CutToWidth(S, text, style, inside)};
        count = std::max(count, int(lines[c].size()));
    }
    const int lineHeight = S.TextHeight(QStringLiteral("X"), style);
    const int h = std::max(heading ? 0 : MinimumRowHeight, count * lineHeight + 2 * pad);
    S.SetPen(std::max(1, int(0.2 * MmDots)));
    for (size_t c = 0; c < Columns.size(); ++c) {
        S.Rectangle(ColumnX[c], At, ColumnX[c] + ColumnWidth[c], At + h);
        for (int k = 0; k < lines[c].size(); ++k) {
            const QString& text = lines[c][k];
            const int tx = Columns[c].Right && !heading
                               ? ColumnX[c] + ColumnWidth[c] - pad - S.TextWidth(text, style)
                               : ColumnX[c] + pad;
            S.Text(tx, At + (h - count * lineHeight) / 2 + k * lineHeight, text, style);
        }
    }
    At += h;
}

int PageFlow::Finish() {
    Footer();
    return Ok ? PageNumber : 0;
}

int CountPages(PrintSurface& surface,
               const std::function<int(PrintSurface&, const std::function<bool()>&, int)>& lay) {
    CountingSurface counting(surface);
    return lay(counting, [] { return true; }, 0);
}

bool DrawNumberedPages(
    PrintSurface& surface, const std::function<bool()>& newPage,
    const std::function<int(PrintSurface&, const std::function<bool()>&, int)>& lay) {
    const int pages = CountPages(surface, lay);
    return pages > 0 && lay(surface, newPage, pages) > 0;
}

} // namespace salvo::ui
