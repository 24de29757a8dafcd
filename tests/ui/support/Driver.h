#pragma once
// Drives the real windows as a user does: menu commands by name, keys to the focused widget,
// clicks and pointer moves on grid cells.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QTableWidget;
class TFenetreEnfant;
class TMainForm;

namespace driver {

QAction* Action(TMainForm& form, const char* name);
void Trigger(TMainForm& form, const char* name);

// Keys go where the focus is, as from a keyboard.
void Type(const QString& text);
void Key(int key, int modifiers = 0);
void KeypadDecimal();

// A control of a window by its objectName; the run stops when there is none.
template <class T> T* Control(const QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// The editor's grid of channels.
QTableWidget* Grid(const TFenetreEnfant& editor);

// Grid cells in the user's numbering: row 0 holds the headings, row n is channel n.
void ClickCell(TFenetreEnfant& editor, int column, int row);
void MovePointerToCell(TFenetreEnfant& editor, int column, int row);
void MovePointerToBackground(TFenetreEnfant& editor);

// Makes the editor's grid the focused widget on the given cell.
void FocusCell(TFenetreEnfant& editor, int column, int row);

// Shows the main window and waits until it is active, so focus works offscreen.
void ShowActive(QWidget& window);

// Ends the program under test without the questions about unsaved documents.
void CloseProgram(std::unique_ptr<TMainForm>& form);

} // namespace driver

// Runs f inside the modal loop of the dialog the next command shows. Strict: the test stops
// when that dialog is not the one shown. Lenient: f runs only if it is, and whatever is still
// open afterwards is closed, for commands that may or may not ask something.
enum class Shown { Strict, Lenient };
template <class Dialog>
void WhenShown(std::function<void(Dialog&)> f, Shown mode = Shown::Strict) {
    QTimer::singleShot(0, [f, mode] {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!d && mode == Shown::Strict)
            qFatal("the expected dialog is not shown");
        if (d)
            f(*d);
        if (mode == Shown::Lenient)
            if (QWidget* still = QApplication::activeModalWidget())
                still->close();
    });
}
