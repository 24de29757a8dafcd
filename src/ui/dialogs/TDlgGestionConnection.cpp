#include "ui/dialogs/TDlgGestionConnection.h"

#include "ui/common/Messages.h"
#include "ui/common/TitleBar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace salvo;

TDlgSession::TDlgSession(QWidget* parent, const QString& objectName, const QString& caption)
    : QDialog(parent) {
    setObjectName(objectName);
    setWindowTitle(caption);
    // No close box: the dialog is left with its cancel or quit button.
    salvo::ui::AskTitleBarButtons(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::MSWindowsFixedSizeDialogHint |
                                            Qt::WindowStaysOnTopHint);
    setFixedSize(396, 352);

    LabelStatus = new QLabel(QStringLiteral("Etat Connection"), this);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->move(8, 4);
    LabelStatus->adjustSize();

    EditStatus = new QPlainTextEdit(this);
    EditStatus->setObjectName(QStringLiteral("EditStatus"));
    EditStatus->setGeometry(8, 24, 305, 105);
    EditStatus->setReadOnly(true);
    EditStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    EditStatus->setToolTip(QStringLiteral("Etat de la transmission"));

    LabelProgression = new QLabel(QStringLiteral("Progression de la transmission"), this);
    LabelProgression->setObjectName(QStringLiteral("LabelProgression"));
    LabelProgression->move(8, 153);
    LabelProgression->adjustSize();
    LabelProgression->hide();

    ProgressionBar = new QProgressBar(this);
    ProgressionBar->setObjectName(QStringLiteral("ProgressionBar"));
    ProgressionBar->setGeometry(8, 176, 305, 25);
    ProgressionBar->setRange(0, ProgressMaximum);
    ProgressionBar->setValue(0);
    ProgressionBar->setTextVisible(false);
    ProgressionBar->setToolTip(QStringLiteral("Progression de la transmission"));
    ProgressionBar->hide();

    auto button = [this](const char* name, const char* caption, const char* hint, int x) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 240, 75, 25);
        b->setToolTip(QString::fromUtf8(hint));
        return b;
    };
    ButtonConnection =
        button("ButtonConnection", "&Connecter", "Pour commencer la transmission", 16);
    BoutonAnulation = button("BoutonAnulation", "&Annuler", "Annulation de la transmission", 112);
    BoutonAnulation->setEnabled(false);
    ButtonQuitter = button("ButtonQuitter", "&Quitter", "Quittez la fenêtre", 208);
    for (QPushButton* b : {ButtonConnection, BoutonAnulation, ButtonQuitter})
        b->setAutoDefault(false);
    ButtonConnection->setDefault(true);
    setTabOrder(ButtonConnection, BoutonAnulation);
    setTabOrder(BoutonAnulation, ProgressionBar);
    setTabOrder(ProgressionBar, ButtonQuitter);
    setTabOrder(ButtonQuitter, EditStatus);

    TimerConnection = new QTimer(this);
    TimerConnection->setObjectName(QStringLiteral("TimerConnection"));
    TimerConnection->setInterval(100);
    // A coarse timer may fire up to 5% early or late: channels would reach the device less
    // than 200 ms apart.
    TimerConnection->setTimerType(Qt::PreciseTimer);

    connect(ButtonConnection, &QPushButton::clicked, this, &TDlgSession::ButtonConnectionClick);
    connect(BoutonAnulation, &QPushButton::clicked, this, &TDlgSession::BoutonAnulationClick);
    connect(ButtonQuitter, &QPushButton::clicked, this, &TDlgSession::ButtonQuitterClick);
    connect(TimerConnection, &QTimer::timeout, this, &TDlgSession::TimerConnectionTimer);
}

TDlgConnection::TDlgConnection(QWidget* parent)
    : TDlgSession(parent, QStringLiteral("TDlgConnection"),
                  QStringLiteral("Gestion de Connexion")) {
    Session.Activate();
}

QStringList TDlgSession::StatusLines() const {
    return EditStatus->toPlainText().split(QLatin1Char('\n'));
}

void TDlgSession::ButtonConnectionClick() {
    CurrentSession().Start();
}
void TDlgSession::BoutonAnulationClick() {
    CurrentSession().Cancel();
}
void TDlgSession::ButtonQuitterClick() {
    CurrentSession().Quit();
}
void TDlgSession::TimerConnectionTimer() {
    CurrentSession().Tick();
}

void TDlgSession::done(int result) {
    // However the dialog closes, the session ends with it.
    CurrentSession().Close();
    QDialog::done(result);
}

void TDlgSession::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (parentWidget())
        move(parentWidget()->window()->geometry().center() - rect().center());
    CurrentSession().Activate();
}

void TDlgSession::keyPressEvent(QKeyEvent* event) {
    // Escape is the cancel button: nothing while it is disabled.
    if (event->key() == Qt::Key_Escape) {
        if (BoutonAnulation->isEnabled())
            BoutonAnulation->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDlgSession::ClearStatus() {
    EditStatus->clear();
}

void TDlgSession::AddStatusLine(const std::string& line) {
    EditStatus->appendPlainText(QString::fromStdString(line));
}

void TDlgSession::RepaintStatus() {
    EditStatus->setVisible(true);
    EditStatus->repaint();
}

void TDlgSession::ShowProgress(bool shown) {
    LabelProgression->setVisible(shown);
    ProgressionBar->setVisible(shown);
}

void TDlgSession::SetProgressPosition(int position) {
    ProgressionBar->setValue(position);
}
void TDlgSession::SetTimerInterval(int milliseconds) {
    TimerConnection->setInterval(milliseconds);
}

void TDlgSession::SetTimerEnabled(bool enabled) {
    if (enabled)
        TimerConnection->start();
    else
        TimerConnection->stop();
}

void TDlgSession::SetConnectionEnabled(bool enabled) {
    ButtonConnection->setEnabled(enabled);
}
void TDlgSession::SetCancelEnabled(bool enabled) {
    BoutonAnulation->setEnabled(enabled);
}
void TDlgSession::SetQuitEnabled(bool enabled) {
    ButtonQuitter->setEnabled(enabled);
}

bool TDlgConnection::AskSerialMismatch(const std::string& text) {
    using salvo::ui::BoxButton;
    return salvo::ui::ShowBox(this, salvo::ui::BoxKind::Warning, QString::fromStdString(text),
                              {BoxButton::Yes, BoxButton::No}) == BoxButton::Yes;
}

void TDlgSession::ShowInformation(const std::string& text, salvo::InfoButton button) {
    using salvo::ui::BoxButton;
    salvo::ui::ShowBox(this, salvo::ui::BoxKind::Information, QString::fromStdString(text),
                       {button == salvo::InfoButton::Yes ? BoxButton::Yes : BoxButton::Ok});
}

void TDlgSession::Beep() {
    salvo::ui::Beep();
}

void TDlgSession::PostSessionFailed(SessionFailure code) {
    // Handled once the tick that raised it has returned.
    QMetaObject::invokeMethod(
        this, [this, code] { CurrentSession().SessionFailed(code); }, Qt::QueuedConnection);
}

void TDlgSession::PostSessionSucceeded() {
    QMetaObject::invokeMethod(
        this, [this] { CurrentSession().SessionSucceeded(); }, Qt::QueuedConnection);
}

void TDlgSession::CloseDialog() {
    done(QDialog::Rejected);
}
