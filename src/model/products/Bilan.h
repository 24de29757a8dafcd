#pragma once
// The safety figures of a show fired from one program or several: articles and net active mass
// per category, the mass that decides whether the show is a "spectacle pyrotechnique", the
// largest safety distance, the channels whose data is missing, and the certificate level the
// F4 and T2 articles call for. Every total is in integer grams: a limit of 35 kg must not move
// with floating-point rounding.

#include "model/products/Product.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace salvo {

struct ProgramProducts {
    std::string Title;     // empty: the program is named by its place in the show
    int ChannelCount = 30; // channels 1 to ChannelCount are looked at
    std::map<int, ChannelProduct> Channels;
};

struct ChannelRef {
    int Program = 0; // index in the show
    int Channel = 0;
    bool operator==(const ChannelRef& o) const {
        return Program == o.Program && Channel == o.Channel;
    }
};

struct CategoryFigures {
    int64_t Articles = 0;
    int64_t MassGrams = 0; // of the articles whose mass is known
    int64_t ArticlesWithoutMass = 0;
};

// Above this, F2, F3 and T1 articles together make a "spectacle pyrotechnique".
constexpr int64_t SpectacleGrams = 35000;
// Level 1 certificate limits for F4 and T2 articles.
constexpr int64_t LevelOneMaxGrams = 500;
constexpr int32_t LevelOneCalibreBelowMm = 105;
constexpr int32_t LevelOneMarronBelowMm = 50;

enum class ShowKind {
    NotSpectacle,
    Spectacle,
    Unsure, // F2/F3/T1 masses are missing and the known ones stay within the limit
};

// Why an F4 or T2 article needs the level 2 certificate (several may hold).
enum Level2Reason : unsigned {
    Nautical = 1,
    MassOver = 2,
    CalibreOver = 4,
    MarronCalibreOver = 8,
    MassUnknown = 16,
    CalibreUnknown = 32,
};

struct Level2Need {
    ChannelRef At;
    unsigned Reasons = 0;
};

struct Bilan {
    std::array<CategoryFigures, CategoryCount> ByCategory{};
    int64_t RegulatedGrams = 0; // F2 + F3 + T1, known masses
    std::optional<int64_t> LargestDistanceCm;
    std::vector<ChannelRef> WithoutProduct;
    std::vector<ChannelRef> WithoutMass;          // with a product of unknown mass
    std::vector<ChannelRef> RegulatedWithoutMass; // those of them in F2, F3 or T1
    std::vector<ChannelRef> HighCategory;         // F4 and T2 articles
    ShowKind Kind = ShowKind::NotSpectacle;
    int CertificateLevel = 0; // 0: no F4 or T2 article
    std::vector<Level2Need> Level2;
};

// A marron d'air is recognised by its effect text containing "marron"; a nautical article by
// "nautique" (any case): that is where makers' sheets say so.
bool IsMarronDair(const Product& p);
bool IsNautical(const Product& p);

Bilan ComputeBilan(const std::vector<ProgramProducts>& show);

// The bilan in the words shown to the user.
struct BilanText {
    std::vector<std::string> Categories; // "F3 : 12 articles, 4,250 kg"
    std::string Regulated;               // the F2 + F3 + T1 total
    std::string Distance;
    std::vector<std::string> Missing; // channels without product, products without mass
    std::string Verdict;
    std::vector<std::string> VerdictReasons;
    std::string Certificate;
    std::vector<std::string> CertificateReasons; // one per product that needs level 2
};
BilanText DescribeBilan(const Bilan& bilan, const std::vector<ProgramProducts>& show);

// The verdict sentences, exactly.
extern const char* const VerdictSpectacle;
extern const char* const VerdictNotSpectacle;

} // namespace salvo
