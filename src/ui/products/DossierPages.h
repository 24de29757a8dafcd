#pragma once
// The pages that go with a show's declaration: a summary (show, place, date, person firing,
// verdict, totals by category, largest safety distance, certificate, what is missing) and the
// list of its products, each page numbered "Page 2 / 3". Not the official form: its annexes.

#include "model/products/Bilan.h"
#include "model/products/ShowFile.h"
#include "ui/common/PrintSurface.h"

#include <QString>

#include <functional>
#include <vector>

namespace salvo::ui {

struct DossierSheet {
    QString ShowTitle; // the programs' titles
    Dossier Fields;
    std::vector<ProgramProducts> Programs;
    QString PrintedOn; // the date of printing, as the user's locale writes it
};

// Draws every page; newPage is called between them. False when the device's measures cannot
// give a scale.
bool DrawDossier(const DossierSheet& sheet, PrintSurface& surface,
                 const std::function<bool()>& newPage);

// How many pages DrawDossier draws on such a surface.
int DossierPageCount(const DossierSheet& sheet, PrintSurface& surface);

} // namespace salvo::ui
