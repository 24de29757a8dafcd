#include "device/port/PortTexts.h"

#include "device/port/SerialLine.h"

#include <windows.h>

namespace salvo {

namespace {

// "COM3" for \.\COM3; any other name as it stands.
std::string Shown(const std::string& portName) {
    const std::string prefix = "\\.\\";
    return portName.compare(0, prefix.size(), prefix) == 0 ? portName.substr(prefix.size())
                                                           : portName;
}

std::string SystemText(int error) {
    char buffer[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(error), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

} // namespace

bool PortIsAbsent(int error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string DescribeComPort(int number) {
    // Windows names its ports itself; only whether one answers to the name can be told here.
    int error = ProbePort("\\.\\COM" + std::to_string(number));
    return PortIsAbsent(error) ? "absent" : "port série";
}

std::string PortOpenFailureText(int error, const std::string& portName) {
    std::string port = Shown(portName);
    if (PortIsAbsent(error))
        return "Le port " + port +
               " est absent : aucun port série ne lui correspond (adaptateur débranché ?).";
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        return "Le port " + port + " est occupé par un autre programme ou par un autre document.";
    return "Le port " + port + " n'a pas pu être ouvert : " + SystemText(error) + " (erreur " +
           std::to_string(error) + ").";
}

} // namespace salvo
