#include "ui/shell/StartUp.h"

#include "ui/shell/FileCommands.h"
#include "ui/shell/Workspace.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

QString FileToOpen(const QStringList& arguments) {
    if (arguments.size() != 2)
        return {};
    const QFileInfo file(QDir::fromNativeSeparators(arguments[1]));
    return file.isFile() ? file.absoluteFilePath() : QString();
}

void RunningCopy::Received(const QString& path) {
    Pending << path;
    QTimer::singleShot(0, this, &RunningCopy::OpenPending);
}

void RunningCopy::OpenPending() {
    // Not under a dialog the user is answering: the file waits until it is closed.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(200, this, &RunningCopy::OpenPending);
        return;
    }
    QWidget* window = W.Window();
    if (window->isMinimized())
        window->showMaximized();
    window->raise();
    window->activateWindow();
    while (!Pending.isEmpty())
        OpenProgramFile(W, Pending.takeFirst());
}
