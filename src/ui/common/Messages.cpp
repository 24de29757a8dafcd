#include "ui/common/Messages.h"

#include "ui/common/TitleBar.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace salvo::ui {

namespace {
BoxInterceptor g_interceptor;
int g_beeps = 0;
} // namespace

QString CaptionOf(BoxKind kind) {
    switch (kind) {
    case BoxKind::Error:
        return QStringLiteral("Erreur");
    case BoxKind::Warning:
        return QStringLiteral("Avertissement");
    case BoxKind::Confirmation:
        return QStringLiteral("Confirmation");
    case BoxKind::Information:
        return QStringLiteral("Information");
    case BoxKind::Failure:
        return QStringLiteral("Programmation Ignivelle");
    }
    return {};
}

QString ButtonText(BoxButton button) {
    switch (button) {
    case BoxButton::Ok:
        return QStringLiteral("OK");
    case BoxButton::Cancel:
        return QStringLiteral("Annuler");
    case BoxButton::Yes:
        return QStringLiteral("&Oui");
    case BoxButton::No:
        return QStringLiteral("&Non");
    case BoxButton::SavePdf:
        return QStringLiteral("Enregistrer en PDF...");
    }
    return {};
}

QWidget* BoxOwner(QWidget* caller) {
    // A modal dialog takes every click: a box under it could not be reached.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (caller)
        return caller->window();
    return QApplication::activeWindow();
}

Qt::WindowFlags BoxWindowFlags(const QWidget* owner) {
    // A title and a close box, nothing to minimise or maximise.
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    // In front of its owner even when the owner is kept above the other windows.
    if (owner && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

static BoxButton EscapeAnswer(const std::vector<BoxButton>& buttons) {
    for (BoxButton wanted : {BoxButton::Cancel, BoxButton::No})
        for (BoxButton b : buttons)
            if (b == wanted)
                return b;
    return buttons.empty() ? BoxButton::Ok : buttons.back();
}

BoxButton ShowBox(QWidget* parent, BoxKind kind, const QString& text,
                  const std::vector<BoxButton>& buttons) {
    if (g_interceptor)
        return g_interceptor(BoxRecord{CaptionOf(kind), text, kind, buttons});

    QWidget* owner = BoxOwner(parent);
    QMessageBox box(owner);
    box.setObjectName(QStringLiteral("MessageBox"));
    AskTitleBarButtons(&box, BoxWindowFlags(owner));
    box.setWindowTitle(CaptionOf(kind));
    // The carriage returns of the texts are kept in them; on screen a line feed is enough.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    switch (kind) {
    case BoxKind::Error:
    case BoxKind::Failure:
        box.setIcon(QMessageBox::Critical);
        break;
    case BoxKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case BoxKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    case BoxKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    std::vector<std::pair<QPushButton*, BoxButton>> made;
    for (BoxButton b : buttons) {
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        if (b == BoxButton::Cancel)
            role = QMessageBox::RejectRole;
        else if (b == BoxButton::No)
            role = QMessageBox::NoRole;
        else if (b == BoxButton::Yes)
            role = QMessageBox::YesRole;
        QPushButton* pb = box.addButton(ButtonText(b), role);
        made.emplace_back(pb, b);
    }
    if (!made.empty())
        box.setDefaultButton(made.front().first);
    BoxButton escape = EscapeAnswer(buttons);
    for (auto& [pb, b] : made)
        if (b == escape)
            box.setEscapeButton(pb);
    box.exec();
    for (auto& [pb, b] : made)
        if (box.clickedButton() == pb)
            return b;
    return escape;
}

void ShowFailure(QWidget* parent, const QString& text) {
    ShowBox(parent, BoxKind::Failure, text, {BoxButton::Ok});
}

void Beep() {
    ++g_beeps;
    QApplication::beep();
}

void SetBoxInterceptor(BoxInterceptor interceptor) {
    g_interceptor = std::move(interceptor);
}

int BeepCount() {
    return g_beeps;
}

} // namespace salvo::ui
