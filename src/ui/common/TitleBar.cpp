#include "ui/common/TitleBar.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace salvo::ui {

namespace {

void BringBack(QWidget* dialog) {
    dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

class TitleBarKeeper : public QObject {
public:
    TitleBarKeeper(QWidget* dialog, Qt::WindowFlags flags) : QObject(dialog), Flags(flags) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && dialog->windowHandle() &&
            QGuiApplication::platformName() == QLatin1String("xcb"))
            dialog->windowHandle()->setFlags(Flags);
        if (event->type() == QEvent::WindowStateChange && dialog->isMinimized()) {
            // Minimised alone (its application still shown), a modal dialog would leave the
            // program blocked by a window nobody sees: it comes straight back. Minimised with its
            // application, it comes back with it (RestoreMinimizedModal). Window managers
            // minimise the two one after the other, hence the pause.
            QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
            QPointer<QWidget> guarded(dialog);
            QTimer::singleShot(250, dialog, [guarded, owner] {
                if (guarded && guarded->isMinimized() && guarded->isVisible() &&
                    (!owner || !owner->isMinimized()))
                    BringBack(guarded);
            });
        }
        return false;
    }

private:
    Qt::WindowFlags Flags;
};

} // namespace

void AskTitleBarButtons(QWidget* dialog, Qt::WindowFlags flags) {
    dialog->setWindowFlags(flags);
    dialog->installEventFilter(new TitleBarKeeper(dialog, flags));
}

void RestoreMinimizedModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && modal->isMinimized())
        BringBack(modal);
}

} // namespace salvo::ui
