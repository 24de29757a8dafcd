#include "ui/shell/Main.h"
#include "ui/common/Messages.h"
#include "ui/shell/Application.h"
#include "ui/shell/FileCommands.h"
#include "ui/shell/StartUp.h"

#include <QTimer>

#include <exception>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    // A program file double-clicked while the program runs opens in that copy.
    const QString file = FileToOpen(TApplication::arguments());
    const QString name = InstanceName();
    StartUpTurn turn(name);
    if (!file.isEmpty() && HandToRunningCopy(name, file))
        return 0;
    try {
        TMainForm form;
        RunningCopy copy(form);
        copy.Listen(name);
        turn.Release();
        form.showMaximized();
        if (!file.isEmpty())
            QTimer::singleShot(0, &form, [&form, file] { OpenProgramFile(form, file); });
        return TApplication::exec();
    } catch (const std::exception& e) {
        turn.Release();
        salvo::ui::ShowFailure(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
}
