#include "ui/products/DossierPages.h"

#include "model/products/ProductList.h"
#include "ui/common/Strings.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace salvo::ui {

namespace {

const TextStyle TitleFont{15, true, false};
const TextStyle HeadingFont{11, true, false};
const TextStyle BodyFont{10, false, false};
const TextStyle TableFont{7, false, false};
const TextStyle TableHeadFont{7, true, false};
const TextStyle FootFont{8, false, false};

// Beyond this a text is a typing accident: measuring all of it would hold the program.
constexpr int LongestText = 1000;

QString Given(const std::string& text) {
    return text.empty() ? U("(non renseigné)") : Q(text).left(LongestText);
}

// Draws nothing: the first pass, that counts the pages.
class CountingSurface : public PrintSurface {
public:
    explicit CountingSurface(PrintSurface& real) : Real(real) {}
    DeviceMeasures Measures() const override { return Real.Measures(); }
    int TextWidth(const QString& t, const TextStyle& s) override { return Real.TextWidth(t, s); }
    int TextHeight(const QString& t, const TextStyle& s) override { return Real.TextHeight(t, s); }
    void Text(int, int, const QString&, const TextStyle&) override {}
    void SetPen(int) override {}
    void Line(int, int, int, int) override {}
    void Rectangle(int, int, int, int) override {}

private:
    PrintSurface& Real;
};

QString CutToWidth(PrintSurface& s, const QString& text, const TextStyle& style, int width) {
    QString t = text.left(LongestText);
    if (s.TextWidth(t, style) <= width)
        return t;
    while (!t.isEmpty() && s.TextWidth(t + QStringLiteral("…"), style) > width)
        t.chop(1);
    return t + QStringLiteral("…");
}

// The text in lines no wider than width, broken between words (a word too long for a line is
// cut).
QStringList Wrap(PrintSurface& s, const QString& text, const TextStyle& style, int width) {
    QStringList lines;
    for (const QString& paragraph : text.left(LongestText).split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString tried = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (line.isEmpty() || s.TextWidth(tried, style) <= width) {
                line = tried;
            } else {
                lines << CutToWidth(s, line, style, width);
                line = word;
            }
        }
        lines << CutToWidth(s, line, style, width);
    }
    return lines;
}

struct Column {
    const char* Heading;
    int Share; // of the table's width, in parts of 100
    bool Right;
};
// "0,620": grams as kilograms, three decimals, the unit in the heading.
QString Kilograms(int64_t grams) {
    QString text = Q(KilogramText(grams));
    text.chop(3); // " kg"
    return text;
}

// The units in the headings, so that the figures fit their columns.
const std::array<Column, 9> ProductColumns = {{
    {"Nom commercial", 19, false},
    {"Fabricant", 13, false},
    {"Catégorie", 9, false},
    {"Référence", 15, false},
    {"Calibre (mm)", 8, true},
    {"Quantité", 8, true},
    {"Masse active unitaire (g)", 10, true},
    {"Masse active totale (kg)", 9, true},
    {"Distance de sécurité (m)", 9, true},
}};

