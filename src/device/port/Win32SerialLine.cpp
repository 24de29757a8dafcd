#include "device/port/Win32SerialLine.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace salvo {

namespace {

static_assert(sizeof(DCB) == 28, "the line settings record is 28 bytes on every Windows");
static_assert(sizeof(DCB) == sizeof(SavedSerialSettings::Dcb));
static_assert(alignof(DCB) <= 4);
static_assert(sizeof(COMMTIMEOUTS) == sizeof(SavedSerialTimeouts::Values));
// The port dialog tells a missing port by ENOENT, the same value on every platform.
static_assert(ENOENT == ERROR_FILE_NOT_FOUND);

HANDLE HandleOf(PortHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

int LastError() {
    return static_cast<int>(GetLastError());
}

} // namespace

void BuildLineSettings(const SerialSettings& s, DCB& dcb) {
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = s.BaudRate;
    dcb.fBinary = 1;
    dcb.fParity = s.ParityCheck ? 1 : 0;
    dcb.fOutxCtsFlow = s.CtsFlow ? 1 : 0;
    dcb.fOutxDsrFlow = s.DsrFlow ? 1 : 0;
    dcb.fDtrControl = s.Dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = s.XonXoffOut ? 1 : 0;
    dcb.fInX = s.XonXoffIn ? 1 : 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = s.Rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    dcb.ByteSize = s.ByteSize;
    switch (s.ParityMode) {
    case Parity::None:
        dcb.Parity = NOPARITY;
        break;
    case Parity::Odd:
        dcb.Parity = ODDPARITY;
        break;
    case Parity::Even:
        dcb.Parity = EVENPARITY;
        break;
    }
    dcb.StopBits = s.StopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.XonChar = 1;
    dcb.XoffChar = 2;
    dcb.ErrorChar = 4;
    dcb.EofChar = 0;
    dcb.EvtChar = 3;
}

void BuildTimeouts(const SerialTimeouts& t, COMMTIMEOUTS& c) {
    c.ReadIntervalTimeout = t.ReadIntervalTimeout;
    c.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
    c.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
    c.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
    c.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
}

int Win32SerialLine::Open(const std::string& portName, PortHandle& handle) {
    HANDLE h = CreateFileA(portName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LastError();
    handle = reinterpret_cast<PortHandle>(h);
    return 0;
}

int Win32SerialLine::Configure(PortHandle handle, const SerialSettings& settings,
                               const SerialTimeouts& timeouts, SavedSerialSettings& savedSettings,
                               SavedSerialTimeouts& savedTimeouts) {
    savedSettings.Valid = false;
    savedTimeouts.Valid = false;
    HANDLE h = HandleOf(handle);

    DCB saved{};
    saved.DCBlength = sizeof(DCB);
    if (!GetCommState(h, &saved))
        return LastError();
    std::memcpy(savedSettings.Dcb, &saved, sizeof saved);
    savedSettings.Valid = true;
    DCB ours{};
    BuildLineSettings(settings, ours);
    if (!SetCommState(h, &ours))
        return LastError();

    COMMTIMEOUTS before{};
    if (!GetCommTimeouts(h, &before))
        return LastError();
    std::memcpy(savedTimeouts.Values, &before, sizeof before);
    savedTimeouts.Valid = true;
    COMMTIMEOUTS wanted{};
    BuildTimeouts(timeouts, wanted);
    if (!SetCommTimeouts(h, &wanted))
        return LastError();
    return 0;
}

int Win32SerialLine::Purge(PortHandle handle) {
    return PurgeComm(HandleOf(handle),
                     PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)
               ? 0
               : LastError();
}

int Win32SerialLine::ReadByte(PortHandle handle, uint8_t& value, bool& received) {
    received = false;
    unsigned char byte = 0;
    DWORD count = 0;
    if (!ReadFile(HandleOf(handle), &byte, 1, &count, nullptr))
        return LastError();
    if (count == 0)
        return 0; // the read time-out passed
    value = byte;
    received = true;
    return 0;
}

int Win32SerialLine::WriteByte(PortHandle handle, uint8_t value) {
    DWORD count = 0;
    if (!WriteFile(HandleOf(handle), &value, 1, &count, nullptr))
        return LastError();
    // The write time-out passed with the byte still waiting: it is not reported as sent.
    if (count == 0)
        return ERROR_COUNTER_TIMEOUT;
    return 0;
}

int Win32SerialLine::Restore(PortHandle handle, const SavedSerialSettings& savedSettings,
                             const SavedSerialTimeouts& savedTimeouts) {
    HANDLE h = HandleOf(handle);
    if (savedSettings.Valid) {
        DCB saved{};
        std::memcpy(&saved, savedSettings.Dcb, sizeof saved);
        if (!SetCommState(h, &saved))
            return LastError();
    }
    if (savedTimeouts.Valid) {
        COMMTIMEOUTS saved{};
        std::memcpy(&saved, savedTimeouts.Values, sizeof saved);
        if (!SetCommTimeouts(h, &saved))
            return LastError();
    }
    return 0;
}

int Win32SerialLine::Close(PortHandle handle) {
    return CloseHandle(HandleOf(handle)) ? 0 : LastError();
}

int ProbePort(const std::string& portName) {
    Win32SerialLine line;
    PortHandle handle = ClosedHandle;
    int result = line.Open(portName, handle);
    if (result == 0)
        line.Close(handle);
    return result;
}

uint64_t SystemClock::TickCount() {
    // The 64-bit count: the 32-bit one wraps after 49.7 days, and a deadline computed just
    // before the wrap would never be reached.
    return GetTickCount64();
}

void SystemClock::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

} // namespace salvo
