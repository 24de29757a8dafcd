#pragma once
// What ends the small dialogs before a document other than a program is printed: the buttons
// "Aperçu...", "Imprimer..." and "Enregistrer en PDF..." (each accepts the dialog with its
// choice), "Annuler", and the box "Tous les programmes ouverts".

#include "ui/common/PrintSurface.h"

class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QPushButton;
class QWidget;

namespace salvo::ui {

struct PrintButtons {
    QDialogButtonBox* Box;
    QPushButton *Preview, *Printer, *Pdf, *Cancel;
};
// chosen must outlive the dialog.
PrintButtons AddPrintButtons(QDialog& dialog, PrintOutput& chosen);
QCheckBox* AllProgramsBox(QWidget& parent, bool severalPrograms);

} // namespace salvo::ui
