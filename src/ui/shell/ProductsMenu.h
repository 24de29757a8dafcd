#pragma once
// The "Produits" menu: the catalogue of this run, the product of each channel, the safety bilan
// and the declaration's pages.

#include <QString>

#include <functional>

class Workspace;

namespace salvo::ui {

// Adds one command: name, caption, status text, what it does, and whether it needs a document;
// a null name adds a separator.
using AddProductCommand =
    std::function<void(const char*, const QString&, const QString&, std::function<void()>, bool)>;
void BuildProductsMenu(Workspace& w, const AddProductCommand& addCommand);

} // namespace salvo::ui