std::array<QString, 9> Cells(const ProductLine& l) {
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
    const DeviceMeasures m = s.Measures();
    if (m.PrintableWidth <= 0 || m.PrintableHeight <= 0 || m.DpiY <= 0)
        return 0;
    const double mm = m.DpiY / 25.4;
    const int left = int(12 * mm), right = m.PrintableWidth - int(12 * mm);
    const int top = int(12 * mm), bottom = m.PrintableHeight - int(18 * mm);
    const int width = right - left;
    if (width <= 0 || bottom <= top)
        return 0;

    int page = 1;
    int y = top;
    auto footer = [&] {
        const int fy = m.PrintableHeight - int(12 * mm);
        s.Text(left, fy,
               U("Liste des produits et bilan de sécurité - imprimé le ") + sheet.PrintedOn,
               FootFont);
        const QString number = U("Page %1 / %2").arg(page).arg(std::max(pageCount, page));
        s.Text(right - s.TextWidth(number, FootFont), fy, number, FootFont);
    };
    bool ok = true;
    auto breakPage = [&] {
        footer();
        ok = ok && newPage();
        ++page;
        y = top;
    };
    auto room = [&](int height) {
        if (y + height > bottom && y > top)
            breakPage();
    };
    auto paragraph = [&](const QString& text, const TextStyle& style, int indent = 0) {
        for (const QString& line : Wrap(s, text, style, width - indent)) {
            const int h = s.TextHeight(line, style);
            room(h);
            s.Text(left + indent, y, line, style);
            y += h;
        }
    };
    auto gap = [&](double millimetres) { y += int(millimetres * mm); };

    const Bilan b = ComputeBilan(sheet.Programs);
    const BilanText t = DescribeBilan(b, sheet.Programs);

    // The summary.
    paragraph(U("Liste des produits et bilan de sécurité"), TitleFont);
    gap(4);
    const Dossier& d = sheet.Fields;
    QString shooter = Given(d.Shooter);
    if (!d.CertificateNumber.empty())
        shooter += U(", certificat ") + Q(d.CertificateNumber);
    if (d.CertificateLevel > 0)
        shooter += U(", niveau %1").arg(d.CertificateLevel);
    const std::array<std::pair<const char*, QString>, 5> fields = {{
        {"Spectacle : ", sheet.ShowTitle.isEmpty() ? U("(sans titre)") : sheet.ShowTitle},
        {"Lieu : ", Given(d.Place)},
        {"Date et heure : ", Given(d.DateTime)},
        {"Organisateur : ", Given(d.Organiser)},
        {"Responsable de tir : ", shooter},
    }};
    for (const auto& [caption, value] : fields)
        paragraph(U(caption) + value, BodyFont);
    gap(5);
    paragraph(U("Qualification du tir"), HeadingFont);
    gap(1);
    paragraph(Q(t.Verdict), BodyFont);
    for (const std::string& reason : t.VerdictReasons)
        paragraph(U("- ") + Q(reason), BodyFont, int(4 * mm));
    gap(5);
    paragraph(U("Masse active nette par catégorie"), HeadingFont);
    gap(1);
    if (t.Categories.empty())
        paragraph(U("Aucun article."), BodyFont);
    for (const std::string& line : t.Categories)
        paragraph(Q(line), BodyFont);
    paragraph(Q(t.Regulated), BodyFont);
    gap(3);
    paragraph(Q(t.Distance), BodyFont);
    gap(5);
    paragraph(U("Certificat de qualification"), HeadingFont);
    gap(1);
    paragraph(Q(t.Certificate), BodyFont);
    for (const std::string& reason : t.CertificateReasons)
        paragraph(U("- ") + Q(reason), BodyFont, int(4 * mm));
    if (!t.Missing.empty()) {
        gap(5);
        paragraph(U("Données manquantes"), HeadingFont);
        gap(1);
        for (const std::string& line : t.Missing)
            paragraph(Q(line), BodyFont);
    }

    // The products, on pages of their own, the headings on each.
    breakPage();
    paragraph(U("Liste des produits"), TitleFont);
    gap(3);
    std::array<int, 9> x{};
    std::array<int, 9> w{};
    for (size_t c = 0, at = left; c < ProductColumns.size(); ++c) {
        x[c] = int(at);
        w[c] = width * ProductColumns[c].Share / 100;
        at += size_t(w[c]);
    }
    const int pad = int(1 * mm);
    auto row = [&](const std::array<QString, 9>& cells, const TextStyle& style, bool heading) {
        std::array<QStringList, 9> lines;
        int count = 1;
        for (size_t c = 0; c < cells.size(); ++c) {
            lines[c] = heading ? Wrap(s, cells[c], style, w[c] - 2 * pad)
                               : QStringList{CutToWidth(s, cells[c], style, w[c] - 2 * pad)};
            count = std::max(count, int(lines[c].size()));
        }
        const int lineHeight = s.TextHeight(cells[0], style);
        const int h = count * lineHeight + 2 * pad;
        s.SetPen(std::max(1, int(0.2 * mm)));
        for (size_t c = 0; c < cells.size(); ++c) {
            s.Rectangle(x[c], y, x[c] + w[c], y + h);
            for (int k = 0; k < lines[c].size(); ++k) {
                const QString& text = lines[c][k];
                const int tx = ProductColumns[c].Right && !heading
                                   ? x[c] + w[c] - pad - s.TextWidth(text, style)
                                   : x[c] + pad;
                s.Text(tx, y + pad + k * lineHeight, text, style);
            }
        }
        y += h;
    };
    std::array<QString, 9> headings;
    for (size_t c = 0; c < headings.size(); ++c)
        headings[c] = U(ProductColumns[c].Heading);
    const int rowHeight = s.TextHeight(headings[0], TableFont) + 2 * pad;
    const std::vector<ProductLine> lines = ListProducts(sheet.Programs);
    if (lines.empty()) {
        paragraph(U("Aucune voie n'a de produit."), BodyFont);
    } else {
        row(headings, TableHeadFont, true);
        int64_t articles = 0, grams = 0;
        int massMissing = 0;
        for (const ProductLine& l : lines) {
            if (y + rowHeight > bottom) {
                breakPage();
                row(headings, TableHeadFont, true);
            }
            row(Cells(l), TableFont, false);
            articles += l.Quantity;
            if (l.TotalGrams)
                grams += *l.TotalGrams;
            else
                ++massMissing;
        }
        if (y + rowHeight > bottom)
            breakPage();
        std::array<QString, 9> total;
        total[0] = U("Total");
        total[5] = QString::number(articles);
        total[7] = Kilograms(grams);
        row(total, TableHeadFont, false);
        if (massMissing > 0) {
            gap(2);
            paragraph(U("Total incomplet : la masse active de %1 %2 de la liste n'est pas connue.")
                          .arg(massMissing)
                          .arg(massMissing == 1 ? U("produit") : U("produits")),
                      BodyFont);
        }
    }
    footer();
    return ok ? page : 0;
}

} // namespace

int DossierPageCount(const DossierSheet& sheet, PrintSurface& surface) {
    CountingSurface counting(surface);
    return Lay(sheet, counting, [] { return true; }, 0);
}

bool DrawDossier(const DossierSheet& sheet, PrintSurface& surface,
                 const std::function<bool()>& newPage) {
    const int pages = DossierPageCount(sheet, surface);
    return pages > 0 && Lay(sheet, surface, newPage, pages) > 0;
}

} // namespace salvo::ui
