// Every French text of the bilan, in one place.
#include "model/products/Bilan.h"

namespace salvo {

const char* const VerdictSpectacle = "Ce tir est un spectacle pyrotechnique : il se déclare au "
                                     "maire et au préfet au moins un mois avant la date.";
const char* const VerdictNotSpectacle =
    "Ce tir n'est pas un spectacle pyrotechnique au sens du décret n° 2010-580 : il se déclare "
    "au maire de la commune, sans dossier en préfecture.";

namespace {

static_assert(SpectacleGrams == 35000 && LevelOneMaxGrams == 500 && LevelOneCalibreBelowMm == 105 &&
                  LevelOneMarronBelowMm == 50,
              "the texts name the limits");

const char* const VerdictUnsure =
    "Le bilan est incomplet : les articles F2, F3 et T1 dont la masse est connue totalisent %1 "
    "de matière active, 35 kg au plus, mais la masse active manque pour %2. Tant qu'elle "
    "manque, on ne peut pas dire si ce tir est un spectacle pyrotechnique (plus de 35 kg de "
    "matière active en F2, F3 et T1) : complétez ces masses.";
const char* const ReasonHighCategory = "Article de catégorie %1 : %2.";
const char* const ReasonMassOver = "Les articles F2, F3 et T1 totalisent %1 de matière active, "
                                   "plus de 35 kg.";
const char* const FiguresNotSpectacle =
    "Aucun article F4 ni T2 ; les articles F2, F3 et T1 totalisent %1 de matière active, "
    "35 kg au plus.";
const char* const CategoryLine = "%1 : %2, %3";
const char* const CategoryWithoutMass = " (masse inconnue pour %1)";
const char* const RegulatedLine = "F2 + F3 + T1 : %1";
const char* const RegulatedIncomplete = " (incomplet : masse inconnue pour %1)";
const char* const DistanceLine = "Plus grande distance de sécurité : %1 m";
const char* const DistanceUnknown = "Aucune distance de sécurité n'est connue.";
const char* const MissingProduct = "Sans produit : %1.";
const char* const MissingMass = "Produit sans masse active : %1.";
const char* const CertificateNone =
    "Aucun article de catégorie F4 ou T2 : aucun certificat de qualification n'est exigé pour "
    "ce tir.";
const char* const CertificateOne =
    "Les articles F4 et T2 de ce tir demandent le certificat de qualification de niveau 1.";
const char* const CertificateTwo =
    "Les articles F4 et T2 de ce tir demandent le certificat de qualification de niveau 2, à "
    "cause de :";
const char* const NeedNautical = "article nautique";
const char* const NeedMassOver = "masse active de %1 g, plus de 500 g";
const char* const NeedCalibreOver = "calibre de %1 mm, 105 mm ou plus";
const char* const NeedMarronOver = "marron d'air de %1 mm, 50 mm ou plus";
const char* const NeedMassUnknown =
    "masse active inconnue : sans elle on ne peut pas établir que le niveau 1 suffit, le "
    "niveau 2 est donc exigé par prudence";
const char* const NeedCalibreUnknown =
    "calibre inconnu : sans lui on ne peut pas établir que le niveau 1 suffit, le niveau 2 est "
    "donc exigé par prudence";
const char* const ProductUnnamed = "article sans nom";

// One pass, so that a name holding "%2" stays as typed.
std::string Fill(std::string_view text, const std::string& a, const std::string& b = {},
                 const std::string& c = {}) {
    const std::string* values[] = {&a, &b, &c};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '3')
            out += *values[text[++i] - '1'];
        else
            out += text[i];
    }
    return out;
}

std::string Quoted(const std::string& text) {
    return "« " + text + " »";
}

std::string ProgramName(const std::vector<ProgramProducts>& show, int program) {
    const std::string& title = show[static_cast<size_t>(program)].Title;
    return title.empty() ? "programme " + std::to_string(program + 1) : Quoted(title);
}

// "« Finale », voies 3, 4 et 7 ; programme 2, voie 1"
std::string ChannelList(const std::vector<ChannelRef>& refs,
                        const std::vector<ProgramProducts>& show) {
    std::string out;
    for (size_t i = 0; i < refs.size();) {
        size_t end = i;
        while (end < refs.size() && refs[end].Program == refs[i].Program)
            ++end;
        if (!out.empty())
            out += " ; ";
        out += ProgramName(show, refs[i].Program) + (end - i == 1 ? ", voie " : ", voies ");
        for (size_t k = i; k < end; ++k)
            out += (k == i ? "" : k + 1 == end ? " et " : ", ") + std::to_string(refs[k].Channel);
        i = end;
    }
    return out;
}

