#pragma once
// The catalogue of products as a spreadsheet, with the conventions of the program's own export
// (";", decimal comma, CRLF, UTF-8 with a byte-order mark) and read through the same table
// reader, columns found by their headings. Bytes in, bytes out.

#include "model/files/Spreadsheet.h"
#include "model/products/Product.h"

#include <string>
#include <string_view>
#include <vector>

namespace salvo {

extern const char* const CatalogueHeadings;

std::string CatalogueBytes(const std::vector<Product>& products);

// Which column (0-based, -1 for none) gives each field.
struct ProductColumns {
    int Name = -1, Maker = -1, Class = -1, Reference = -1, Calibre = -1, Mass = -1, Duration = -1,
        Lift = -1, Distance = -1, Effect = -1;
};
ProductColumns GuessProductColumns(const SheetTable& table);

struct CatalogueRead {
    std::vector<Product> Products; // every row read without a fault, in order
    // The file's own faults (an unclosed quote), then each refused cell by row and column
    // ("Ligne 4, colonne Catégorie : « F5 » ..."); its row is left out, and the others are kept.
    std::vector<std::string> Refused;
};
CatalogueRead ReadCatalogue(const SheetTable& table, const ProductColumns& columns,
                            char decimalSeparator);
// The whole way from a file's bytes, guessing its options as the program import does.
CatalogueRead ReadCatalogue(std::string_view bytes);

} // namespace salvo
