#include "device/Classep02.h"

#include <cstring>

namespace salvo {

const std::array<const char*, PortNameCount> PortNameTable = {
    "\\.\\COM1", "\\.\\COM2", "\\.\\COM3", "\\.\\COM4", "\\.\\COM5",
    "\\.\\COM6", "\\.\\COM7", "\\.\\COM8", "\\.\\COM9", "\\.\\COM10",
};

uint8_t HexDigit(int nibble) {
    return static_cast<uint8_t>(nibble < 10 ? 0x30 + nibble : 0x37 + nibble);
}

CP02::CP02() : CP02(MakeSystemSerialLine()) {}

CP02::CP02(std::unique_ptr<SerialLine> line, std::shared_ptr<Clock> clock)
    : Line(std::move(line)), Time(clock ? std::move(clock) : std::make_shared<SystemClock>()) {}

CP02::~CP02() {
    EndSession();
    ClosePort();
}

void CP02::SetPort(int index) {
    PortName = (index >= 0 && index < PortNameCount) ? PortNameTable[static_cast<size_t>(index)]
                                                     : PortNameTable[0];
}

int32_t CP02::OpenPort() {
    // A release that reported an error has still let the old handle go (see ClosePort); what
    // went wrong with the old line does not keep the new open from being tried.
    ClosePort();
    if (Handle != ClosedHandle)
        return LastError;
    PortHandle handle = ClosedHandle;
    if (int e = Line->Open(PortName, handle)) {
        Handle = ClosedHandle;
        return LastError = e;
    }
    Handle = handle;
    // A failure here keeps the port held; ClosePort releases it.
    if (int e = Line->Configure(Handle, LineSettings, Timeouts, SavedLineSettings, SavedTimeouts))
        return LastError = e;
    return LastError = Success;
}

int32_t CP02::ClosePort() {
    if (Handle == ClosedHandle) {
        LastError = Success;
    } else {
        EndSession();
        int restored = Line->Restore(Handle, SavedLineSettings, SavedTimeouts);
        // Release the port even when its settings could not be put back (an adapter pulled
        // out): holding a dead handle would keep this document from ever opening it again.
        int closed = Line->Close(Handle);
        Handle = ClosedHandle;
        SavedLineSettings = SavedSerialSettings{};
        SavedTimeouts = SavedSerialTimeouts{};
        LastError = restored ? restored : closed;
    }
    Connected = 0;
    return LastError;
}

int32_t CP02::PurgePort() {
    if (Handle == ClosedHandle)
        return LastError = PortNotOpen;
    return LastError = Line->Purge(Handle);
}

int32_t CP02::WriteByte(uint8_t value) {
    if (Handle == ClosedHandle)
        return LastError = PortNotOpen;
    return LastError = Line->WriteByte(Handle, value);
}

int32_t CP02::ReadByte(int& value) {
    if (Handle == ClosedHandle)
        return LastError = PortNotOpen;
    uint8_t byte = 0;
    bool received = false;
    if (int e = Line->ReadByte(Handle, byte, received))
        return LastError = e;
    if (!received)
        return LastError = NoAnswer;
    value = byte;
    return LastError = Success;
}

int32_t CP02::EndSession() {
    if (Handle == ClosedHandle)
        return LastError = PortNotOpen;
    if (WriteByte(Wire::EndOfSession) != Success)
        return LastError;
    int reply = 0;
    if (ReadByte(reply) != Success)
        return LastError;
    Connected = 0;
    return LastError = Success;
}

int32_t CP02::Connect(int seconds) {
    if (Handle == ClosedHandle && OpenPort() != Success)
        return LastError;
    const bool limited = seconds != 0;
    const uint64_t deadline =
        limited ? Time->TickCount() + static_cast<uint64_t>(static_cast<int64_t>(seconds) * 1000)
                : 0;
    PurgePort();
    LastError = Success;
    int lastReply = -1;
    bool deadlinePassed = false;
    do {
        if (WriteByte(Wire::ConnectRequest) != Success)
            break;
        Time->Sleep(10);
        int32_t read = ReadByte(lastReply);
        if (read == Success && lastReply == Wire::Busy)
            EndSession();
        else if (read == NoAnswer)
            LastError = Success;
        if (limited)
            deadlinePassed = Time->TickCount() >= deadline;
    } while (!deadlinePassed && LastError == Success && lastReply != Wire::Ready);

    if (lastReply == Wire::Ready) {
        Connected = 1;
        return LastError = Success;
    }
    Connected = 0;
    if (deadlinePassed)
        LastError = NoAnswer;
    return LastError;
}

bool CP02::NeedsSession() {
    if (Connected != 0)
        return false;
    LastError = NoSession;
    return true;
}

int32_t CP02::ReadTypeCode(char (&code)[4]) {
    if (NeedsSession())
        return LastError;
    if (WriteByte(Wire::TypeCodeRequest) != Success)
        return LastError;
    LastError = Success;
    for (int i = 0; i < 3 && LastError == Success; ++i) {
        int value = 0;
        if (ReceiveHexByte(value) == Success)
            code[i] = static_cast<char>(value & 0xFF);
    }
    code[3] = '\0';
    return LastError;
}

int32_t CP02::CheckModel() {
    if (NeedsSession())
        return LastError;
    char code[4] = {0, 0, 0, 0};
    if (ReadTypeCode(code) != Success)
        return LastError;
    int model = (Model >= 0 && Model < ModelCount) ? Model : DefaultModel;
    bool same = std::memcmp(code, TypeCodes[static_cast<size_t>(model)], 3) == 0;
    return LastError = same ? Success : OtherModel;
}

int32_t CP02::ReadSerialNumber(uint32_t& serial) {
    if (NeedsSession())
        return LastError;
    int low = 0;
    int high = 0;
    if (ReadRegisterWord(SerialNumberRegister, low) != Success ||
        ReadRegisterWord(SerialNumberRegister + 2, high) != Success)
        return LastError;
    // Only a number read whole is handed out.
    serial = static_cast<uint32_t>(low) + static_cast<uint32_t>(high) * 65536u;
    return LastError = Success;
}

int32_t CP02::ReadCircuitVersion(int& major, int& minor) {
    if (NeedsSession())
        return LastError;
    if (ReadRegister(VersionMajorRegister, major) != Success)
        return LastError;
    return ReadRegister(VersionMinorRegister, minor);
}

int32_t CP02::ReadRegister(int address, int& value) {
    return ReadRegisterDigits(address, value, false);
}

int32_t CP02::ReadRegisterDigits(int address, int& value, bool checked) {
    if (NeedsSession())
        return LastError;
    if (WriteByte(Wire::ReadRequest) != Success || SendHexByte(address) != Success)
        return LastError;
    return ReceiveDigits(value, checked);
}

int32_t CP02::WriteRegister(int address, int value) {
    if (NeedsSession())
        return LastError;
    if (WriteByte(Wire::WriteRequest) != Success || SendHexByte(address) != Success ||
        SendHexByte(value) != Success)
        return LastError;
    int reply = 0;
    if (ReadByte(reply) != Success)
        return LastError;
    return LastError = (reply == Wire::Acknowledge) ? Success : WriteNotAcknowledged;
}

int32_t CP02::ReadRegisterWord(int address, int& value) {
    if (NeedsSession())
        return LastError;
    int low = 0;
    int high = 0;
    if (ReadRegister(address, low) != Success || ReadRegister(address + 1, high) != Success)
        return LastError;
    value = low + high * 256;
    return LastError = Success;
}

int32_t CP02::WriteRegisterWord(int address, int value) {
    if (NeedsSession())
        return LastError;
    if (WriteRegister(address, value & 0xFF) != Success)
        return LastError;
    return WriteRegister(address + 1, (value >> 8) & 0xFF);
}

int32_t CP02::SendHexByte(int value) {
    int byte = value & 0xFF;
    if (WriteByte(HexDigit(byte / 16)) != Success)
        return LastError;
    return WriteByte(HexDigit(byte % 16));
}

int32_t CP02::ReceiveHexByte(int& value) {
    return ReceiveDigits(value, false);
}

int32_t CP02::ReceiveDigits(int& value, bool checked) {
    if (NeedsSession())
        return LastError;
    int first = 0;
    int second = 0;
    if (ReadByte(first) != Success || WriteByte(Wire::Acknowledge) != Success ||
        ReadByte(second) != Success || WriteByte(Wire::Acknowledge) != Success)
        return LastError;
    // Both digits are acknowledged before they are judged, as the device expects.
    if (checked && (!IsHexDigit(first) || !IsHexDigit(second)))
        return LastError = InvalidDigit;
    value = DecodeHexPair(first, second);
    return LastError = Success;
}

int CP02::DecodeHexPair(int first, int second) {
    auto digit = [](int c) { return c <= 0x39 ? c - 0x30 : c - 0x37; };
    return 16 * digit(first) + digit(second);
}

bool CP02::IsHexDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

int32_t CP02::ReceiveCheckedHexByte(int& value) {
    return ReceiveDigits(value, true);
}

int32_t CP02::ReadCheckedRegister(int address, int& value) {
    return ReadRegisterDigits(address, value, true);
}

int32_t CP02::ReadCheckedTypeCode(char (&code)[4]) {
    if (NeedsSession())
        return LastError;
    if (WriteByte(Wire::TypeCodeRequest) != Success)
        return LastError;
    char read[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        int value = 0;
        if (ReceiveCheckedHexByte(value) != Success)
            return LastError;
        read[i] = static_cast<char>(value);
    }
    std::memcpy(code, read, sizeof read);
    return LastError = Success;
}

int32_t CP02::SendChannel(int index) {
    if (NeedsSession())
        return LastError;
    if (index < 0 || index >= SlotCount)
        return LastError = IndexOutOfRange;
    return WriteRegisterWord(2 * index, ChannelWord(index));
}

void CP02::ModelName(std::string& name) const {
    int model = (Model >= 0 && Model < ModelCount) ? Model : DefaultModel;
    name = ModelNames[static_cast<size_t>(model)];
}

std::string CP02::ModelName() const {
    std::string name;
    ModelName(name);
    return name;
}

} // namespace salvo
