#pragma once
// Sheets of self-adhesive labels: the two common A4 layouts, where each label lies on the page,
// and which label of which sheet each channel takes when a part-used sheet is begun at a given
// label.

#include <string>
#include <vector>

namespace salvo {

struct LabelLayout {
    const char* Name; // as the dialog lists it
    int Columns, Rows;
    double WidthMm, HeightMm; // of one label
    double LeftMm, TopMm;     // the first label's corner from the paper's top-left corner
    double PitchXMm, PitchYMm; // from one label to the next
    int PerSheet() const { return Columns * Rows; }
};

// 3 x 8 labels of 70 x 37 mm, and 2 x 7 labels of 99,1 x 38,1 mm, on A4 paper.
const std::vector<LabelLayout>& LabelLayouts();

struct LabelRect {
    double X, Y, Width, Height; // millimetres from the paper's top-left corner
};
// The label at a place on the sheet (0-based, by rows from the top left).
LabelRect LabelAt(const LabelLayout& layout, int place);

struct LabelSpot {
    int Sheet; // 0-based
    int Place; // on that sheet
};
// Where the item-th label (0-based) goes when the first sheet is begun at firstPlace.
LabelSpot SpotOf(const LabelLayout& layout, int firstPlace, int item);

} // namespace salvo
