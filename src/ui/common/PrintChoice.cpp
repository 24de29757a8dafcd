#include "ui/common/PrintChoice.h"

#include "ui/common/Strings.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace salvo::ui {

QDialogButtonBox* AddPrintButtons(QDialog& dialog, PrintOutput& chosen) {
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
    add("ButtonApercu", "&Aperçu...", PrintOutput::Preview)->setDefault(true);
    add("ButtonImprimer", "&Imprimer...", PrintOutput::Printer);
    add("ButtonPdf", "Enregistrer en &PDF...", PrintOutput::Pdf);
    QPushButton* cancel = buttons->addButton(U("Annuler"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ButtonAnnuler"));
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    return buttons;
}

QCheckBox* AllProgramsBox(QWidget& parent, bool severalPrograms) {
    auto* box = new QCheckBox(U("&Tous les programmes ouverts"), &parent);
    box->setObjectName(QStringLiteral("CaseTousProgrammes"));
    box->setEnabled(severalPrograms);
    return box;
}

} // namespace salvo::ui
