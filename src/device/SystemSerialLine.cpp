// The serial port back end of the platform we are built for.

#include "SerialLine.h"

#ifdef _WIN32
#include "Win32SerialLine.h"
#else
#include "PosixSerialLine.h"
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
