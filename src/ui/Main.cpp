#include "Main.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Salvodesk"));
}
