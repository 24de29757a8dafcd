#pragma once
// Test doubles and helpers for the device layer: an in-memory line with a clock that moves only
// when the code under test waits, expected byte streams, and temporary folders.

#include "IgnivelleSim.h"
#include "device/Classep02.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace salvo::test {

// Direction and value of one byte on the line: true = from the program.
using WireByte = std::pair<bool, uint8_t>;
using WireLog = std::vector<WireByte>;

// Readable form of a byte stream, for comparisons that show where they differ:
// "> 8B '0' '6' < 84".
std::string Describe(const WireLog& log);

// Builds the expected stream of an exchange.
class WireSeq {
public:
    WireSeq& Out(uint8_t b);
    WireSeq& In(uint8_t b);
    WireSeq& OutHex(int value); // two digits from the program
    WireSeq& InHex(int value);  // two digits from the device, each acknowledged
    WireSeq& Connect();         // > 80 < 81
    WireSeq& EndSession(uint8_t reply = 0x04);
    WireSeq& TypeCode(const std::string& code);
    WireSeq& ReadRegister(int address, int value);
    WireSeq& WriteRegister(int address, int value, uint8_t reply = 0x84);
    WireSeq& WriteWord(int address, int word);
    const WireLog& Bytes() const { return Log; }
    std::string Text() const { return Describe(Log); }
    size_t FromProgram() const;

private:
    WireLog Log;
};

WireLog WireOf(const sim::SimulatedDevice& device);

// A clock that only moves when somebody sleeps or a read times out.
class FakeClock : public Clock {
public:
    uint64_t TickCount() override { return Now; }
    void Sleep(uint32_t milliseconds) override {
        Now += milliseconds;
        Sleeps.push_back(milliseconds);
    }
    uint64_t Now = 5000;
    std::vector<uint32_t> Sleeps;
};

// One thing a read can meet.
struct Reply {
    int Byte = -1; // 0 to 255, or -1 for a time-out
    int Error = 0; // an errno value the read fails with
};

// The state of an in-memory line, kept by the test.
struct LineState {
    std::shared_ptr<FakeClock> Time = std::make_shared<FakeClock>();
    // What the far end answers to each byte written; nothing means silence.
    std::function<std::vector<uint8_t>(uint8_t)> Device;
    std::deque<Reply> Inbox; // read in order; empty means a time-out
    WireLog Wire;            // every byte that went either way
    std::vector<std::string> Calls;
    int OpenError = 0;
    int ConfigureError = 0;
    int RestoreError = 0;
    int WriteError = 0;
    bool Open = false;

    std::vector<uint8_t> Written() const;
    // Plays the simulated device's engine at the far end.
    void PlayDevice(std::shared_ptr<sim::DeviceEngine> engine);
};

class MemoryLine : public SerialLine {
public:
    explicit MemoryLine(std::shared_ptr<LineState> state) : State(std::move(state)) {}
    int Open(const std::string& portName, PortHandle& handle) override;
    int Configure(PortHandle, const SerialSettings&, const SerialTimeouts&, SavedSerialSettings&,
                  SavedSerialTimeouts&) override;
    int Purge(PortHandle) override;
    int ReadByte(PortHandle, uint8_t& value, bool& received) override;
    int WriteByte(PortHandle, uint8_t value) override;
    int Restore(PortHandle, const SavedSerialSettings&, const SavedSerialTimeouts&) override;
    int Close(PortHandle) override;

private:
    std::shared_ptr<LineState> State;
};

// A CP02 on an in-memory line.
std::unique_ptr<CP02> MemoryPort(const std::shared_ptr<LineState>& state);

// A CP02 on an in-memory line played by the simulated device's engine, already connected.
struct EnginePort {
    std::shared_ptr<LineState> State = std::make_shared<LineState>();
    std::shared_ptr<sim::DeviceEngine> Engine;
    std::unique_ptr<CP02> Port;
    explicit EnginePort(const sim::DeviceOptions& options = {});
};

// A started simulator; the test fails when its pseudo-terminal cannot be opened.
std::unique_ptr<sim::SimulatedDevice> StartSimulator(const sim::DeviceOptions& options = {});

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return Root; }

private:
    std::filesystem::path Root;
};

// A temporary home whose COMn links the system's ports follow while it lives.
class ComLinks {
public:
    ComLinks();
    ~ComLinks();
    std::string Link(int number) const;

private:
    TempDir Home;
};

} // namespace salvo::test
