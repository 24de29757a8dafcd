#pragma once
// CP02: one document's channel table joined with a serial port and the Ignivelle byte protocol.
// Every operation returns a result code and stores it in LastError; nothing throws or shows.

#include "device/port/SerialLine.h"
#include "model/program/ChannelTable.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace salvo {

// Bytes of the device protocol.
namespace Wire {
constexpr uint8_t ConnectRequest = 0x80;
constexpr uint8_t Ready = 0x81;
constexpr uint8_t Busy = 0x85;
constexpr uint8_t EndOfSession = 0x04;
constexpr uint8_t TypeCodeRequest = 0x86;
constexpr uint8_t ReadRequest = 0x89;
constexpr uint8_t WriteRequest = 0x8B;
constexpr uint8_t Acknowledge = 0x84;
} // namespace Wire

// Register addresses.
constexpr int SerialNumberRegister = 0xF1; // four bytes, least significant first
constexpr int VersionMajorRegister = 0xF5;
constexpr int VersionMinorRegister = 0xF6;

constexpr int PortNameCount = 10;
extern const std::array<const char*, PortNameCount> PortNameTable;

// The hex digit that carries a nibble on the wire: "0" to "9", "A" to "F".
uint8_t HexDigit(int nibble);

class CP02 : public ChannelTable {
public:
    // A port on this machine's serial devices, timed by the system clock.
    CP02();
    // A port reached through the given line and clock (the clock defaults to the system's).
    explicit CP02(std::unique_ptr<SerialLine> line, std::shared_ptr<Clock> clock = nullptr);
    // Ends any session and releases the port.
    ~CP02();

    CP02(const CP02&) = delete;
    CP02& operator=(const CP02&) = delete;

    PortHandle Handle = ClosedHandle;
    SerialSettings LineSettings;
    SavedSerialSettings SavedLineSettings;
    SerialTimeouts Timeouts;
    SavedSerialTimeouts SavedTimeouts;
    std::string PortName = "\\.\\COM2";
    int32_t Connected = 0;

    bool PortOpen() const { return Handle != ClosedHandle; }

    // PortNameTable[index] for 0 to 9, \.\COM1 for any other index. LastError is left alone.
    void SetPort(int index);

    // The serial port.
    int32_t OpenPort();
    int32_t ClosePort();
    int32_t PurgePort();
    int32_t WriteByte(uint8_t value);
    int32_t ReadByte(int& value);
    int32_t EndSession();

    // The device protocol.
    int32_t Connect(int seconds);
    int32_t ReadTypeCode(char (&code)[4]);
    int32_t CheckModel();
    int32_t ReadSerialNumber(uint32_t& serial);
    int32_t ReadCircuitVersion(int& major, int& minor);
    int32_t ReadRegister(int address, int& value);
    int32_t WriteRegister(int address, int value);
    int32_t ReadRegisterWord(int address, int& value);
    int32_t WriteRegisterWord(int address, int value);
    int32_t SendHexByte(int value);
    int32_t ReceiveHexByte(int& value);
    // c - 0x30 for characters up to "9", c - 0x37 above; nothing else is checked.
    static int DecodeHexPair(int first, int second);
    // The same exchanges as ReceiveHexByte, ReadRegister and ReadTypeCode, but a character other
    // than "0"-"9" or "A"-"F" gives InvalidDigit (once both digits were acknowledged) and
    // leaves the out value alone: what a garbled line carried is never handed out.
    int32_t ReceiveCheckedHexByte(int& value);
    int32_t ReadCheckedRegister(int address, int& value);
    int32_t ReadCheckedTypeCode(char (&code)[4]);
    static bool IsHexDigit(int c);
    int32_t SendChannel(int index);
    void ModelName(std::string& name) const;
    std::string ModelName() const;

private:
    // The register read and the digits received, with or without checking the digits.
    int32_t ReadRegisterDigits(int address, int& value, bool checked);
    int32_t ReceiveDigits(int& value, bool checked);
    bool NeedsSession();

    std::unique_ptr<SerialLine> Line;
    std::shared_ptr<Clock> Time;
};

} // namespace salvo
