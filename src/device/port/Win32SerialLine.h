#pragma once
// The serial port on Windows: CreateFileA, the DCB and COMMTIMEOUTS records, PurgeComm, and
// ReadFile and WriteFile of one byte, without overlapped input and output. Error codes are
// GetLastError's, passed on unchanged (2 for a port that is not there, 5 for one in use).
// <windows.h> stays in the .cpp file: its macros would clash with names all over the program.

#include "device/port/SerialLine.h"

#include <string>

struct _DCB;
struct _COMMTIMEOUTS;

namespace salvo {

// The line settings as the system takes them: every member of the DCB, those that our
// settings do not name set to the fixed values the device link uses.
void BuildLineSettings(const SerialSettings& settings, _DCB& dcb);
void BuildTimeouts(const SerialTimeouts& timeouts, _COMMTIMEOUTS& records);

class Win32SerialLine : public SerialLine {
public:
    // portName goes to CreateFileA as it is: \.\COM1 to \.\COM10 and any other device name.
    int Open(const std::string& portName, PortHandle& handle) override;
    int Configure(PortHandle handle, const SerialSettings& settings, const SerialTimeouts& timeouts,
                  SavedSerialSettings& savedSettings, SavedSerialTimeouts& savedTimeouts) override;
    int Purge(PortHandle handle) override;
    int ReadByte(PortHandle handle, uint8_t& value, bool& received) override;
    int WriteByte(PortHandle handle, uint8_t value) override;
    // The saved settings, then the saved time-outs; stops at the first failure.
    int Restore(PortHandle handle, const SavedSerialSettings& savedSettings,
                const SavedSerialTimeouts& savedTimeouts) override;
    int Close(PortHandle handle) override;
};

} // namespace salvo
