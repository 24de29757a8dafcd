#pragma once
// A printing surface for tests: keeps every drawing call with its coordinates, font and pen,
// measures text by a fixed rule, and reports whatever device measures the test sets.

#include "ui/editor/Printing.h"

#include <QString>

#include <vector>

struct DrawCall {
    enum class Kind { Text, Line, Rectangle };
    Kind What = Kind::Text;
    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0; // a text has only its top-left corner
    QString Text;
    salvo::ui::TextStyle Style;
    int Pen = 0; // the pen in use when the call came
};

class RecordingSurface : public salvo::ui::PrintSurface {
public:
    // A paper of the given size in millimetres at the given resolution, with unprintable
    // margins in millimetres; the printable area is what remains.
    static salvo::ui::DeviceMeasures Paper(double widthMm, double heightMm, int dpi, double leftMm,
                                           double topMm, double rightMm, double bottomMm);

    salvo::ui::DeviceMeasures Device = Paper(210, 297, 600, 5, 5, 5, 5);
    // Every character is Points * CharWidthPerPoint dots wide (one more when bold); a line of
    // text is Points * HeightPerPoint dots high.
    int CharWidthPerPoint = 4;
    int HeightPerPoint = 10;

    std::vector<DrawCall> Calls;
    int WidthQueries = 0;

    salvo::ui::DeviceMeasures Measures() const override { return Device; }
    int TextWidth(const QString& text, const salvo::ui::TextStyle& style) override;
    int TextHeight(const QString& text, const salvo::ui::TextStyle& style) override;
    void Text(int x, int y, const QString& text, const salvo::ui::TextStyle& style) override;
    void SetPen(int width) override { Pen = width; }
    void Line(int x1, int y1, int x2, int y2) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;

    std::vector<DrawCall> Of(DrawCall::Kind kind) const;
    // The text calls whose text is exactly this, in drawing order.
    std::vector<DrawCall> TextsEqual(const QString& text) const;

private:
    int Pen = 0;
};
