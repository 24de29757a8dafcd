#pragma once
// What the user is told about serial ports: what each COM name reaches, and why one could not
// be opened. Plain French, one line each; the windows only show these texts.

#ifndef _WIN32
#include "device/port/PosixSerialLine.h"
#endif

#include <string>

namespace salvo {

// The result of an open (or a probe) that means no port is there: ENOENT, and ENODEV or ENXIO
// from a device node with nothing behind it.
bool PortIsAbsent(int error);

// What \.\COMn reaches: "ttyUSB0 : FTDI FT232R USB UART" for a USB adapter (maker and product
// as the system names them), "ttyS0 : port série intégré", "pts/3 : pseudo-terminal", or
// "absent" when nothing stands for it.
std::string DescribeComPort(int number);

// What the port dialog shows beside COMn: whether a port answers to the name at all (an absent
// one is greyed out) and, when one does, what it reaches.
struct ComPortReach {
    bool Absent = true;
    std::string Text; // "absent", or DescribeComPort's text
};
ComPortReach ProbeComPort(int number);

// The memo's line naming what an opened port reaches, in the port dialog's words:
// "COM1 : ttyUSB0 : FTDI FT232R USB UART". Empty for a name that is not a COM port.
std::string PortReachLine(const std::string& portName);

// The memo's line for a port that failed while it was open (a hang-up, an I/O error).
std::string PortLostText(const std::string& portName);

// Why portName could not be opened (error: what the open returned), for the status memo: the
// port is absent, held by another program or document, refused (naming the group to join), or
// any other system error with its text.
std::string PortOpenFailureText(int error, const std::string& portName);

#ifndef _WIN32
// The same, with the device tree looked up under roots (tests use a tree of their own).
std::string DescribeComPort(int number, const PortRoots& roots);
std::string PortOpenFailureText(int error, const std::string& portName, const PortRoots& roots);
#endif

} // namespace salvo
