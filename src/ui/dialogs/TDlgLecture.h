#pragma once
// The read-back dialog of "Vérifier l'appareil" and "Lire l'appareil": the transfer dialog's
// memo, bar and buttons around a read-back session.

#include "device/ReadBackSession.h"
#include "ui/dialogs/TDlgGestionConnection.h"

#include <functional>

class TDlgLecture : public TDlgSession, public salvo::ReadBackReporter {
    Q_OBJECT
public:
    explicit TDlgLecture(QWidget* parent = nullptr);

    // The caption follows the command.
    void SetMode(salvo::ReadBackMode mode);
    void SetLink(salvo::CP02* link) { Session.SetLink(link); }
    void SetExpectedSerial(uint32_t serial) { Session.ExpectedSerial = serial; }
    void SetDecimalSeparator(char separator) { Session.DecimalSeparator = separator; }
    salvo::ReadBackSession& ReadBack() { return Session; }

    // Called with each program read to its end ("Lire l'appareil").
    std::function<void(const salvo::DeviceContents&)> OnProgramRead;

private:
    salvo::DeviceSession& CurrentSession() override { return Session; }
    void ShowWarning(const std::string& text) override;
    void ProgramRead(const salvo::DeviceContents& contents) override;

    salvo::ReadBackSession Session{*this};
};
