#include "ui/common/PrintChoice.h"

#include "ui/common/Strings.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace salvo::ui {

PrintButtons AddPrintButtons(QDialog& dialog, PrintOutput& chosen) {
    auto* buttons = new QDialogButtonBox(&dialog);
    auto add = [&](const char* name, const char* caption, PrintOutput way) {
        QPushButton* b = buttons->addButton(U(caption), QDialogButtonBox::AcceptRole);
        b->setObjectName(QString::fromLatin1(name));
        QObject::connect(b, &QPushButton::clicked, &dialog, [&dialog, &chosen, way] {
            chosen = way;
            dialog.accept();
        });
        return b;
    };
    PrintButtons made{buttons, add("ButtonApercu", "&Aperçu...", PrintOutput::Preview),
                      add("ButtonImprimer", "&Imprimer...", PrintOutput::Printer),
                      add("ButtonPdf", "Enregistrer en &PDF...", PrintOutput::Pdf),
                      buttons->addButton(U("Annuler"), QDialogButtonBox::RejectRole)};
    made.Preview->setDefault(true);
    made.Cancel->setObjectName(QStringLiteral("ButtonAnnuler"));
    QObject::connect(made.Cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    return made;
}

QCheckBox* AllProgramsBox(QWidget& parent, bool severalPrograms) {
    auto* box = new QCheckBox(U("&Tous les programmes ouverts"), &parent);
    box->setObjectName(QStringLiteral("CaseTousProgrammes"));
    box->setEnabled(severalPrograms);
    return box;
}

} // namespace salvo::ui
