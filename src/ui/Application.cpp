#include "Application.h"

#include "Messages.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The name the window system shows for the running program; the display name is left
    // alone, since Qt would append it to every window caption.
    setApplicationName(QStringLiteral("Programmation Ignivelle"));
    setDesktopFileName(QStringLiteral("salvodesk"));
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
