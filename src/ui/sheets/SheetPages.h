#pragma once
// The crew's sheets, drawn on a print surface from plain texts: the loading sheet (a row per
// channel with an empty box to tick), the labels for the firing lines, and the operator's sheet
// in large type. Each page carries the show's title and its number.

#include "model/sheets/Labels.h"
#include "model/sheets/OperatorSheet.h"
#include "ui/common/PrintSurface.h"

#include <QString>

#include <functional>
#include <vector>

namespace salvo::ui {

// One box of the show as its sheets name it.
struct SheetBox {
    QString Title;  // the program's title
    QString Model;  // "Ignivelle V30"
    QString Serial; // the box's serial number
};

struct LoadingRow {
    QString Channel, Type, Time, Product, Calibre, Quantity, Description;
};
struct LoadingSection {
    SheetBox Box;
    std::vector<LoadingRow> Rows;
};
struct LoadingSheet {
    QString ShowTitle;
    QString PrintedOn;
    std::vector<LoadingSection> Sections;
};
bool DrawLoadingSheet(const LoadingSheet& sheet, PrintSurface& surface,
                      const std::function<bool()>& newPage);

struct LabelText {
    QString Channel; // "Voie 12"
    QString What;    // the product, or the description when there is none
    QString Time;    // "12,4 s"
    QString Serial;  // "N° 123456"
};
// Labels in order from firstPlace (0-based) of the first sheet.
bool DrawLabels(const std::vector<LabelText>& labels, const LabelLayout& layout, int firstPlace,
                PrintSurface& surface, const std::function<bool()>& newPage);

struct OperatorSection {
    SheetBox Box;
    bool WithMusic = false;
    std::vector<OperatorRow> Rows;
};
struct OperatorSheet {
    QString ShowTitle;
    QString PrintedOn;
    char Separator = ',';
    std::vector<OperatorSection> Sections;
};
bool DrawOperatorSheet(const OperatorSheet& sheet, PrintSurface& surface,
                       const std::function<bool()>& newPage);

} // namespace salvo::ui