const Product& ProductAt(const std::vector<ProgramProducts>& show, ChannelRef at) {
    return show[static_cast<size_t>(at.Program)].Channels.at(at.Channel).Item;
}

// "« Bombe 105 » (« Finale », voie 4)"
std::string ProductAndChannel(const std::vector<ProgramProducts>& show, ChannelRef at) {
    const Product& p = ProductAt(show, at);
    return (p.Name.empty() ? std::string(ProductUnnamed) : Quoted(p.Name)) + " (" +
           ChannelList({at}, show) + ")";
}

std::string Articles(int64_t n) {
    return std::to_string(n) + (n == 1 ? " article" : " articles");
}

} // namespace

BilanText DescribeBilan(const Bilan& b, const std::vector<ProgramProducts>& show) {
    BilanText t;
    for (int c = 0; c < CategoryCount; ++c) {
        const CategoryFigures& f = b.ByCategory[static_cast<size_t>(c)];
        if (f.Articles == 0)
            continue;
        std::string line = Fill(CategoryLine, CategoryName(static_cast<Category>(c)),
                                Articles(f.Articles), KilogramText(f.MassGrams));
        if (f.ArticlesWithoutMass > 0)
            line += Fill(CategoryWithoutMass, Articles(f.ArticlesWithoutMass));
        t.Categories.push_back(line);
    }
    t.Regulated = Fill(RegulatedLine, KilogramText(b.RegulatedGrams));
    if (!b.RegulatedWithoutMass.empty())
        t.Regulated += Fill(RegulatedIncomplete, ChannelList(b.RegulatedWithoutMass, show));
    t.Distance = b.LargestDistanceCm ? Fill(DistanceLine, FormatFixed(*b.LargestDistanceCm, 2, ','))
                                     : std::string(DistanceUnknown);
    if (!b.WithoutProduct.empty())
        t.Missing.push_back(Fill(MissingProduct, ChannelList(b.WithoutProduct, show)));
    if (!b.WithoutMass.empty())
        t.Missing.push_back(Fill(MissingMass, ChannelList(b.WithoutMass, show)));

    switch (b.Kind) {
    case ShowKind::Spectacle:
        t.Verdict = VerdictSpectacle;
        for (ChannelRef at : b.HighCategory)
            t.VerdictReasons.push_back(Fill(ReasonHighCategory,
                                            CategoryName(ProductAt(show, at).Class),
                                            ProductAndChannel(show, at)));
        if (b.RegulatedGrams > SpectacleGrams)
            t.VerdictReasons.push_back(Fill(ReasonMassOver, KilogramText(b.RegulatedGrams)));
        break;
    case ShowKind::Unsure:
        t.Verdict = Fill(VerdictUnsure, KilogramText(b.RegulatedGrams),
                         ChannelList(b.RegulatedWithoutMass, show));
        break;
    case ShowKind::NotSpectacle:
        t.Verdict = VerdictNotSpectacle;
        t.VerdictReasons.push_back(Fill(FiguresNotSpectacle, KilogramText(b.RegulatedGrams)));
        break;
    }

    t.Certificate = b.CertificateLevel == 0   ? CertificateNone
                    : b.CertificateLevel == 1 ? CertificateOne
                                              : CertificateTwo;
    for (const Level2Need& need : b.Level2) {
        const Product& p = ProductAt(show, need.At);
        std::vector<std::string> why;
        if (need.Reasons & Nautical)
            why.push_back(NeedNautical);
        if (need.Reasons & MassOver)
            why.push_back(Fill(NeedMassOver, std::to_string(*p.MassGrams)));
        if (need.Reasons & CalibreOver)
            why.push_back(Fill(NeedCalibreOver, std::to_string(*p.CalibreMm)));
        if (need.Reasons & MarronCalibreOver)
            why.push_back(Fill(NeedMarronOver, std::to_string(*p.CalibreMm)));
        if (need.Reasons & MassUnknown)
            why.push_back(NeedMassUnknown);
        if (need.Reasons & CalibreUnknown)
            why.push_back(NeedCalibreUnknown);
        std::string line = ProductAndChannel(show, need.At) + " : ";
        for (size_t k = 0; k < why.size(); ++k)
            line += (k == 0 ? "" : " ; ") + why[k];
        t.CertificateReasons.push_back(line + ".");
    }
    return t;
}

} // namespace salvo
