#include "model/sheets/Labels.h"

namespace salvo {

const std::vector<LabelLayout>& LabelLayouts() {
    // The makers' published measures: 3 x 70 mm fills the width of A4, 8 x 37 mm leaves half a
    // millimetre above and below; the 99,1 x 38,1 mm labels sit 4,65 mm from the sides and
    // 15,15 mm from the top, 2,5 mm apart.
    static const std::vector<LabelLayout> layouts = {
        {"3 × 8 étiquettes de 70 × 37 mm", 3, 8, 70.0, 37.0, 0.0, 0.5, 70.0, 37.0},
        {"2 × 7 étiquettes de 99,1 × 38,1 mm", 2, 7, 99.1, 38.1, 4.65, 15.15, 101.6, 38.1},
    };
    return layouts;
}

LabelRect LabelAt(const LabelLayout& layout, int place) {
    const int column = place % layout.Columns, row = place / layout.Columns;
    return {layout.LeftMm + column * layout.PitchXMm, layout.TopMm + row * layout.PitchYMm,
            layout.WidthMm, layout.HeightMm};
}

LabelSpot SpotOf(const LabelLayout& layout, int firstPlace, int item) {
    const int at = firstPlace + item;
    return {at / layout.PerSheet(), at % layout.PerSheet()};
}

} // namespace salvo
