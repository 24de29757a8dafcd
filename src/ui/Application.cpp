#include "Application.h"

#include "Messages.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The name the window system shows for the running program; the display name is left
    // alone, since Qt would append it to every window caption.
    setApplicationName(QStringLiteral("Programmation Ignivelle"));
    setDesktopFileName(QStringLiteral("salvodesk"));
    // The program keeps no settings, and Qt's file dialog would keep its own (last folder,
    // history) in the user's folder: point them at a place that can never be written.
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    // Qt's own dialogs (files, printing) speak French like the rest of the program.
#ifdef _WIN32
    // Built into the program: Windows has no Qt catalogues of its own.
    const QString catalogues = QStringLiteral(":/i18n");
#else
    const QString catalogues = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
    if (QtFrench.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                      catalogues))
        installTranslator(&QtFrench);
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
