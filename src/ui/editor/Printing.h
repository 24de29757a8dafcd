#pragma once
// The printed sheet of a firing program: one page with the header, a ruled table of the
// channels in use and the date of printing. The page is drawn through a small surface so that
// it can be measured without a printer; the editor window hands over its texts as plain data.

#include <QString>

#include <vector>

class QPainter;
class QPrinter;
class QWidget;

namespace salvo::ui {

// What the page shows, taken from the editor window as the user sees it.
struct PrintSheet {
    struct Row {
        QString Number;      // grid column 0
        QString Type;        // grid column 1, "Manuel" or "Automatique"
        QString Delay;       // grid column 2, as shown (locale's separator)
        QString Description; // grid column 3
    };

    QString Title;                                               // StringTitre
    QString Version;                                             // Version
    QString SerialNumber;                                        // NumeroSerie
    QString VersionCaption = QStringLiteral("Version :");        // LabelVersion
    QString SerialCaption = QStringLiteral("Numéro de série :"); // LabelNumSerie
    QString ModelCaption = QStringLiteral("Type Ignivelle");     // LabelTypeIgnivellique
    int ModelIndex = 2;                                          // selected index of ComboBoxType
    int ChannelCount = 0;                                        // ChannelCount() of the document
    // Grid rows 1 to ChannelCount, in order; when fewer are given, only those are drawn.
    std::vector<Row> Rows;
    QString JobName; // the editor window's title
};

// "Ignivelle", "Ignivelle SII" or "Ignivelle V30"; empty for an index out of range.
QString ModelNameOf(int modelIndex);

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

// Draws the whole page. Returns false, drawing nothing, when the device's measures cannot
// give a scale (a printable area of no size).
bool DrawProgramPage(const PrintSheet& sheet, PrintSurface& surface,
                     const QString& decimalSeparator, const QString& dateText);

// Prints the sheet as one job of one page on the printer, as it is set up. Any failure
// aborts the job and shows "Erreur d'impression". Returns whether the page was printed.
bool PrintProgram(const PrintSheet& sheet, QPrinter& printer, int copies,
                  QWidget* parent = nullptr);

// Qt's print preview of the very page PrintProgram prints; the user may print from it. A
// print started there that fails shows "Erreur d'impression". Returns whether it printed.
bool PreviewProgram(const PrintSheet& sheet, QPrinter& printer, QWidget* parent = nullptr);

} // namespace salvo::ui
