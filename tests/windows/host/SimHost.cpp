// wine-sim-host: the simulated device for tests that run under Wine. A Windows program cannot
// open a pseudo-terminal, so this Linux process plays the device on one, links it into the Wine
// prefix as a COM port (dosdevices/comN) and takes orders from the test over a loopback TCP
// connection, one line per order and one line per answer:
//   start com=N [model=N serial=N major=N minor=N silent busy=N nak=N typecode=XXX]
//   options ...      new options (faults) for the running device
//   unlink com=N     no such port any more
//   wait N           until N bytes have come from the program (3 s at most)
//   settle MS        until nothing has come for MS milliseconds
//   log | clear      the bytes both ways (">80 <81 ..."), or forget them
//   registers        the 256 registers as hex
//   line             the pseudo-terminal's settings as Linux sees them
//   setline speed=N stop=1|2 xonxoff=0|1
//   stop
// Prints the TCP port it listens on, then serves one connection at a time until killed.

#include "IgnivelleSim.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

using salvo::sim::DeviceOptions;
using salvo::sim::SimulatedDevice;

bool SendLine(int fd, std::string line) {
    line += '\n';
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = send(fd, p, left, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Reads one line; false when the test has gone.
bool ReceiveLine(int fd, std::string& pending, std::string& line) {
    for (;;) {
        size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        char buffer[512];
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        pending.append(buffer, static_cast<size_t>(n));
    }
}

long Value(const std::string& word, const std::string& key, long otherwise) {
    if (word.compare(0, key.size() + 1, key + "=") != 0)
        return otherwise;
    return std::strtol(word.c_str() + key.size() + 1, nullptr, 0);
}

// Applies the option words; the COM number goes to com.
DeviceOptions ParseOptions(std::istringstream& words, int& com) {
    DeviceOptions o;
    std::string w;
    while (words >> w) {
        com = static_cast<int>(Value(w, "com", com));
        o.Model = static_cast<int>(Value(w, "model", o.Model));
        o.SerialNumber = static_cast<uint32_t>(Value(w, "serial", o.SerialNumber));
        o.VersionMajor = static_cast<uint8_t>(Value(w, "major", o.VersionMajor));
        o.VersionMinor = static_cast<uint8_t>(Value(w, "minor", o.VersionMinor));
        o.BusyAnswers = static_cast<int>(Value(w, "busy", o.BusyAnswers));
        o.NakWrite = static_cast<int>(Value(w, "nak", o.NakWrite));
        if (w == "silent")
            o.Silent = true;
        if (w.compare(0, 9, "typecode=") == 0)
            o.TypeCode = w.substr(9);
    }
    return o;
}

std::string Hex(uint8_t b) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

unsigned SpeedOf(speed_t s) {
    switch (s) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

// What the line settings of the Win32 record became in termios.
std::string DescribeLine(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "error open " + std::string(std::strerror(errno));
    termios t{};
    int r = tcgetattr(fd, &t);
    close(fd);
    if (r != 0)
        return "error tcgetattr";
    int size = (t.c_cflag & CSIZE) == CS5   ? 5
               : (t.c_cflag & CSIZE) == CS6 ? 6
               : (t.c_cflag & CSIZE) == CS7 ? 7
                                            : 8;
    const char* parity = !(t.c_cflag & PARENB) ? "none" : (t.c_cflag & PARODD) ? "odd" : "even";
    std::ostringstream out;
    out << "ok speed=" << SpeedOf(cfgetospeed(&t)) << " size=" << size << " parity=" << parity
        << " stop=" << ((t.c_cflag & CSTOPB) ? 2 : 1)
        << " crtscts=" << ((t.c_cflag & CRTSCTS) ? 1 : 0)
        << " ixon=" << ((t.c_iflag & IXON) ? 1 : 0) << " ixoff=" << ((t.c_iflag & IXOFF) ? 1 : 0)
        << " xon=" << int(t.c_cc[VSTART]) << " xoff=" << int(t.c_cc[VSTOP]);
    return out.str();
}

std::string SetLine(const std::string& path, std::istringstream& words) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "error open " + std::string(std::strerror(errno));
    termios t{};
    tcgetattr(fd, &t);
    std::string w;
    while (words >> w) {
        if (long speed = Value(w, "speed", 0)) {
            speed_t s = speed == 19200 ? B19200 : speed == 4800 ? B4800 : B9600;
            cfsetispeed(&t, s);
            cfsetospeed(&t, s);
        }
        if (long stop = Value(w, "stop", 0))
            t.c_cflag = stop == 2 ? (t.c_cflag | CSTOPB) : (t.c_cflag & ~tcflag_t(CSTOPB));
        if (long x = Value(w, "xonxoff", -1); x >= 0)
            t.c_iflag = x ? (t.c_iflag | IXON | IXOFF) : (t.c_iflag & ~tcflag_t(IXON | IXOFF));
    }
    int r = tcsetattr(fd, TCSANOW, &t);
    close(fd);
    return r == 0 ? "ok" : "error tcsetattr";
}

void Serve(int client, const std::string& ports) {
    std::unique_ptr<SimulatedDevice> device;
    std::string pending;
    std::string line;
    while (ReceiveLine(client, pending, line)) {
        std::istringstream words(line);
        std::string order;
        words >> order;
        std::string answer = "ok";
        if (order == "start") {
            int com = 0;
            DeviceOptions options = ParseOptions(words, com);
            device.reset();
            device = std::make_unique<SimulatedDevice>(options);
            if (int e = device->Start())
                answer = "error start " + std::string(std::strerror(e));
            else if (int e = device->LinkAs(ports + "/com" + std::to_string(com)))
                answer = "error link " + std::string(std::strerror(e));
        } else if (order == "unlink") {
            int com = 0;
            ParseOptions(words, com);
            std::string link = ports + "/com" + std::to_string(com);
            if (unlink(link.c_str()) != 0 && errno != ENOENT)
                answer = "error unlink";
        } else if (!device && order != "stop") {
            answer = "error no device";
        } else if (order == "options") {
            int com = 0;
            device->SetOptions(ParseOptions(words, com));
        } else if (order == "wait") {
            size_t count = 0;
            words >> count;
            if (!device->WaitReceived(count, 3000))
                answer = "error only " + std::to_string(device->Received().size());
        } else if (order == "settle") {
            int ms = 30;
            words >> ms;
            device->Settle(ms);
        } else if (order == "log") {
            for (const auto& r : device->Log())
                answer += (r.FromProgram ? " >" : " <") + Hex(r.Value);
        } else if (order == "clear") {
            device->ClearLog();
        } else if (order == "registers") {
            answer += ' ';
            for (uint8_t b : device->Registers())
                answer += Hex(b);
        } else if (order == "line") {
            answer = DescribeLine(device->SlavePath());
        } else if (order == "setline") {
            answer = SetLine(device->SlavePath(), words);
        } else if (order == "stop") {
            device.reset();
        } else {
            answer = "error unknown order " + order;
        }
        if (!SendLine(client, answer))
            break;
    }
    device.reset();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "--ports") {
        std::fprintf(stderr, "usage: wine-sim-host --ports WINEPREFIX/dosdevices\n");
        return 2;
    }
    std::string ports = argv[2];
    std::signal(SIGPIPE, SIG_IGN);
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("wine-sim-host");
        return 1;
    }
    std::printf("%u\n", unsigned(ntohs(address.sin_port)));
    std::fflush(stdout);
    for (;;) {
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR)
                continue;
            std::perror("wine-sim-host: accept");
            return 1;
        }
        Serve(client, ports);
        close(client);
    }
}
