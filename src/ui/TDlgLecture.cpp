#include "TDlgLecture.h"

#include "Messages.h"

TDlgLecture::TDlgLecture(QWidget* parent)
    : TDlgSession(parent, QStringLiteral("TDlgLecture"),
                  QString::fromUtf8("Lecture de l'appareil")) {
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
