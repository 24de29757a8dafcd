#pragma once
// A printed page as the program draws it: a small surface in device dots that can be measured
// without a printer, its painter on a real printer, and the print and preview jobs of a
// document of one or more pages.

#include <QString>

#include <functional>

class QPainter;
class QPrinter;
class QWidget;

namespace salvo::ui {

struct TextStyle {
    int Points = 12;
    bool Bold = false;
    bool Underline = false;
};

// The device's measures, in dots unless the name says millimetres.
struct DeviceMeasures {
    int PrintableWidth = 0;
    int PrintableHeight = 0;
    double PrintableWidthMm = 0;
    double PrintableHeightMm = 0;
    int PaperWidth = 0;
    int PaperHeight = 0;
    int OffsetLeft = 0; // from the paper's left edge to the printable area
    int OffsetTop = 0;
    int DpiY = 0;
};

// A page in device dots, origin at the printable area's top-left corner. Text positions are
// the top-left corner of the text's cell; a text's height is the line height of its font.
// Lines and rectangles use the current pen: solid black, of the given width in dots.
class PrintSurface {
public:
    virtual ~PrintSurface() = default;
    virtual DeviceMeasures Measures() const = 0;
    virtual int TextWidth(const QString& text, const TextStyle& style) = 0;
    virtual int TextHeight(const QString& text, const TextStyle& style) = 0;
    virtual void Text(int x, int y, const QString& text, const TextStyle& style) = 0;
    virtual void SetPen(int width) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
};

// Draws over a painter that is active on a printer.
class PainterSurface : public PrintSurface {
public:
    PainterSurface(QPainter& painter, QPrinter& printer);
    DeviceMeasures Measures() const override;
    int TextWidth(const QString& text, const TextStyle& style) override;
    int TextHeight(const QString& text, const TextStyle& style) override;
    void Text(int x, int y, const QString& text, const TextStyle& style) override;
    void SetPen(int width) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;

private:
    void UseFont(const TextStyle& style);
    QPainter& Painter;
    QPrinter& Printer;
};

// Today's date as the user's locale writes it short, for the foot of printed pages.
QString PrintDate();

// How the user sends a document out.
enum class PrintOutput { Preview, Printer, Pdf };
// The paper a document is laid out for: the printer's, or A4 whatever the printer is set to
// (sheets of labels are A4).
enum class Paper { AsSet, A4 };

// Draws a whole document on the surface; newPage() ends the page drawn and starts the next
// (false when the device failed). Returns false when nothing could be drawn.
using PageDrawing = std::function<bool(PrintSurface& surface, const std::function<bool()>& newPage)>;

// Prints the document as one job on the printer, as it is set up. Any failure (a PDF not
// written whole included) aborts the job and shows "Erreur d'impression". Returns whether it
// printed.
bool PrintPages(const PageDrawing& draw, const QString& jobName, QPrinter& printer, int copies,
                QWidget* parent = nullptr);

// Qt's print preview of the very pages PrintPages prints; the user may print from it. A print
// started there that fails shows "Erreur d'impression". Returns whether it printed.
bool PreviewPages(const PageDrawing& draw, const QString& jobName, QPrinter& printer,
                  QWidget* parent = nullptr);

} // namespace salvo::ui
