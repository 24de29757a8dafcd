// The safety figures of a show: the verdict and the certificate level on their limits, totals
// over several programs, and the channels whose data is missing.

#include "model/products/Bilan.h"

#include <gtest/gtest.h>

using namespace salvo;

namespace {

struct Article {
    Category Class;
    std::optional<int64_t> Grams;
    std::optional<int32_t> Calibre;
    int32_t Quantity;
    const char* Effect;
};

ProgramProducts ProgramOf(std::initializer_list<Article> articles, const char* title = "Finale") {
    ProgramProducts p;
    p.Title = title;
    p.ChannelCount = static_cast<int>(articles.size());
    int channel = 0;
    for (const Article& a : articles) {
        Product item;
        item.Name = "Article " + std::to_string(++channel);
        item.Class = a.Class;
        item.MassGrams = a.Grams;
        item.CalibreMm = a.Calibre;
        item.Effect = a.Effect;
        p.Channels[channel] = {item, a.Quantity};
    }
    return p;
}

bool Has(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(Bilan, VerdictAndCertificateOnTheirLimits) {
    using C = Category;
    const auto none = std::nullopt;
    struct Case {
        const char* what;
        ProgramProducts program;
        ShowKind kind;
        int level;
        const char* reason; // found in a verdict reason, in the verdict or in a level 2 reason
    } cases[] = {
        {"35 000 g is not over",
         ProgramOf({{C::F2, 1000, none, 20, ""}, {C::T1, 15000, none, 1, ""}}),
         ShowKind::NotSpectacle, 0, "totalisent 35,000 kg de matière active, 35 kg au plus"},
        {"35 001 g is", ProgramOf({{C::F2, 1000, none, 20, ""}, {C::F3, 15001, none, 1, ""}}),
         ShowKind::Spectacle, 0, "totalisent 35,001 kg de matière active, plus de 35 kg"},
        {"F1 and F4 masses do not count",
         ProgramOf({{C::F1, 90000, none, 1, ""}, {C::F4, 400, 100, 100, ""}}), ShowKind::Spectacle,
         1, "Article de catégorie F4 : « Article 2 » (« Finale », voie 2)"},
        {"one T2 article", ProgramOf({{C::F2, 10, none, 1, ""}, {C::T2, 500, 30, 1, ""}}),
         ShowKind::Spectacle, 1, "Article de catégorie T2 : « Article 2 » (« Finale », voie 2)"},
        {"a 105 mm shell", ProgramOf({{C::F4, 300, 105, 1, "bombe"}}), ShowKind::Spectacle, 2,
         "« Article 1 » (« Finale », voie 1) : calibre de 105 mm, 105 mm ou plus."},
        {"501 g", ProgramOf({{C::F4, 500, 104, 1, ""}, {C::F4, 501, 30, 1, ""}}),
         ShowKind::Spectacle, 2, "voie 2) : masse active de 501 g, plus de 500 g."},
        {"a marron d'air of 50 mm",
         ProgramOf({{C::F4, 100, 49, 1, "Marron d'air"}, {C::F4, 100, 50, 1, "marron"}}),
         ShowKind::Spectacle, 2, "voie 2) : marron d'air de 50 mm, 50 mm ou plus."},
        {"nautical", ProgramOf({{C::T2, 100, 30, 1, "Effet nautique"}}), ShowKind::Spectacle, 2,
         "article nautique"},
        {"F4 of unknown mass", ProgramOf({{C::F4, none, 75, 1, ""}}), ShowKind::Spectacle, 2,
         "masse active inconnue : sans elle on ne peut pas établir que le niveau 1 suffit"},
        {"T2 of unknown calibre", ProgramOf({{C::T2, 50, none, 1, ""}}), ShowKind::Spectacle, 2,
         "calibre inconnu"},
        {"missing F3 mass under the limit",
         ProgramOf({{C::F2, 30000, none, 1, ""}, {C::F3, none, none, 1, ""}}), ShowKind::Unsure, 0,
         "la masse active manque pour « Finale », voie 2."},
        {"missing mass over the limit anyway",
         ProgramOf({{C::F2, 35001, none, 1, ""}, {C::T1, none, none, 1, ""}}), ShowKind::Spectacle,
         0, "35,001 kg"},
        {"missing F1 mass changes nothing",
         ProgramOf({{C::F1, none, none, 1, ""}, {C::F2, 1, none, 1, ""}}), ShowKind::NotSpectacle,
         0, "0,001 kg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ProgramProducts> show{c.program};
        const Bilan b = ComputeBilan(show);
        const BilanText t = DescribeBilan(b, show);
        EXPECT_EQ(b.Kind, c.kind);
        EXPECT_EQ(b.CertificateLevel, c.level);
        std::vector<std::string> all = t.VerdictReasons;
        all.push_back(t.Verdict);
        all.insert(all.end(), t.CertificateReasons.begin(), t.CertificateReasons.end());
        EXPECT_TRUE(Has(all, c.reason)) << t.Verdict;
        if (c.kind == ShowKind::Spectacle)
            EXPECT_EQ(t.Verdict, VerdictSpectacle);
        else if (c.kind == ShowKind::NotSpectacle)
            EXPECT_EQ(t.Verdict, VerdictNotSpectacle);
        else
            EXPECT_TRUE(t.Verdict != VerdictSpectacle && t.Verdict != VerdictNotSpectacle &&
                        t.Verdict.find("incomplet") != std::string::npos);
        EXPECT_EQ(t.CertificateReasons.size(), b.Level2.size());
        EXPECT_EQ(t.Certificate.find("niveau 2") != std::string::npos, c.level == 2);
    }
}

TEST(Bilan, TotalsOverTwoProgramsNameWhatIsMissing) {
    ProgramProducts finale =
        ProgramOf({{Category::F2, 1200, std::nullopt, 3, ""}, {Category::F3, 500, 50, 2, ""}});
    finale.ChannelCount = 4; // channels 3 and 4 without a product
    finale.Channels[2].Item.SafetyDistanceCm = 2550;
    ProgramProducts second = ProgramOf(
        {{Category::F2, 1, std::nullopt, 1, ""}, {Category::F3, std::nullopt, std::nullopt, 5, ""}},
        "");
    second.Channels[1].Item.SafetyDistanceCm = 3000;
    const std::vector<ProgramProducts> show{finale, second};

    const Bilan b = ComputeBilan(show);
    const CategoryFigures& f2 = b.ByCategory[size_t(Category::F2)];
    const CategoryFigures& f3 = b.ByCategory[size_t(Category::F3)];
    EXPECT_EQ(std::make_tuple(f2.Articles, f2.MassGrams, f2.ArticlesWithoutMass),
              std::make_tuple(4, 3601, 0));
    EXPECT_EQ(std::make_tuple(f3.Articles, f3.MassGrams, f3.ArticlesWithoutMass),
              std::make_tuple(7, 1000, 5));
    EXPECT_EQ(b.RegulatedGrams, 4601);
    EXPECT_EQ(b.WithoutProduct, (std::vector<ChannelRef>{{0, 3}, {0, 4}}));

    const BilanText t = DescribeBilan(b, show);
    EXPECT_EQ(t.Categories, (std::vector<std::string>{
                                "F2 : 4 articles, 3,601 kg",
                                "F3 : 7 articles, 1,000 kg (masse inconnue pour 5 articles)"}));
    EXPECT_EQ(t.Regulated, "F2 + F3 + T1 : 4,601 kg (incomplet : masse inconnue pour "
                           "programme 2, voie 2)");
    EXPECT_EQ(t.Distance, "Plus grande distance de sécurité : 30 m");
    EXPECT_EQ(t.Missing,
              (std::vector<std::string>{"Sans produit : « Finale », voies 3 et 4.",
                                        "Produit sans masse active : programme 2, voie 2."}));
    EXPECT_EQ(b.Kind, ShowKind::Unsure);
}

TEST(Bilan, FixedPointTexts) {
    EXPECT_EQ(KilogramText(35001), "35,001 kg");
    EXPECT_EQ(KilogramText(7), "0,007 kg");
    EXPECT_EQ(FormatFixed(1250, 2, ','), "12,5");
    EXPECT_EQ(FormatFixed(3000, 3, '.'), "3");
    EXPECT_EQ(ParseFixed(" 12,5 ", 2, ','), 1250);
    EXPECT_EQ(ParseFixed("0,085", 3, ','), 85);
    for (const char* bad :
         {"", ",", "1,2,3", "0,0851", "-1", "1e3", "12.5", "99999999999999999999"})
        EXPECT_FALSE(ParseFixed(bad, 3, ',')) << bad;
}
