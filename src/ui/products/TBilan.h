#pragma once
// "Bilan de sécurité": the articles and net active mass per category, the F2 + F3 + T1 total,
// the largest safety distance, the certificate the F4 and T2 articles call for, what is missing,
// and the verdict, for the active program or for every open program (a show fired from several
// boxes).

#include "model/products/Bilan.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QLabel;
class QTableWidget;

class TBilan : public QDialog {
    Q_OBJECT
public:
    TBilan(std::vector<salvo::ProgramProducts> active, std::vector<salvo::ProgramProducts> all,
           QWidget* parent = nullptr);

    QCheckBox* CaseTousProgrammes = nullptr;
    QLabel* LabelVerdict = nullptr;
    QLabel* LabelRaisons = nullptr;
    QTableWidget* TableCategories = nullptr;
    QLabel* LabelDistance = nullptr;
    QLabel* LabelCertificat = nullptr;
    QLabel* LabelManques = nullptr;

private:
    void Show();

    std::vector<salvo::ProgramProducts> Active, All;
};

// The line shown when every channel has its product and every product its mass.
extern const char* const MsgNothingMissing;
