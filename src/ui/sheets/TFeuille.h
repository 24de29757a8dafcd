#pragma once
// The small dialog before a crew's sheet goes out: the active program or every open one, for
// labels the sheet's layout and the first label still free on it, then the preview, the
// printer or a PDF file.

#include "ui/common/PrintSurface.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

class TFeuille : public QDialog {
    Q_OBJECT
public:
    TFeuille(const QString& title, bool severalPrograms, bool labels, QWidget* parent = nullptr);

    salvo::ui::PrintOutput Way() const { return Chosen; }
    bool AllPrograms() const;
    // Labels only: the layout (an index in LabelLayouts()) and the first label, from 0.
    int LayoutIndex() const;
    int FirstPlace() const;

    QCheckBox* CaseTousProgrammes = nullptr;
    QComboBox* ComboDisposition = nullptr;
    QSpinBox* SpinPremiere = nullptr;
    QPushButton* ButtonApercu = nullptr;
    QPushButton* ButtonImprimer = nullptr;
    QPushButton* ButtonPdf = nullptr;
    QPushButton* ButtonAnnuler = nullptr;

private:
    salvo::ui::PrintOutput Chosen = salvo::ui::PrintOutput::Preview;
};
