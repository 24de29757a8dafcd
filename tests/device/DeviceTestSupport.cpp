#include "DeviceTestSupport.h"

#ifndef _WIN32
#include "device/port/PosixSerialLine.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace salvo::test {

std::string Describe(const WireLog& log) {
    std::string text;
    bool first = true;
    bool direction = true;
    for (auto [fromProgram, b] : log) {
        if (first || fromProgram != direction)
            text += first ? (fromProgram ? ">" : "<") : (fromProgram ? " >" : " <");
        first = false;
        direction = fromProgram;
        char item[8];
        if (b >= 0x20 && b < 0x7F)
            std::snprintf(item, sizeof item, " '%c'", b);
        else
            std::snprintf(item, sizeof item, " %02X", b);
        text += item;
    }
    return text;
}

WireSeq& WireSeq::Out(uint8_t b) {
    Log.emplace_back(true, b);
    return *this;
}

WireSeq& WireSeq::In(uint8_t b) {
    Log.emplace_back(false, b);
    return *this;
}

WireSeq& WireSeq::OutHex(int value) {
    return Out(HexDigit((value >> 4) & 0xF)).Out(HexDigit(value & 0xF));
}

WireSeq& WireSeq::InHex(int value) {
    return In(HexDigit((value >> 4) & 0xF)).Out(0x84).In(HexDigit(value & 0xF)).Out(0x84);
}

WireSeq& WireSeq::Connect() {
    return Out(0x80).In(0x81);
}

WireSeq& WireSeq::EndSession(uint8_t reply) {
    return Out(0x04).In(reply);
}

WireSeq& WireSeq::TypeCode(const std::string& code) {
    Out(0x86);
    for (char c : code)
        InHex(static_cast<uint8_t>(c));
    return *this;
}

WireSeq& WireSeq::ReadRegister(int address, int value) {
    return Out(0x89).OutHex(address).InHex(value);
}

WireSeq& WireSeq::WriteRegister(int address, int value, uint8_t reply) {
    return Out(0x8B).OutHex(address).OutHex(value).In(reply);
}

WireSeq& WireSeq::WriteWord(int address, int word) {
    return WriteRegister(address, word & 0xFF).WriteRegister(address + 1, (word >> 8) & 0xFF);
}

size_t WireSeq::FromProgram() const {
    size_t n = 0;
    for (auto& b : Log)
        n += b.first ? 1 : 0;
    return n;
}

#ifndef _WIN32
WireLog WireOf(const sim::SimulatedDevice& device) {
    WireLog log;
    for (const sim::ByteRecord& r : device.Log())
        log.emplace_back(r.FromProgram, r.Value);
    return log;
}
#endif

std::vector<uint8_t> LineState::Written() const {
    std::vector<uint8_t> bytes;
    for (auto& b : Wire)
        if (b.first)
            bytes.push_back(b.second);
    return bytes;
}

void LineState::PlayDevice(std::shared_ptr<sim::DeviceEngine> engine) {
    Device = [engine](uint8_t b) { return engine->Receive(b); };
}

int MemoryLine::Open(const std::string&, PortHandle& handle) {
    State->Calls.push_back("open");
    if (State->OpenError)
        return State->OpenError;
    State->Open = true;
    handle = 7;
    return 0;
}

int MemoryLine::Configure(PortHandle, const SerialSettings&, const SerialTimeouts&,
                          SavedSerialSettings& settings, SavedSerialTimeouts& timeouts) {
    State->Calls.push_back("configure");
    if (State->ConfigureError)
        return State->ConfigureError;
    settings.Valid = true;
    timeouts.Valid = true;
    return 0;
}

int MemoryLine::Purge(PortHandle) {
    State->Calls.push_back("purge");
    State->Inbox.clear();
    return 0;
}

int MemoryLine::ReadByte(PortHandle, uint8_t& value, bool& received) {
    received = false;
    if (State->Inbox.empty()) {
        State->Time->Now += 1100;
        return 0;
    }
    Reply r = State->Inbox.front();
    State->Inbox.pop_front();
    if (r.Error)
        return r.Error;
    if (r.Byte < 0) {
        State->Time->Now += 1100;
        return 0;
    }
    value = static_cast<uint8_t>(r.Byte);
    received = true;
    State->Wire.emplace_back(false, value);
    return 0;
}

int MemoryLine::WriteByte(PortHandle, uint8_t value) {
    if (State->WriteError)
        return State->WriteError;
    State->Wire.emplace_back(true, value);
    if (State->Device)
        for (uint8_t b : State->Device(value))
            State->Inbox.push_back(Reply{b, 0});
    return 0;
}

int MemoryLine::Restore(PortHandle, const SavedSerialSettings&, const SavedSerialTimeouts&) {
    State->Calls.push_back("restore");
    return State->RestoreError;
}

int MemoryLine::Close(PortHandle) {
    State->Calls.push_back("close");
    State->Open = false;
    return 0;
}

std::unique_ptr<CP02> MemoryPort(const std::shared_ptr<LineState>& state) {
    auto port = std::make_unique<CP02>(std::make_unique<MemoryLine>(state), state->Time);
    // Not a COM name: the system's ports are never looked at for an in-memory line.
    port->PortName = "memory";
    return port;
}

EnginePort::EnginePort(const sim::DeviceOptions& options)
    : Engine(std::make_shared<sim::DeviceEngine>(options)), Port(MemoryPort(State)) {
    State->PlayDevice(Engine);
    EXPECT_EQ(Port->Connect(1), 0);
    State->Wire.clear();
    State->Calls.clear();
}

// The pseudo-terminal simulator and mkdtemp are POSIX; a Windows build of these helpers runs
// the scripted line only.
#ifndef _WIN32
std::unique_ptr<sim::SimulatedDevice> StartSimulator(const sim::DeviceOptions& options) {
    auto device = std::make_unique<sim::SimulatedDevice>(options);
    int e = device->Start();
    EXPECT_EQ(e, 0) << "no pseudo-terminal";
    return device;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "salvodesk-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data()))
        Root = made;
    EXPECT_FALSE(Root.empty());
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!Root.empty())
        std::filesystem::remove_all(Root, ignored);
}

ComLinks::ComLinks() {
    const auto& home = Home.Path();
    std::filesystem::create_directories(home / ".config/salvodesk/ports");
    std::filesystem::create_directories(home / "dev");
    std::filesystem::create_directories(home / "sys");
    SetDefaultPortRoots({home.string(), (home / "dev").string(), (home / "sys").string()});
}

ComLinks::~ComLinks() {
    ResetDefaultPortRoots();
}

std::string ComLinks::Link(int number) const {
    return (Home.Path() / ".config/salvodesk/ports" / ("COM" + std::to_string(number))).string();
}
#endif

} // namespace salvo::test
