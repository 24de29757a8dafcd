#pragma once
// A simulated Ignivelle on the master side of a pseudo-terminal, for tests and for rehearsing a
// transfer without hardware. The program under test opens the slave side as its serial port.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace salvo::sim {

struct DeviceOptions {
    int Model = 2;             // 0 "P01", 1 "P03", 2 "P02"
    std::string TypeCode;      // when not empty, reported instead of the model's code
    uint32_t SerialNumber = 0; // registers 0xF1 to 0xF4, least significant first
    uint8_t VersionMajor = 1;  // register 0xF5
    uint8_t VersionMinor = 0;  // register 0xF6

    // Faults.
    bool Silent = false;        // reads everything, answers nothing
    int BusyAnswers = 0;        // connect requests answered 0x85 before 0x81; negative: always
    int NakWrite = 0;           // the n-th register write (from 1) is answered 0x85 and dropped
    bool GarbageDigits = false; // the digits it sends are not hex digits
    long SilentAfter = -1;      // answers nothing once this many bytes have come in
    long HangUpAfter = -1;      // hangs up when a byte comes in after this many
    int ComeBackAfterMs = -1;   // after a hang-up, a new line (and link) after this delay
    bool Pace = false;          // the line runs at 9600 baud 8E1 (11 bits a byte), both ways

    // Channel words held from the start: word i in registers 2i (low byte) and 2i + 1.
    std::vector<uint16_t> Words{};
};

constexpr size_t MaxWords = 30;

// Takes the model, the serial number and the channel words of a program file into options,
// as the program would send them. Returns an empty text, or what went wrong.
std::string LoadProgramFile(const std::string& path, DeviceOptions& options);

// The type code a device of the given model reports.
std::string TypeCodeOfModel(int model);

// The device's side of the protocol, without any input or output.
class DeviceEngine {
public:
    explicit DeviceEngine(const DeviceOptions& options);

    // One byte from the program; returns what the device answers at once.
    std::vector<uint8_t> Receive(uint8_t byte);

    std::array<uint8_t, 256> Registers{};
    int RegisterWrites = 0;
    bool InSession = false;
    DeviceOptions Options;

private:
    enum class Phase { Idle, ReadAddress, WriteArguments, Sending };

    std::vector<uint8_t> Command(uint8_t byte);
    uint8_t DigitOut(int nibble) const;
    std::vector<uint8_t> StartSending(const std::vector<int>& bytes);

    Phase State = Phase::Idle;
    std::vector<int> Arguments;  // nibbles received for the current command
    std::vector<uint8_t> ToSend; // digits still to send, one per acknowledgement
    size_t NextToSend = 0;
    int BusyLeft = 0;
};

struct ByteRecord {
    std::chrono::steady_clock::time_point Time;
    bool FromProgram = false;
    uint8_t Value = 0;
};

class SimulatedDevice {
public:
    explicit SimulatedDevice(DeviceOptions options = {});
    ~SimulatedDevice();

    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // Opens the pseudo-terminal pair and starts answering on a thread of its own: 0 or errno.
    int Start();
    void Stop();

    // The serial port the program opens.
    std::string SlavePath() const;
    // Keeps a symbolic link at linkPath pointing at the current slave: 0 or errno.
    int LinkAs(const std::string& linkPath);
    std::string LinkPath() const;

    // New options (faults) from now on; the byte count and write count start again, the
    // registers are kept but for the serial number and version, taken from the options.
    void SetOptions(const DeviceOptions& options);
    std::array<uint8_t, 256> Registers() const;
    void SetRegister(int address, uint8_t value);

    std::vector<ByteRecord> Log() const;
    std::vector<uint8_t> Received() const; // from the program, in order
    void ClearLog();
    // Waits until count bytes have come from the program since the log was cleared.
    bool WaitReceived(size_t count, int timeoutMs = 3000) const;
    // Waits until nothing has come in for quietMs.
    void Settle(int quietMs = 30) const;

    // Pulls the plug: the program's side sees a hang-up.
    void HangUp();
    // Plugs back in on a new pseudo-terminal (the link follows): 0 or errno.
    int ComeBack();
    bool IsHungUp() const;

    // Called on the device's thread for every byte, both ways; must not call back in here.
    void OnByte(std::function<void(const ByteRecord&)> callback);

private:
    int OpenPairLocked();
    void CloseLineLocked();
    int UpdateLinkLocked();
    void Run();
    // queued: the byte came in the same read as the one before it.
    void HandleLocked(uint8_t byte, bool queued);
    void RecordLocked(bool fromProgram, uint8_t value, std::chrono::steady_clock::time_point at);
    void Wake();

    mutable std::mutex Mutex;
    mutable std::condition_variable Changed;
    DeviceOptions Options;
    DeviceEngine Engine;
    int Master = -1;
    int OwnSlave = -1; // keeps the line up while the program has the port closed
    std::string Slave;
    std::string Link;
    bool HungUp = false;
    bool HangUpDone = false;
    std::chrono::steady_clock::time_point ComeBackAt{};
    bool ComeBackPending = false;
    long ReceivedCount = 0;
    std::vector<ByteRecord> Records;
    std::chrono::steady_clock::time_point LastReceived{};
    std::chrono::steady_clock::time_point InboundFreeAt{};  // when the paced line takes a byte
    std::chrono::steady_clock::time_point OutboundFreeAt{}; // when it has sent the last answer
    std::function<void(const ByteRecord&)> Callback;
    int WakePipe[2] = {-1, -1};
    bool Stopping = false;
    std::thread Worker;
};

} // namespace salvo::sim
