#include "ui/sheets/TFeuille.h"

#include "model/sheets/Labels.h"
#include "ui/common/PrintChoice.h"
#include "ui/common/Strings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

TFeuille::TFeuille(const QString& title, bool severalPrograms, bool labels, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TFeuille"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);

    if (labels) {
        auto* form = new QFormLayout;
        ComboDisposition = new QComboBox(this);
        ComboDisposition->setObjectName(QStringLiteral("ComboDisposition"));
        for (const salvo::LabelLayout& l : salvo::LabelLayouts())
            ComboDisposition->addItem(U(l.Name));
        form->addRow(U("Pla&nche :"), ComboDisposition);
        SpinPremiere = new QSpinBox(this);
        SpinPremiere->setObjectName(QStringLiteral("SpinPremiere"));
        form->addRow(U("Première étiquette &libre :"), SpinPremiere);
        // Counted from the top left, along the rows, as the sheet is read.
        auto limit = [this] {
            SpinPremiere->setRange(1, salvo::LabelLayouts()[size_t(LayoutIndex())].PerSheet());
        };
        limit();
        connect(ComboDisposition, QOverload<int>::of(&QComboBox::currentIndexChanged), this, limit);
        layout->addLayout(form);
    }

    CaseTousProgrammes = salvo::ui::AllProgramsBox(*this, severalPrograms);
    layout->addWidget(CaseTousProgrammes);
    const salvo::ui::PrintButtons buttons = salvo::ui::AddPrintButtons(*this, Chosen);
    ButtonApercu = buttons.Preview;
    ButtonImprimer = buttons.Printer;
    ButtonPdf = buttons.Pdf;
    ButtonAnnuler = buttons.Cancel;
    layout->addWidget(buttons.Box);
}

bool TFeuille::AllPrograms() const {
    return CaseTousProgrammes->isChecked();
}

int TFeuille::LayoutIndex() const {
    return ComboDisposition ? std::max(0, ComboDisposition->currentIndex()) : 0;
}

int TFeuille::FirstPlace() const {
    return SpinPremiere ? SpinPremiere->value() - 1 : 0;
}
