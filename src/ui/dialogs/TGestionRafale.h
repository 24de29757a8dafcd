#pragma once
// The burst dialog: shows the settings of its burst generator, passes every change to it and
// shows what comes back. Created once; the pace settings carry over from one use to the next.
//
// Use from the main window, for the active editor:
//     dlg->Generator().LoadTable(&editor's channel table);
//     dlg->Generator().SelectFirstChannel(current grid row);
//     if (dlg->exec() == QDialog::Accepted)
//         editor->RefreshChannels();
// exec() brings the controls in line with the generator before showing, and ends at once as
// Rejected when no table was loaded.

#include "model/program/BurstGenerator.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UpDownControl;

class TGestionRafale : public QDialog {
    Q_OBJECT
public:
    explicit TGestionRafale(QWidget* parent = nullptr);

    salvo::BurstGenerator& Generator() { return Gen; }

    // Shows the generator's current settings in every control.
    void SyncControls();

    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpDownNumVoieClick(int position);
    void UpDownNbVoieClick(int position);
    void RadioGroupTypeRafaleClick(int index);
    void UpDownDecale1VoieClick(int position);
    void RadioGroupType1VoieClick(int index);
    void UpDownIncremtEntreVoieClick(int position);
    void UpDownAccelerationVoieClick(int position);
    void BitBtn1Click();

    QString StepsText(int steps) const;
    QString SecondsText(double seconds) const;

    salvo::BurstGenerator Gen;

    UpDownControl* UpDownNumVoie;
    QLineEdit* EditNumVoie;
    UpDownControl* UpDownNbVoie;
    QLineEdit* EditNbVoie;
    QGroupBox* RadioGroupTypeRafale;
    QButtonGroup* TypeRafaleButtons;
    UpDownControl* UpDownDecale1Voie;
    QLineEdit* EditDecal1Voie;
    QGroupBox* RadioGroupType1Voie;
    QButtonGroup* Type1VoieButtons;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QLineEdit* EditIncremtEntreVoie;
    UpDownControl* UpDownIncremtEntreVoie;
    QLineEdit* EditAccelerationVoie;
    UpDownControl* UpDownAccelerationVoie;
    QLabel* LabelNum1ereVoie;
    QLabel* LabelNbVoie;
    QLabel* LabelDecale1Voiie;
    QLabel* LabelIncremtEntreVoie;
    QLabel* LabelAccelerationVoie;
};
