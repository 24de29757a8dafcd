#include "device/port/PortTexts.h"

#include "device/port/SerialLine.h"

namespace salvo {

int ComPortNumber(const std::string& portName) {
    static const std::string prefix = "\\.\\COM";
    if (portName.size() <= prefix.size() || portName.size() > prefix.size() + 3 ||
        portName.compare(0, prefix.size(), prefix) != 0 || portName[prefix.size()] == '0')
        return 0;
    int n = 0;
    for (size_t i = prefix.size(); i < portName.size(); ++i) {
        char c = portName[i];
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n <= 255 ? n : 0;
}

ComPortReach ProbeComPort(int number) {
    ComPortReach reach;
    reach.Absent = PortIsAbsent(ProbePort("\\.\\COM" + std::to_string(number)));
    reach.Text = reach.Absent ? "absent" : DescribeComPort(number);
    return reach;
}

std::string PortReachLine(const std::string& portName) {
    int number = ComPortNumber(portName);
    if (number == 0)
        return {};
    return "COM" + std::to_string(number) + " : " + ProbeComPort(number).Text;
}

std::string PortLostText(const std::string& portName) {
    int number = ComPortNumber(portName);
    std::string port = number ? "COM" + std::to_string(number) : portName;
    return "Le port " + port + " ne répond plus (adaptateur débranché ?).";
}

} // namespace salvo
