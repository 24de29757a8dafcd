#include "ui/shell/Application.h"

#include "ui/common/Messages.h"
#include "ui/shell/TextLocale.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    UseUtf8CharacterType(); // before any window gets its title
    // The name the window system shows for the running program; the display name is left
    // alone, since Qt would append it to every window caption.
    setApplicationName(QStringLiteral("Programmation Ignivelle"));
    setDesktopFileName(QStringLiteral("salvodesk"));
    // The program keeps no settings, and Qt's file dialog would keep its own (last folder,
    // history) in the user's folder: point them at a place that can never be written.
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    InstallQtFrench(*this);
    UseSystemDialogFont();
}

namespace {

// What Qt's French catalogue lacks in the dialogs the program shows.
class QtFrenchGaps : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        struct Gap {
            const char* context;
            const char* source;
            const char* french;
        };
        static const Gap gaps[] = {
            {"QPrintPropertiesDialog", "Printer Properties", "Propriétés de l'imprimante"},
            {"QPrintPropertiesWidget", "Advanced", "Avancé"},
            {"QPrintPropertiesWidget", "There are conflicts in some options. Please fix them.",
             "Certaines options sont incompatibles entre elles. Veuillez les corriger."},
            {"QPrintSettingsOutput", "Pages", "Pages"},
            {"QPrintSettingsOutput",
             "Specify pages or ranges separated by commas. Ranges are specified by two numbers "
             "separated by a hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
             "Indiquez des pages ou des plages de pages séparées par des virgules ; une plage "
             "s'écrit avec deux numéros séparés par un tiret. Par exemple, 3,5-7,9 imprime les "
             "pages 3, 5, 6, 7 et 9."},
            {"QPrintSettingsOutput", "Double Sided Printing", "Impression recto verso"},
            {"QPrintSettingsOutput", "Off", "Non"},
            {"QPrintSettingsOutput", "Long side binding", "Reliure côté long"},
            {"QPrintSettingsOutput", "Short side binding", "Reliure côté court"},
        };
        for (const Gap& g : gaps)
            if (qstrcmp(context, g.context) == 0 && qstrcmp(source, g.source) == 0)
                return QString::fromUtf8(g.french);
        return {};
    }
};

} // namespace

void InstallQtFrench(QCoreApplication& application) {
    // Qt's own dialogs (files, printing) speak French like the rest of the program.
#ifdef _WIN32
    // Built into the program: Windows has no Qt catalogues of its own.
    const QString catalogues = QStringLiteral(":/i18n");
#else
    const QString catalogues = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
    static QTranslator catalogue;
    static QtFrenchGaps gaps;
    if (catalogue.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                       catalogues))
        application.installTranslator(&catalogue);
    application.installTranslator(&gaps);
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
