#pragma once
// The transfer of one firing program into a device, as a state machine driven by timer ticks.
// Everything the user sees goes through TransferReporter, which the transfer dialog implements;
// the dialog itself only forwards its button clicks, timer ticks and the two posted endings.

#include "device/DeviceSession.h"

#include <cstdint>
#include <string>

namespace salvo {

// Steps of a session (TransferState); any value of StepEnd or more acts as StepEnd.
enum TransferStep : int32_t {
    StepSearch = 0,
    StepModel = 1,
    StepSerial = 2,
    StepData = 3,
    StepEnd = 4
};

constexpr int DataInterval = 200; // ms between ticks from the data step on

class TransferReporter : public virtual SessionReporter {
public:
    // A modal warning with "&Oui" and "&Non"; true for Yes. The timer is already off.
    virtual bool AskSerialMismatch(const std::string& text) = 0;
};

class TransferSession : public DeviceSession {
public:
    explicit TransferSession(TransferReporter& reporter)
        : DeviceSession(reporter), Questions(reporter) {}

    int32_t TransferState = StepSearch;
    uint32_t ExpectedSerial = 0; // the serial number recorded in the document
    int SendIndex = 0;

    // The instructions, then the warning of a device left half-written, until the next start.
    void Activate() override;
    void Start() override;
    void Tick() override;
    void SessionFailed(SessionFailure code) override;
    void SessionSucceeded() override;
    // Cancel, quit and any closing end here: a data step cut short is said.
    void Close() override;

    int ProgressStep() const { return Step; }
    // Channels written into a device whose transfer was cut short (0: none pending).
    int IncompleteChannels() const { return Incomplete; }

private:
    void BeginData();
    // Once per data step that did not reach its end and wrote channels: the memo's warning
    // (empty otherwise), kept for the next showing of the dialog.
    std::string IncompleteWarning();
    void SearchStep();
    void ModelStep();
    void SerialStep();
    void DataStep();
    void EndStep();

    TransferReporter& Questions;
    int Step = 0;
    bool Writing = false; // from the data set-up until the data step ends, one way or another
    int Incomplete = 0;
};

} // namespace salvo
