#include "ui/dialogs/TDlgLecture.h"

#include "ui/common/Messages.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

TDlgLecture::TDlgLecture(QWidget* parent)
    : TDlgSession(parent, QStringLiteral("TDlgLecture"),
                  QString::fromUtf8("Lecture de l'appareil")) {
    // A wider and taller memo than the transfer's: a verdict lists every channel that differs,
    // one line each, and the user reads them once the box is closed.
    setFixedSize(540, 420);
    EditStatus->setGeometry(8, 24, 524, 220);
    LabelProgression->move(8, 256);
    ProgressionBar->setGeometry(8, 278, 524, 25);
    for (QPushButton* b : {ButtonConnection, BoutonAnulation, ButtonQuitter})
        b->move(b->x(), 330);
    // It only ever reads: no word of a transmission that would write to the device.
    const QString progress = QString::fromUtf8("Progression de la lecture");
    LabelProgression->setText(progress);
    LabelProgression->adjustSize();
    ProgressionBar->setToolTip(progress);
    EditStatus->setToolTip(QString::fromUtf8("Etat de la lecture"));
    ButtonConnection->setToolTip(QString::fromUtf8("Pour commencer la lecture"));
    BoutonAnulation->setToolTip(QString::fromUtf8("Annulation de la lecture"));
    Session.Activate();
}

void TDlgLecture::SetMode(salvo::ReadBackMode mode) {
    Session.Mode = mode;
    setWindowTitle(QString::fromUtf8(mode == salvo::ReadBackMode::Verify
                                         ? "Vérification de l'appareil"
                                         : "Lecture de l'appareil"));
}

void TDlgLecture::ShowWarning(const std::string& text) {
    salvo::ui::ShowWarning(this, QString::fromStdString(text));
}

void TDlgLecture::ProgramRead(const salvo::DeviceContents& contents) {
    if (OnProgramRead)
        OnProgramRead(contents);
}
