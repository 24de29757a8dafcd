#include "model/products/Catalogue.h"

#include "model/io/Text.h"

#include <array>
#include <iterator>

namespace salvo {

const char* const CatalogueHeadings =
    "Nom commercial;Fabricant;Catégorie;Référence;Calibre (mm);Masse active (g);Durée (s);"
    "Temps de levée (s);Distance de sécurité (m);Effet";

namespace {

const std::array<const char*, 10> Headings{
    "Nom commercial", "Fabricant",          "Catégorie",
    "Référence",      "Calibre (mm)",       "Masse active (g)",
    "Durée (s)",      "Temps de levée (s)", "Distance de sécurité (m)",
    "Effet"};

const char* const WhyEmpty = "la cellule est vide";
const char* const WhyNotNumber = "n'est pas un nombre";
const char* const WhyNotWhole = "n'est pas un nombre entier";
const char* const WhyTooFine = "a trop de décimales";
const char* const WhyNegative = "est négatif";
const char* const WhyTooLarge = "est trop grand";
const char* const WhyNotCategory = "n'est pas une catégorie (F1, F2, F3, F4, T1 ou T2)";

template <typename T> std::string Number(const std::optional<T>& v, int decimals) {
    return v ? FormatFixed(*v, decimals, ',') : std::string();
}

std::string Lower(std::string_view text) {
    std::string out(TrimSpaceAndControls(text));
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

std::string CatalogueBytes(const std::vector<Product>& products) {
    std::string out = "\xEF\xBB\xBF";
    out += CatalogueHeadings;
    out += "\r\n";
    for (const Product& p : products) {
        const std::string fields[] = {p.Name,
                                      p.Maker,
                                      CategoryName(p.Class),
                                      p.Reference,
                                      Number(p.CalibreMm, 0),
                                      Number(p.MassGrams, 0),
                                      Number(p.DurationMs, 3),
                                      Number(p.LiftMs, 3),
                                      Number(p.SafetyDistanceCm, 2),
                                      p.Effect};
        for (size_t i = 0; i < std::size(fields); ++i)
            out += (i == 0 ? "" : ";") + SheetField(fields[i]);
        out += "\r\n";
    }
    return out;
}

ProductColumns GuessProductColumns(const SheetTable& table) {
    ProductColumns c;
    int* slots[] = {&c.Name, &c.Maker,    &c.Class, &c.Reference, &c.Calibre,
                    &c.Mass, &c.Duration, &c.Lift,  &c.Distance,  &c.Effect};
    const int row = table.HeadingRow();
    if (row < 0)
        return c;
    const auto& cells = table.Rows[static_cast<size_t>(row)];
    for (size_t col = 0; col < cells.size(); ++col)
        for (size_t k = 0; k < Headings.size(); ++k)
            if (*slots[k] < 0 && Lower(cells[col]) == Lower(Headings[k]))
                *slots[k] = static_cast<int>(col);
    return c;
}

CatalogueRead ReadCatalogue(const SheetTable& table, const ProductColumns& columns,
                            char decimalSeparator) {
    CatalogueRead out;
    out.Refused = table.Problems; // the file's own faults first, then the cells
    for (size_t r = static_cast<size_t>(table.FirstDataRow()); r < table.Rows.size(); ++r) {
        const auto& row = table.Rows[r];
        auto cell = [&](int column) -> std::string {
            return column >= 0 && static_cast<size_t>(column) < row.size()
                       ? row[static_cast<size_t>(column)]
                       : std::string();
        };
        bool blank = true;
        for (const std::string& c : row)
            blank = blank && TrimSpaceAndControls(c).empty();
        if (blank)
            continue;
        bool ok = true;
        const std::string line = "Ligne " + std::to_string(r + 1) + ", colonne ";
        auto refuseCell = [&](size_t heading, const std::string& text, const char* why) {
            out.Refused.push_back(
                line + Headings[heading] +
                (text.empty() ? std::string(" : ") + why : " : « " + text + " » " + why));
            ok = false;
        };
        auto number = [&](size_t heading, int column, int decimals,
                          int64_t max) -> std::optional<int64_t> {
            const std::string text(TrimSpaceAndControls(cell(column)));
            if (text.empty())
                return std::nullopt;
            std::optional<int64_t> v = ParseFixed(text, decimals, decimalSeparator);
            if (!v && text[0] == '-' && ParseFixed(text.substr(1), decimals, decimalSeparator))
                refuseCell(heading, text, WhyNegative);
            else if (!v && ParseFixed(text, 9, decimalSeparator))
                refuseCell(heading, text, decimals == 0 ? WhyNotWhole : WhyTooFine);
            else if (!v)
                refuseCell(heading, text, WhyNotNumber);
            else if (*v > max)
                refuseCell(heading, text, WhyTooLarge);
            else
                return v;
            return std::nullopt;
        };
        Product p;
        p.Name = cell(columns.Name);
        p.Maker = cell(columns.Maker);
        p.Reference = cell(columns.Reference);
        p.Effect = cell(columns.Effect);
        const std::string category(TrimSpaceAndControls(cell(columns.Class)));
        if (category.empty())
            refuseCell(2, {}, WhyEmpty);
        else if (std::optional<Category> c = ParseCategory(category))
            p.Class = *c;
        else
            refuseCell(2, category, WhyNotCategory);
        if (auto v = number(4, columns.Calibre, 0, MaxCalibreMm))
            p.CalibreMm = static_cast<int32_t>(*v);
        p.MassGrams = number(5, columns.Mass, 0, MaxMassGrams);
        p.DurationMs = number(6, columns.Duration, 3, MaxMilliseconds);
        p.LiftMs = number(7, columns.Lift, 3, MaxMilliseconds);
        p.SafetyDistanceCm = number(8, columns.Distance, 2, MaxDistanceCm);
        if (ok)
            out.Products.push_back(std::move(p));
    }
    return out;
}

CatalogueRead ReadCatalogue(std::string_view bytes) {
    const SheetOptions options = GuessSheetOptions(bytes);
    const SheetTable table = ReadSheet(bytes, options);
    return ReadCatalogue(table, GuessProductColumns(table), options.DecimalSeparator);
}

} // namespace salvo
