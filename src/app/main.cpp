#include "Main.h"
#include "Application.h"
#include "Messages.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <exception>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    // Qt's own dialogs (files, printing) speak French like the rest of the program.
    QTranslator qtFrench;
    if (qtFrench.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        TApplication::installTranslator(&qtFrench);
    try {
        TMainForm form;
        form.showMaximized();
        return TApplication::exec();
    } catch (const std::exception& e) {
        salvo::ui::ShowFailure(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
}
