#pragma once
// The serial port on Linux: termios, ioctl and flock, one byte per system call.

#include "device/port/SerialLine.h"

#include <optional>
#include <string>
#include <utility>

namespace salvo {

// Where port names are looked up. Tests point these at a tree of their own.
struct PortRoots {
    std::string Home; // the user's home folder; the COMn links live in .config/salvodesk/ports
    std::string Dev = "/dev";
    std::string Sys = "/sys";
};

// The roots used by every port that was not given its own: $HOME, /dev and /sys unless set.
PortRoots DefaultPortRoots();
void SetDefaultPortRoots(const PortRoots& roots);
void ResetDefaultPortRoots();

// The folder that holds the user's COMn links.
std::string PortLinkFolder(const PortRoots& roots);

// The device path that a port name opens. \.\COMn: the link COMn in the port folder, else the
// n-th present serial device (real ttyS ports, then ttyUSB, then ttyACM, each in numeric order),
// else a path that does not exist. Any other name stands as it is.
std::string ResolvePortName(const std::string& portName, const PortRoots& roots);

// Opens the port exactly as a CP02 opens it and releases it at once: 0, or the errno of the
// open (ENOENT for a port that is not there, EBUSY for one that somebody holds).
int ProbePort(const std::string& portName);
int ProbePort(const std::string& portName, const PortRoots& roots);

class PosixSerialLine : public SerialLine {
public:
    PosixSerialLine() = default;
    explicit PosixSerialLine(PortRoots roots) : Roots(std::move(roots)) {}

    int Open(const std::string& portName, PortHandle& handle) override;
    int Configure(PortHandle handle, const SerialSettings& settings, const SerialTimeouts& timeouts,
                  SavedSerialSettings& savedSettings, SavedSerialTimeouts& savedTimeouts) override;
    int Purge(PortHandle handle) override;
    int ReadByte(PortHandle handle, uint8_t& value, bool& received) override;
    int WriteByte(PortHandle handle, uint8_t value) override;
    int Restore(PortHandle handle, const SavedSerialSettings& savedSettings,
                const SavedSerialTimeouts& savedTimeouts) override;
    int Close(PortHandle handle) override;

private:
    std::optional<PortRoots> Roots;
    uint32_t ReadBudget = SerialTimeouts{}.ReadBudget();
    uint32_t WriteBudget = SerialTimeouts{}.WriteBudget();
};

} // namespace salvo
