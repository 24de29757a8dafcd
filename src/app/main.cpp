#include "Main.h"
#include "Messages.h"

#include <QApplication>

#include <exception>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Programmation Ignivelle"));
    try {
        TMainForm form;
        form.showMaximized();
        return QApplication::exec();
    } catch (const std::exception& e) {
        salvo::ui::ShowFailure(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
}
