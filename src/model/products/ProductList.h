#pragma once
// The products of a show as the declaration lists them: each different article once, with the
// number fired across every channel and program, and its total net active mass.

#include "model/products/Bilan.h"

#include <optional>
#include <vector>

namespace salvo {

struct ProductLine {
    Product Item;
    int64_t Quantity = 0;
    std::optional<int64_t> TotalGrams; // missing when the article's mass is
};

// By category, then name, then maker; articles that differ in any field are separate lines.
std::vector<ProductLine> ListProducts(const std::vector<ProgramProducts>& show);

} // namespace salvo
