#include "ui/products/DossierPages.h"

#include "model/products/ProductList.h"
#include "ui/common/PageFlow.h"
#include "ui/common/Strings.h"

#include <QStringList>

#include <algorithm>

namespace salvo::ui {

namespace {

const TextStyle TitleFont{15, true, false};
const TextStyle HeadingFont{11, true, false};
const TextStyle BodyFont{10, false, false};
const TextStyle TableFont{7, false, false};
const TextStyle TableHeadFont{7, true, false};

QString Given(const std::string& text) {
    return text.empty() ? U("(non renseigné)") : Q(text);
}

// "0,620": grams as kilograms, three decimals, the unit in the heading.
QString Kilograms(int64_t grams) {
    QString text = Q(KilogramText(grams));
    text.chop(3); // " kg"
    return text;
}

// The units in the headings, so that the figures fit their columns.
std::vector<FlowColumn> ProductColumns() {
    return {{U("Nom commercial"), 19, false},
            {U("Fabricant"), 13, false},
            {U("Catégorie"), 9, false},
            {U("Référence"), 15, false},
            {U("Calibre (mm)"), 8, true},
            {U("Quantité"), 8, true},
            {U("Masse active unitaire (g)"), 10, true},
            {U("Masse active totale (kg)"), 9, true},
            {U("Distance de sécurité (m)"), 9, true}};
}

std::vector<QString> Cells(const ProductLine& l) {
    const Product& p = l.Item;
    return {Q(p.Name),
            Q(p.Maker),
            QString::fromLatin1(CategoryName(p.Class)),
            Q(p.Reference),
            p.CalibreMm ? QString::number(*p.CalibreMm) : U("inconnu"),
            QString::number(l.Quantity),
            p.MassGrams ? QString::number(*p.MassGrams) : U("inconnue"),
            l.TotalGrams ? Kilograms(*l.TotalGrams) : U("inconnue"),
            p.SafetyDistanceCm ? Q(FormatFixed(*p.SafetyDistanceCm, 2, ',')) : U("inconnue")};
}

// Lays out and draws the pages; returns how many there were, 0 when no scale.
int Lay(const DossierSheet& sheet, PrintSurface& s, const std::function<bool()>& newPage,
        int pageCount) {
    PageFlow flow(s, newPage, pageCount,
                  U("Liste des produits et bilan de sécurité - imprimé le ") + sheet.PrintedOn);
    if (!flow.Valid())
        return 0;
    const int indent = int(4 * flow.Mm());
    const Bilan b = ComputeBilan(sheet.Programs);
    const BilanText t = DescribeBilan(b, sheet.Programs);

    // The summary.
    flow.Paragraph(U("Liste des produits et bilan de sécurité"), TitleFont);
    flow.Gap(4);
    const Dossier& d = sheet.Fields;
    QString shooter = Given(d.Shooter);
    if (!d.CertificateNumber.empty())
        shooter += U(", certificat ") + Q(d.CertificateNumber);
    if (d.CertificateLevel > 0)
        shooter += U(", niveau %1").arg(d.CertificateLevel);
    const std::pair<const char*, QString> fields[] = {
        {"Spectacle : ", sheet.ShowTitle.isEmpty() ? U("(sans titre)") : sheet.ShowTitle},
        {"Lieu : ", Given(d.Place)},
        {"Date et heure : ", Given(d.DateTime)},
        {"Organisateur : ", Given(d.Organiser)},
        {"Responsable de tir : ", shooter},
    };
    for (const auto& [caption, value] : fields)
        flow.Paragraph(U(caption) + value, BodyFont);
    auto heading = [&](const char* text) {
        flow.Gap(5);
        flow.Paragraph(U(text), HeadingFont);
        flow.Gap(1);
    };
    heading("Qualification du tir");
    flow.Paragraph(Q(t.Verdict), BodyFont);
    for (const std::string& reason : t.VerdictReasons)
        flow.Paragraph(U("- ") + Q(reason), BodyFont, indent);
    heading("Masse active nette par catégorie");
    if (t.Categories.empty())
        flow.Paragraph(U("Aucun article."), BodyFont);
    for (const std::string& line : t.Categories)
        flow.Paragraph(Q(line), BodyFont);
    flow.Paragraph(Q(t.Regulated), BodyFont);
    flow.Gap(3);
    flow.Paragraph(Q(t.Distance), BodyFont);
    heading("Certificat de qualification");
    flow.Paragraph(Q(t.Certificate), BodyFont);
    for (const std::string& reason : t.CertificateReasons)
        flow.Paragraph(U("- ") + Q(reason), BodyFont, indent);
    if (!t.Missing.empty()) {
        heading("Données manquantes");
        for (const std::string& line : t.Missing)
            flow.Paragraph(Q(line), BodyFont);
    }

    // The products, on pages of their own, the headings on each.
    flow.Break();
    flow.Paragraph(U("Liste des produits"), TitleFont);
    flow.Gap(3);
    const std::vector<ProductLine> lines = ListProducts(sheet.Programs);
    if (lines.empty()) {
        flow.Paragraph(U("Aucune voie n'a de produit."), BodyFont);
        return flow.Finish();
    }
    flow.BeginTable(ProductColumns(), TableHeadFont);
    int64_t articles = 0, grams = 0;
    int massMissing = 0;
    for (const ProductLine& l : lines) {
        flow.Row(Cells(l), TableFont);
        articles += l.Quantity;
        if (l.TotalGrams)
            grams += *l.TotalGrams;
        else
            ++massMissing;
    }
    std::vector<QString> total(9);
    total[0] = U("Total");
    total[5] = QString::number(articles);
    total[7] = Kilograms(grams);
    flow.Row(total, TableHeadFont);
    flow.EndTable();
    if (massMissing > 0) {
        flow.Gap(2);
        flow.Paragraph(U("Total incomplet : la masse active de %1 %2 de la liste n'est pas connue.")
                           .arg(massMissing)
                           .arg(massMissing == 1 ? U("produit") : U("produits")),
                       BodyFont);
    }
    return flow.Finish();
}

std::function<int(PrintSurface&, const std::function<bool()>&, int)> Layout(const DossierSheet& sheet) {
    return [&sheet](PrintSurface& s, const std::function<bool()>& newPage, int pages) {
        return Lay(sheet, s, newPage, pages);
    };
}

} // namespace

int DossierPageCount(const DossierSheet& sheet, PrintSurface& surface) {
    return CountPages(surface, Layout(sheet));
}

bool DrawDossier(const DossierSheet& sheet, PrintSurface& surface,
                 const std::function<bool()>& newPage) {
    return DrawNumberedPages(surface, newPage, Layout(sheet));
}

} // namespace salvo::ui
