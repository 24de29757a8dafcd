#pragma once
// The transfer of one firing program into a device, as a state machine driven by timer ticks.
// Everything the user sees goes through TransferReporter, which the transfer dialog implements;
// the dialog itself only forwards its button clicks, timer ticks and the two posted endings.

#include "Classep02.h"

#include <array>
#include <cstdint>
#include <string>

namespace salvo {

// Codes of the failed ending.
enum SessionFailure : int32_t { WrongModel = 0, TransmissionError = 1, SerialRefused = 2 };

// Steps of a session (TransferState); any value of StepEnd or more acts as StepEnd.
enum TransferStep : int32_t {
    StepSearch = 0,
    StepModel = 1,
    StepSerial = 2,
    StepData = 3,
    StepEnd = 4
};

constexpr int SearchInterval = 1500; // ms between ticks while looking for the device
constexpr int DataInterval = 200;    // ms between ticks from the data step on
constexpr int ProgressMaximum = 100;

extern const std::array<const char*, 3> InstructionLines;

enum class InfoButton { Ok, Yes };

class TransferReporter {
public:
    virtual ~TransferReporter() = default;

    // The status memo EditStatus.
    virtual void ClearStatus() = 0;
    virtual void AddStatusLine(const std::string& line) = 0;
    // Makes the memo visible and repaints it now, before a call that may block.
    virtual void RepaintStatus() = 0;

    // LabelProgression and ProgressionBar together (range 0 to ProgressMaximum).
    virtual void ShowProgress(bool shown) = 0;
    virtual void SetProgressPosition(int position) = 0;

    // TimerConnection.
    virtual void SetTimerInterval(int milliseconds) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;

    // ButtonConnection, BoutonAnulation, ButtonQuitter.
    virtual void SetConnectionEnabled(bool enabled) = 0;
    virtual void SetCancelEnabled(bool enabled) = 0;
    virtual void SetQuitEnabled(bool enabled) = 0;

    // A modal warning with "&Oui" and "&Non"; true for Yes. The timer is already off.
    virtual bool AskSerialMismatch(const std::string& text) = 0;
    // A modal information box with one button: "OK", or "&Oui" for the success box.
    virtual void ShowInformation(const std::string& text, InfoButton button) = 0;
    virtual void Beep() = 0;

    // Queue the ending on the dialog's own event queue; once the current tick has returned, the
    // dialog hands it to TransferSession::SessionFailed or SessionSucceeded.
    virtual void PostSessionFailed(SessionFailure code) = 0;
    virtual void PostSessionSucceeded() = 0;

    // Close the dialog. However it closes, the dialog then calls TransferSession::Close.
    virtual void CloseDialog() = 0;
};

class TransferSession {
public:
    explicit TransferSession(TransferReporter& reporter) : Reporter(reporter) {}

    // The document's link for the coming sessions; borrowed, never freed here.
    void SetLink(CP02* link) { Link = link; }
    CP02* GetLink() const { return Link; }

    int32_t TransferState = StepSearch;
    uint32_t ExpectedSerial = 0; // the serial number recorded in the document
    int SendIndex = 0;

    // The dialog is created or shown: the memo holds only the instructions.
    void Activate();
    // "&Connecter".
    void Start();
    // One tick of TimerConnection: one step of the session.
    void Tick();
    // The posted endings.
    void SessionFailed(SessionFailure code);
    void SessionSucceeded();
    // "&Annuler": the port stays held by the document.
    void Cancel();
    // "&Quitter": the port is released.
    void Quit();
    // The dialog closes, whatever closed it.
    void Close();

    int ProgressPosition() const { return Position; }
    int ProgressStep() const { return Step; }

private:
    void Status(const std::string& line) { Reporter.AddStatusLine(line); }
    void Instructions();
    void StopTimer();
    void SetPosition(int position);
    void Fail(SessionFailure code);
    void BeginData();
    void SearchStep();
    void ModelStep();
    void SerialStep();
    void DataStep();
    void EndStep();
    void Idle();

    TransferReporter& Reporter;
    CP02* Link = nullptr;
    int Position = 0;
    int Step = 0;
};

} // namespace salvo
