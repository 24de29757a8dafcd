#pragma once
// What ends the small dialogs before a document other than a program is printed: the buttons
// "Aperçu...", "Imprimer..." and "Enregistrer en PDF..." (each accepts the dialog with its
// choice), "Annuler", and the box "Tous les programmes ouverts".

#include "ui/common/PrintSurface.h"

class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QWidget;

namespace salvo::ui {

// chosen must outlive the dialog.
QDialogButtonBox* AddPrintButtons(QDialog& dialog, PrintOutput& chosen);
QCheckBox* AllProgramsBox(QWidget& parent, bool severalPrograms);

} // namespace salvo::ui
