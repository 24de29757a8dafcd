#pragma once
// "Dossier de déclaration": what the program cannot know of the show (place, date and time,
// organiser, the person firing with the certificate's number and level), kept with the show,
// and how the pages go out: preview, printer or PDF.

#include "model/products/ShowFile.h"
#include "ui/common/PrintSurface.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class TDossier : public QDialog {
    Q_OBJECT
public:
    TDossier(const salvo::Dossier& fields, bool severalPrograms, QWidget* parent = nullptr);

    salvo::Dossier Result() const;
    salvo::ui::PrintOutput Way() const { return Chosen; }
    bool AllPrograms() const;

    QLineEdit* EditLieu = nullptr;
    QLineEdit* EditDate = nullptr;
    QLineEdit* EditOrganisateur = nullptr;
    QLineEdit* EditResponsable = nullptr;
    QLineEdit* EditCertificat = nullptr;
    QComboBox* ComboNiveau = nullptr;
    QCheckBox* CaseTousProgrammes = nullptr;
    QPushButton* ButtonApercu = nullptr;
    QPushButton* ButtonImprimer = nullptr;
    QPushButton* ButtonPdf = nullptr;
    QPushButton* ButtonAnnuler = nullptr;

private:
    salvo::ui::PrintOutput Chosen = salvo::ui::PrintOutput::Preview;
};
