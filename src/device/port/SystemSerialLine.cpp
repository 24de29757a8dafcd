// The serial port back end of the platform we are built for.

#include "device/port/SerialLine.h"

#ifdef _WIN32
#include "device/port/Win32SerialLine.h"
#else
#include "device/port/PosixSerialLine.h"
#endif

namespace salvo {

std::unique_ptr<SerialLine> MakeSystemSerialLine() {
#ifdef _WIN32
    return std::make_unique<Win32SerialLine>();
#else
    return std::make_unique<PosixSerialLine>();
#endif
}

} // namespace salvo
