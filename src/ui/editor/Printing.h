#pragma once
// The printed sheet of a firing program: one page with the header, a ruled table of the
// channels in use and the date of printing. The page is drawn through a small surface so that
// it can be measured without a printer; the editor window hands over its texts as plain data.

#include "ui/common/PrintSurface.h"

#include <QString>

#include <vector>

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
