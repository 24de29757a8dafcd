#include "Driver.h"

#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTest>

namespace driver {

QAction* Action(TMainForm& form, const char* name) {
    auto* a = form.findChild<QAction*>(QString::fromLatin1(name));
    if (!a)
        qFatal("no action %s", name);
    return a;
}

void Trigger(TMainForm& form, const char* name) {
    Action(form, name)->trigger();
}

static QWidget* Focused() {
    QWidget* w = QApplication::focusWidget();
    if (!w)
        qFatal("nothing has the keyboard focus");
    return w;
}

void Type(const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].unicode() < 128) {
            QTest::keyClick(Focused(), text[i].toLatin1());
            continue;
        }
        // Accented letters and the like come as text without a key of their own.
        int length = text[i].isHighSurrogate() ? 2 : 1;
        QString character = text.mid(i, length);
        i += length - 1;
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, character);
            QApplication::sendEvent(Focused(), &event);
        }
    }
}

void Key(int key, int modifiers) {
    QTest::keyClick(Focused(), static_cast<Qt::Key>(key),
                    static_cast<Qt::KeyboardModifiers>(modifiers));
}

void KeypadDecimal() {
    // The keypad's decimal key reports a point whatever the locale.
    QWidget* w = Focused();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Period, Qt::KeypadModifier, QStringLiteral("."));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Period, Qt::KeypadModifier, QStringLiteral("."));
    QApplication::sendEvent(QApplication::focusWidget(), &release);
}

QTableWidget* Grid(const TFenetreEnfant& editor) {
    return Control<QTableWidget>(editor, "Tableau");
}

static QPoint CellCentre(TFenetreEnfant& editor, int column, int row) {
    QTableWidget* grid = Grid(editor);
    QModelIndex index = grid->model()->index(row - 1, column);
    grid->scrollTo(index);
    return grid->visualRect(index).center();
}

void ClickCell(TFenetreEnfant& editor, int column, int row) {
    QTest::mouseClick(Grid(editor)->viewport(), Qt::LeftButton, Qt::NoModifier,
                      CellCentre(editor, column, row));
}

void MovePointerToCell(TFenetreEnfant& editor, int column, int row) {
    QPoint p = CellCentre(editor, column, row);
    QWidget* cells = Grid(editor)->viewport();
    QMouseEvent move(QEvent::MouseMove, p, cells->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(cells, &move);
}

void MovePointerToBackground(TFenetreEnfant& editor) {
    QWidget* client = editor.widget();
    QPoint p(600, 70); // between the header fields and the grid
    QMouseEvent move(QEvent::MouseMove, p, client->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(client, &move);
}

void FocusCell(TFenetreEnfant& editor, int column, int row) {
    // A modal dialog that just closed leaves no window active offscreen.
    if (!editor.window()->isActiveWindow())
        ShowActive(*editor.window());
    QTableWidget* grid = Grid(editor);
    grid->setFocus();
    grid->setCurrentCell(row - 1, column);
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        qFatal("window did not become active");
}

void CloseProgram(std::unique_ptr<TMainForm>& form) {
    if (form)
        for (TFenetreEnfant* e : form->Editors())
            e->SetModified(false);
    form.reset();
}

} // namespace driver
