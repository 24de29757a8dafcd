#include "RecordingSurface.h"

#include <cmath>

using salvo::ui::DeviceMeasures;
using salvo::ui::TextStyle;

DeviceMeasures RecordingSurface::Paper(double widthMm, double heightMm, int dpi, double leftMm,
                                       double topMm, double rightMm, double bottomMm) {
    const auto dots = [dpi](double mm) { return static_cast<int>(std::lround(mm * dpi / 25.4)); };
    DeviceMeasures m;
    m.PaperWidth = dots(widthMm);
    m.PaperHeight = dots(heightMm);
    m.OffsetLeft = dots(leftMm);
    m.OffsetTop = dots(topMm);
    m.PrintableWidth = m.PaperWidth - m.OffsetLeft - dots(rightMm);
    m.PrintableHeight = m.PaperHeight - m.OffsetTop - dots(bottomMm);
    m.PrintableWidthMm = m.PrintableWidth * 25.4 / dpi;
    m.PrintableHeightMm = m.PrintableHeight * 25.4 / dpi;
    m.DpiY = dpi;
    return m;
}

int RecordingSurface::TextWidth(const QString& text, const TextStyle& style) {
    ++WidthQueries;
    return static_cast<int>(text.size()) *
           (style.Points * CharWidthPerPoint + (style.Bold ? 1 : 0));
}

int RecordingSurface::TextHeight(const QString&, const TextStyle& style) {
    return style.Points * HeightPerPoint;
}

void RecordingSurface::Text(int x, int y, const QString& text, const TextStyle& style) {
    DrawCall c;
    c.What = DrawCall::Kind::Text;
    c.X1 = x;
    c.Y1 = y;
    c.Text = text;
    c.Style = style;
    c.Pen = Pen;
    Calls.push_back(c);
}

void RecordingSurface::Line(int x1, int y1, int x2, int y2) {
    DrawCall c;
    c.What = DrawCall::Kind::Line;
    c.X1 = x1;
    c.Y1 = y1;
    c.X2 = x2;
    c.Y2 = y2;
    c.Pen = Pen;
    Calls.push_back(c);
}

void RecordingSurface::Rectangle(int x1, int y1, int x2, int y2) {
    Line(x1, y1, x2, y2);
    Calls.back().What = DrawCall::Kind::Rectangle;
}

std::vector<DrawCall> RecordingSurface::Of(DrawCall::Kind kind) const {
    std::vector<DrawCall> out;
    for (const DrawCall& c : Calls)
        if (c.What == kind)
            out.push_back(c);
    return out;
}

std::vector<DrawCall> RecordingSurface::TextsEqual(const QString& text) const {
    std::vector<DrawCall> out;
    for (const DrawCall& c : Calls)
        if (c.What == DrawCall::Kind::Text && c.Text == text)
            out.push_back(c);
    return out;
}
