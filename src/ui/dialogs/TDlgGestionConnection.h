#pragma once
// The transfer dialog: a status memo, a progress bar and the connect, cancel and quit buttons
// around one transfer session, which does all the work. TDlgSession is that dialog without its
// session, shared with the read-back dialog.

#include "device/TransferSession.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class TDlgSession : public QDialog, public virtual salvo::SessionReporter {
    Q_OBJECT
public:
    TDlgSession(QWidget* parent, const QString& objectName, const QString& caption);

    QStringList StatusLines() const;

    QLabel* LabelStatus;
    QPlainTextEdit* EditStatus;
    QLabel* LabelProgression;
    QProgressBar* ProgressionBar;
    QPushButton* ButtonConnection;
    QPushButton* BoutonAnulation;
    QPushButton* ButtonQuitter;
    QTimer* TimerConnection;

public slots:
    void ButtonConnectionClick();
    void BoutonAnulationClick();
    void ButtonQuitterClick();
    void TimerConnectionTimer();

public:
    void done(int result) override;

protected:
    // The session the buttons, the timer and the posted endings drive.
    virtual salvo::DeviceSession& CurrentSession() = 0;

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // What the session shows.
    void ClearStatus() override;
    void AddStatusLine(const std::string& line) override;
    void RepaintStatus() override;
    void ShowProgress(bool shown) override;
    void SetProgressPosition(int position) override;
    void SetTimerInterval(int milliseconds) override;
    void SetTimerEnabled(bool enabled) override;
    void SetConnectionEnabled(bool enabled) override;
    void SetCancelEnabled(bool enabled) override;
    void SetQuitEnabled(bool enabled) override;
    void ShowInformation(const std::string& text, salvo::InfoButton button) override;
    void Beep() override;
    void PostSessionFailed(salvo::SessionFailure code) override;
    void PostSessionSucceeded() override;
    void CloseDialog() override;
};

class TDlgConnection : public TDlgSession, public salvo::TransferReporter {
    Q_OBJECT
public:
    explicit TDlgConnection(QWidget* parent = nullptr);

    void SetLink(salvo::CP02* link) { Session.SetLink(link); }
    void SetExpectedSerial(uint32_t serial) { Session.ExpectedSerial = serial; }
    salvo::TransferSession& TransferSession() { return Session; }

private:
    salvo::DeviceSession& CurrentSession() override { return Session; }
    bool AskSerialMismatch(const std::string& text) override;

    salvo::TransferSession Session{*this};
};
