#pragma once
// A 30-channel program with what a spreadsheet file must carry safely: a ";" in the title,
// quotes, a line break, accents, own delays that differ from the times, the longest delay.

#include "model/files/ProgramDocument.h"

#include <string>

inline void MakeSampleProgram(salvo::ProgramDocument& doc) {
    doc.SetTitle("Feu; 14 juillet");
    doc.SetSerialNumber("1234");
    doc.SetVersion("v2");
    for (int n = 2; n <= 29; ++n)
        if (n != 4 && n != 5)
            doc.ChooseType(n, salvo::Automatic);
    doc.TypeDelay(2, "0,4");
    doc.TypeDelay(3, "1,4");
    doc.TypeDelay(4, "12,34");
    doc.TypeDelay(5, "5");
    for (int n = 6; n <= 29; ++n)
        doc.TypeDelay(n, std::to_string(n) + ",2");
    doc.TypeDelay(30, "6553,4");
    doc.EditDescription(1, "Ouverture");
    doc.EditDescription(2, "Bouquet; rouge");
    doc.EditDescription(3, "Le \"grand\" final");
    doc.EditDescription(4, "Ligne 1\nLigne 2");
    doc.EditDescription(5, "Décor");
    doc.EditDescription(30, "Fin");
}
