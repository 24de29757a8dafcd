#include "Application.h"

#include "Messages.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Programmation Ignivelle"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        salvo::ui::ShowFailure(activeWindow(), QString::fromUtf8(e.what()));
    } catch (...) {
        salvo::ui::ShowFailure(activeWindow(), QStringLiteral("Erreur inconnue"));
    }
    return false;
}
