#pragma once
// Reading a device back, for "Vérifier l'appareil" (compare it with the active document) and
// "Lire l'appareil" (make a new document of it). Driven by ticks like the transfer; it only
// ever reads: connect, type code, register reads and the end of session, never a write.
// Every digit the device sends is checked, so nothing garbled reaches a verdict or a window.

#include "device/DeviceSession.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace salvo {

enum class ReadBackMode { Verify, Read };

// Steps of a read-back (ReadState); any value of ReadStepEnd or more acts as ReadStepEnd.
enum ReadBackStep : int32_t {
    ReadStepSearch = 0,
    ReadStepModel = 1,
    ReadStepSerial = 2,
    ReadStepData = 3,
    ReadStepEnd = 4
};

// Once the device has answered, as fast as the event loop turns: the line sets the pace.
constexpr int ReadInterval = 0;

extern const std::array<const char*, 3> ReadBackInstructionLines;

// What a device holds, as read whole and checked.
struct DeviceContents {
    int32_t Model = DefaultModel;
    uint32_t SerialNumber = 0;
    int VersionMajor = 0;
    int VersionMinor = 0;
    std::array<uint16_t, SlotCount> Words{};

    int ChannelCount() const { return ChannelCountByModel[static_cast<size_t>(Model)]; }
};

// The device's model and channel words into a channel table; channel 1 is always manual, and
// the slots beyond the model's channels are left as they are.
void LoadDeviceChannels(ChannelTable& table, const DeviceContents& contents);

class ReadBackReporter : public virtual SessionReporter {
public:
    // A modal warning box with "OK".
    virtual void ShowWarning(const std::string& text) = 0;
    // Read: the device's program, read to the end; the shell makes a document of it.
    virtual void ProgramRead(const DeviceContents& contents) = 0;
};

class ReadBackSession : public DeviceSession {
public:
    explicit ReadBackSession(ReadBackReporter& reporter)
        : DeviceSession(reporter), Results(reporter) {}

    ReadBackMode Mode = ReadBackMode::Read;
    int32_t ReadState = ReadStepSearch;
    uint32_t ExpectedSerial = 0; // Verify: the serial number recorded in the document
    char DecimalSeparator = ','; // of the times in the verdict's lines
    int ReadIndex = 0;           // the next channel to read

    void Start() override;
    void Tick() override;
    void SessionFailed(SessionFailure code) override;
    void SessionSucceeded() override;
    // A success still queued when the dialog closes shows nothing.
    void Close() override;

    // What was read so far; whole only once the session has succeeded.
    const DeviceContents& Contents() const { return Device; }

private:
    const std::array<const char*, 3>& InstructionTexts() const override {
        return ReadBackInstructionLines;
    }
    void SearchStep();
    void ModelStep();
    void SerialStep();
    void DataStep();
    void EndStep();
    void Verdict();

    ReadBackReporter& Results;
    DeviceContents Device;
    bool Complete = false;
};

} // namespace salvo
