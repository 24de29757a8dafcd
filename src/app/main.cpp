#include "ui/shell/Main.h"
#include "ui/common/Messages.h"
#include "ui/shell/Application.h"

#include <exception>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    try {
        TMainForm form;
        form.showMaximized();
        return TApplication::exec();
    } catch (const std::exception& e) {
        salvo::ui::ShowFailure(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
}
