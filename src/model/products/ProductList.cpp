#include "model/products/ProductList.h"

#include <algorithm>
#include <tuple>

namespace salvo {

std::vector<ProductLine> ListProducts(const std::vector<ProgramProducts>& show) {
    std::vector<ProductLine> lines;
    for (const ProgramProducts& program : show)
        for (const auto& [channel, assigned] : program.Channels) {
            if (channel < 1 || channel > program.ChannelCount)
                continue; // as the bilan: a channel the box does not have fires nothing
            auto same = std::find_if(lines.begin(), lines.end(), [&](const ProductLine& l) {
                return l.Item == assigned.Item;
            });
            if (same == lines.end())
                same = lines.insert(lines.end(), ProductLine{assigned.Item, 0, std::nullopt});
            same->Quantity += std::max<int32_t>(1, assigned.Quantity);
        }
    for (ProductLine& l : lines)
        if (l.Item.MassGrams)
            l.TotalGrams = *l.Item.MassGrams * l.Quantity;
    std::stable_sort(lines.begin(), lines.end(), [](const ProductLine& a, const ProductLine& b) {
        return std::tie(a.Item.Class, a.Item.Name, a.Item.Maker) <
               std::tie(b.Item.Class, b.Item.Name, b.Item.Maker);
    });
    return lines;
}

} // namespace salvo
