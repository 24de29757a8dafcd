#pragma once
// The transfer of one firing program into a device, as a state machine driven by timer ticks.
// Everything the user sees goes through TransferReporter, which the transfer dialog implements;
// the dialog itself only forwards its button clicks, timer ticks and the two posted endings.

#include "DeviceSession.h"

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

    void Start() override;
    void Tick() override;
    void SessionFailed(SessionFailure code) override;
    void SessionSucceeded() override;

    int ProgressStep() const { return Step; }

private:
    void BeginData();
    void SearchStep();
    void ModelStep();
    void SerialStep();
    void DataStep();
    void EndStep();

    TransferReporter& Questions;
    int Step = 0;
};

} // namespace salvo
