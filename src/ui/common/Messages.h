#pragma once
// Every message box of the program is built here: captions, buttons and texts in one place,
// and one hook through which tests answer boxes without showing them.

#include <QString>
#include <Qt>

#include <functional>
#include <vector>

class QWidget;

namespace salvo::ui {

enum class BoxKind { Error, Warning, Confirmation, Information, Failure };
enum class BoxButton { Ok, Cancel, Yes, No, SavePdf };

// What a box showed, for the test hook.
struct BoxRecord {
    QString Caption;
    QString Text;
    BoxKind Kind;
    std::vector<BoxButton> Buttons;
};

QString CaptionOf(BoxKind kind);
QString ButtonText(BoxButton button);

// The window a box belongs to, shown in front of: the modal dialog when one shows, else the
// caller's window.
QWidget* BoxOwner(QWidget* caller);
Qt::WindowFlags BoxWindowFlags(const QWidget* owner);

// Shows a modal box and returns the button pressed. Escape or the close box answer "Annuler"
// (or "&Non" when there is no "Annuler", or the only button).
BoxButton ShowBox(QWidget* parent, BoxKind kind, const QString& text,
                  const std::vector<BoxButton>& buttons);

inline void ShowError(QWidget* parent, const QString& text) {
    ShowBox(parent, BoxKind::Error, text, {BoxButton::Ok});
}
inline void ShowWarning(QWidget* parent, const QString& text) {
    ShowBox(parent, BoxKind::Warning, text, {BoxButton::Ok});
}
inline void ShowInformation(QWidget* parent, const QString& text) {
    ShowBox(parent, BoxKind::Information, text, {BoxButton::Ok});
}

// The box for an error that escaped a command: captioned with the application title.
void ShowFailure(QWidget* parent, const QString& text);

// The system beep of refused keys and of a successful transfer.
void Beep();

// Test hook: when set, boxes are not shown; the function answers them. Beeps are counted.
using BoxInterceptor = std::function<BoxButton(const BoxRecord&)>;
void SetBoxInterceptor(BoxInterceptor interceptor);
int BeepCount();

} // namespace salvo::ui
