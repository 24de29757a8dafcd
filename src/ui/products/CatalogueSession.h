#pragma once
// The user's catalogue as this run knows it: the file it was opened from or saved to, and its
// products. Nothing of it is kept between runs: the user opens the catalogue again.

#include "model/products/Product.h"

#include <QString>

#include <vector>

struct CatalogueSession {
    QString Path; // empty: never opened nor saved in this run
    std::vector<salvo::Product> Products;
    bool Modified = false; // changed since it was last opened or saved
};
