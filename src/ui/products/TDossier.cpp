#include "ui/products/TDossier.h"

#include "ui/common/PrintChoice.h"
#include "ui/common/Strings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TDossier::TDossier(const salvo::Dossier& fields, bool severalPrograms, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TDossier"));
    setWindowTitle(U("Dossier de déclaration"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(
        U("Ces renseignements sont gardés avec le spectacle et imprimés en tête du dossier."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* form = new QFormLayout;
    auto edit = [this, form](const char* name, const char* caption, const std::string& text) {
        auto* e = new QLineEdit(Q(text), this);
        e->setObjectName(QString::fromLatin1(name));
        form->addRow(U(caption), e);
        return e;
    };
    EditLieu = edit("EditLieu", "&Lieu :", fields.Place);
    EditDate = edit("EditDate", "&Date et heure :", fields.DateTime);
    EditDate->setPlaceholderText(U("14/07/2027 22:30"));
    EditOrganisateur = edit("EditOrganisateur", "&Organisateur :", fields.Organiser);
    EditResponsable = edit("EditResponsable", "&Responsable de tir :", fields.Shooter);
    EditCertificat = edit("EditCertificat", "N° de &certificat :", fields.CertificateNumber);
    ComboNiveau = new QComboBox(this);
    ComboNiveau->setObjectName(QStringLiteral("ComboNiveau"));
    ComboNiveau->addItems({U("non précisé"), U("1"), U("2")});
    ComboNiveau->setCurrentIndex(std::clamp(fields.CertificateLevel, 0, 2));
    form->addRow(U("&Niveau du certificat :"), ComboNiveau);
    layout->addLayout(form);

    CaseTousProgrammes = salvo::ui::AllProgramsBox(*this, severalPrograms);
    layout->addWidget(CaseTousProgrammes);
    const salvo::ui::PrintButtons buttons = salvo::ui::AddPrintButtons(*this, Chosen);
    ButtonApercu = buttons.Preview;
    ButtonImprimer = buttons.Printer;
    ButtonPdf = buttons.Pdf;
    ButtonAnnuler = buttons.Cancel;
    layout->addWidget(buttons.Box);
    resize(520, sizeHint().height());
}

salvo::Dossier TDossier::Result() const {
    salvo::Dossier d;
    d.Place = S(EditLieu->text());
    d.DateTime = S(EditDate->text());
    d.Organiser = S(EditOrganisateur->text());
    d.Shooter = S(EditResponsable->text());
    d.CertificateNumber = S(EditCertificat->text());
    d.CertificateLevel = ComboNiveau->currentIndex();
    return d;
}

bool TDossier::AllPrograms() const {
    return CaseTousProgrammes->isChecked();
}
