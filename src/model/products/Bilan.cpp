#include "model/products/Bilan.h"

#include <algorithm>

namespace salvo {

namespace {

bool Contains(std::string text, std::string_view word) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text.find(word) != std::string::npos;
}

bool Regulated(Category c) {
    return c == Category::F2 || c == Category::F3 || c == Category::T1;
}

unsigned Level2Reasons(const Product& p) {
    unsigned why = 0;
    if (IsNautical(p))
        why |= Nautical;
    if (!p.MassGrams)
        why |= MassUnknown;
    else if (*p.MassGrams > LevelOneMaxGrams)
        why |= MassOver;
    const bool marron = IsMarronDair(p);
    if (!p.CalibreMm)
        why |= CalibreUnknown;
    else if (marron && *p.CalibreMm >= LevelOneMarronBelowMm)
        why |= MarronCalibreOver;
    else if (!marron && *p.CalibreMm >= LevelOneCalibreBelowMm)
        why |= CalibreOver;
    return why;
}

} // namespace

bool IsMarronDair(const Product& p) {
    return Contains(p.Effect, "marron");
}
bool IsNautical(const Product& p) {
    return Contains(p.Effect, "nautique");
}

Bilan ComputeBilan(const std::vector<ProgramProducts>& show) {
    Bilan b;
    for (size_t i = 0; i < show.size(); ++i) {
        const ProgramProducts& program = show[i];
        for (int channel = 1; channel <= program.ChannelCount; ++channel) {
            const ChannelRef at{static_cast<int>(i), channel};
            auto it = program.Channels.find(channel);
            if (it == program.Channels.end()) {
                b.WithoutProduct.push_back(at);
                continue;
            }
            const Product& p = it->second.Item;
            const int64_t quantity = std::max<int32_t>(1, it->second.Quantity);
            CategoryFigures& figures = b.ByCategory[static_cast<size_t>(p.Class)];
            figures.Articles += quantity;
            if (p.MassGrams) {
                figures.MassGrams += *p.MassGrams * quantity;
            } else {
                figures.ArticlesWithoutMass += quantity;
                b.WithoutMass.push_back(at);
                if (Regulated(p.Class))
                    b.RegulatedWithoutMass.push_back(at);
            }
            if (p.SafetyDistanceCm)
                b.LargestDistanceCm =
                    std::max(b.LargestDistanceCm.value_or(0), *p.SafetyDistanceCm);
            if (p.Class == Category::F4 || p.Class == Category::T2) {
                b.HighCategory.push_back(at);
                if (unsigned why = Level2Reasons(p))
                    b.Level2.push_back({at, why});
            }
        }
    }
    for (Category c : {Category::F2, Category::F3, Category::T1})
        b.RegulatedGrams += b.ByCategory[static_cast<size_t>(c)].MassGrams;
    // Missing masses can only add to the total: above the limit it is certain either way.
    if (!b.HighCategory.empty() || b.RegulatedGrams > SpectacleGrams)
        b.Kind = ShowKind::Spectacle;
    else if (!b.RegulatedWithoutMass.empty())
        b.Kind = ShowKind::Unsure;
    else
        b.Kind = ShowKind::NotSpectacle;
    b.CertificateLevel = b.HighCategory.empty() ? 0 : b.Level2.empty() ? 1 : 2;
    return b;
}

} // namespace salvo
