#pragma once
// The application object: its names, Qt's own dialogs in French, and an error escaping a
// command shown while the program goes on.

#include <QApplication>
#include <QTranslator>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The system's dialog font for every window, by a family name Qt knows.
void UseSystemDialogFont();

// Qt's own French catalogue when present, and French for the texts of Qt's print and page
// set-up dialogs that the catalogue leaves in English. Once per application.
void InstallQtFrench(QCoreApplication& application);
