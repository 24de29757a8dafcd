#pragma once
// What the device protocol needs from a serial port, and from the clock. The real port is the
// system's: the POSIX layer (PosixSerialLine.h) or the Win32 one (Win32SerialLine.h), chosen
// when building; tests plug in a scripted line and a clock that only moves when told to, so
// time-outs cost no real time.

#include <cstdint>
#include <memory>
#include <string>
#ifndef _WIN32
#include <termios.h>
#endif

namespace salvo {

// The open port: a file descriptor, or on Windows the bits of a HANDLE. All bits set means
// closed (INVALID_HANDLE_VALUE on Windows).
#ifdef _WIN32
using PortHandle = std::intptr_t;
#else
using PortHandle = int;
#endif
constexpr PortHandle ClosedHandle = -1;

enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2 };

// The settings applied to the port on opening.
struct SerialSettings {
    uint32_t BaudRate = 9600;
    uint8_t ByteSize = 8;
    Parity ParityMode = Parity::Even;
    uint8_t StopBits = 1;
    bool ParityCheck = true; // the parity of received bytes is checked
    bool CtsFlow = false;
    bool DsrFlow = false;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool Dtr = false; // held off
    bool Rts = true;  // held on
};

// Per-byte time-outs in milliseconds: a one-byte transfer waits at most
// multiplier + constant.
struct SerialTimeouts {
    uint32_t ReadIntervalTimeout = 500;
    uint32_t ReadTotalTimeoutMultiplier = 100;
    uint32_t ReadTotalTimeoutConstant = 1000;
    uint32_t WriteTotalTimeoutMultiplier = 100;
    uint32_t WriteTotalTimeoutConstant = 1000;

    uint32_t ReadBudget() const { return ReadTotalTimeoutMultiplier + ReadTotalTimeoutConstant; }
    uint32_t WriteBudget() const { return WriteTotalTimeoutMultiplier + WriteTotalTimeoutConstant; }
};

// What the port had before we opened it. Valid only once read, so a port whose settings could
// not be read is never given somebody else's.
#ifdef _WIN32
// The DCB and COMMTIMEOUTS records as the system gave them, kept whole; Win32SerialLine.cpp
// checks these sizes against <windows.h>, which stays out of every other file.
struct SavedSerialSettings {
    bool Valid = false;
    alignas(4) unsigned char Dcb[28]{};
};

struct SavedSerialTimeouts {
    bool Valid = false;
    uint32_t Values[5]{};
};
#else
struct SavedSerialSettings {
    bool Valid = false;
    termios Settings{};
    bool HasModemLines = false;
    int ModemLines = 0;
};

struct SavedSerialTimeouts {
    bool Valid = false;
    cc_t Min = 0;
    cc_t Time = 0;
};
#endif

// One serial port. Every call returns 0 or the system's error code (an errno value, or
// GetLastError on Windows), never throws, and moves at most one byte. The caller keeps the
// handle.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Opens the named port exclusively: another holder, in this process or another, is refused
    // (EBUSY here, ERROR_ACCESS_DENIED on Windows).
    virtual int Open(const std::string& portName, PortHandle& handle) = 0;
    // Saves the port's settings and time-outs, then applies ours; stops at the first failure.
    virtual int Configure(PortHandle handle, const SerialSettings& settings,
                          const SerialTimeouts& timeouts, SavedSerialSettings& savedSettings,
                          SavedSerialTimeouts& savedTimeouts) = 0;
    // Drops whatever waits in both directions.
    virtual int Purge(PortHandle handle) = 0;
    // received = false when nothing came within the read time-out.
    virtual int ReadByte(PortHandle handle, uint8_t& value, bool& received) = 0;
    virtual int WriteByte(PortHandle handle, uint8_t value) = 0;
    // Puts back what Configure saved (only what it managed to save).
    virtual int Restore(PortHandle handle, const SavedSerialSettings& savedSettings,
                        const SavedSerialTimeouts& savedTimeouts) = 0;
    // Always releases the handle, even when it reports an error.
    virtual int Close(PortHandle handle) = 0;
};

// The millisecond tick count and the short sleep of the connect loop.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t TickCount() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The system's clock and the system's serial ports, from the back end built for this platform.
class SystemClock : public Clock {
public:
    uint64_t TickCount() override;
    void Sleep(uint32_t milliseconds) override;
};

std::unique_ptr<SerialLine> MakeSystemSerialLine();

// 1 to 255 for a name of the form \.\COMn, else 0.
int ComPortNumber(const std::string& portName);

// Opens the port exactly as a CP02 opens it and releases it at once: 0, or the system's code
// of the open (2, ENOENT or ERROR_FILE_NOT_FOUND, for a port that is not there).
int ProbePort(const std::string& portName);

} // namespace salvo
