#pragma once
// The main window: menus, tool bar, status line and the editor windows inside it.

#include <QMainWindow>

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    int PortIndex = 0;
    bool ExitInProgress = false;
};
