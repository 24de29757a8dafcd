#pragma once
// Pages of text and ruled tables that flow from one page to the next: paragraphs broken between
// words, tables whose headings come again on each page, and a footer with the page's number
// out of all ("Page 2 / 3"), counted by laying the document out once without drawing.

#include "ui/common/PrintSurface.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace salvo::ui {

struct FlowColumn {
    QString Heading;
    int Share;  // of the width, in parts of 100
    bool Right; // figures: aligned right
};

class PageFlow {
public:
    // Margins of 12 mm, 18 mm at the bottom for the footer; footerText on every page.
    PageFlow(PrintSurface& surface, const std::function<bool()>& newPage, int pageCount,
             const QString& footerText);

    // False when the device's measures give no page to draw on.
    bool Valid() const { return Usable; }
    PrintSurface& Surface() { return S; }
    double Mm() const { return MmDots; }
    int Left() const { return LeftX; }
    int Width() const { return RightX - LeftX; }
    int Y() const { return At; }
    int Page() const { return PageNumber; }

    // From this page on (a section of the document that begins on a page of its own).
    void SetFooter(const QString& text) { FooterText = text; }

    void Paragraph(const QString& text, const TextStyle& style, int indent = 0);
    void Gap(double millimetres);
    // A new page unless this height still fits.
    void Room(int height);
    void Break();

    // A ruled table: its headings drawn now and on every page it continues to.
    void BeginTable(const std::vector<FlowColumn>& columns, const TextStyle& headingStyle,
                    int minimumRowHeight = 0);
    // One row, its cells cut to their widths; a new page first when it does not fit.
    void Row(const std::vector<QString>& cells, const TextStyle& style);
    void EndTable() { Columns.clear(); }

    // The last page's footer; the number of pages, 0 when a page could not be started.
    int Finish();

private:
    void Footer();
    void DrawRow(const std::vector<QString>& cells, const TextStyle& style, bool heading);

    PrintSurface& S;
    std::function<bool()> NewPage;
    int PageCount;
    QString FooterText;
    bool Usable = false, Ok = true;
    double MmDots = 0;
    int LeftX = 0, RightX = 0, TopY = 0, BottomY = 0, FooterY = 0;
    int At = 0, PageNumber = 1;
    std::vector<FlowColumn> Columns;
    std::vector<int> ColumnX, ColumnWidth;
    TextStyle HeadingStyle;
    int MinimumRowHeight = 0;
};

// Lays the document out once to count its pages, then draws it with that count. lay returns
// PageFlow::Finish() (0 on failure).
bool DrawNumberedPages(PrintSurface& surface, const std::function<bool()>& newPage,
                       const std::function<int(PrintSurface&, const std::function<bool()>&, int)>& lay);
// How many pages such a document has.
int CountPages(PrintSurface& surface,
               const std::function<int(PrintSurface&, const std::function<bool()>&, int)>& lay);

// A text no wider than width ("…" where it was cut), and a text broken into such lines between
// words. Texts beyond 1000 characters are cut first: measuring them whole would hold the program.
QString CutToWidth(PrintSurface& surface, const QString& text, const TextStyle& style, int width);
QStringList WrapToWidth(PrintSurface& surface, const QString& text, const TextStyle& style,
                        int width);

} // namespace salvo::ui
