#include "device/port/PosixSerialLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace salvo {

namespace {

std::optional<PortRoots>& DefaultRootsOverride() {
    static std::optional<PortRoots> roots;
    return roots;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

// The decimal number that follows prefix in name, or -1.
long NumberAfter(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    long value = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        char c = name[i];
        if (c < '0' || c > '9' || value > 1000000)
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// The 8250 driver registers ttyS ports whether or not a UART is there; those that are not
// report port type 0.
bool IsRealLegacyPort(const PortRoots& roots, const std::string& name) {
    std::ifstream in(roots.Sys + "/class/tty/" + name + "/type");
    int type = 0;
    return in && (in >> type) && type != 0;
}

// Serial devices present, in COM order.
std::vector<std::string> PresentSerialDevices(const PortRoots& roots) {
    const char* const families[] = {"ttyS", "ttyUSB", "ttyACM"};
    std::vector<std::pair<long, std::string>> found[3];
    if (DIR* dir = opendir(roots.Dev.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            for (int f = 0; f < 3; ++f) {
                long n = NumberAfter(name, families[f]);
                if (n < 0)
                    continue;
                if (f == 0 && !IsRealLegacyPort(roots, name))
                    continue;
                found[f].emplace_back(n, name);
            }
        }
        closedir(dir);
    }
    std::vector<std::string> devices;
    for (auto& family : found) {
        std::sort(family.begin(), family.end());
        for (auto& [n, name] : family)
            devices.push_back(roots.Dev + "/" + name);
    }
    return devices;
}

// The device path for \.\COMn, or nothing when no device stands for it.
std::optional<std::string> FindComDevice(int number, const PortRoots& roots) {
    std::string link = PortLinkFolder(roots) + "/COM" + std::to_string(number);
    if (Exists(link))
        return link;
    std::vector<std::string> devices = PresentSerialDevices(roots);
    if (number >= 1 && static_cast<size_t>(number) <= devices.size())
        return devices[static_cast<size_t>(number - 1)];
    return std::nullopt;
}

bool IsPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    unsigned int m = major(st.st_rdev);
    // Unix98 slaves use majors 136 to 143; the old BSD ones 2 and 3.
    return (m >= 136 && m <= 143) || m == 2 || m == 3;
}

// Modem-line ioctls fail on a pseudo-terminal; that is no fault of the port.
int ModemLineResult(int fd, int result) {
    if (result == 0)
        return 0;
    int e = errno;
    if ((e == ENOTTY || e == EINVAL) && IsPseudoTerminal(fd))
        return 0;
    return e;
}

bool SpeedOf(uint32_t baud, speed_t& speed) {
    static const std::pair<uint32_t, speed_t> table[] = {
        {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    for (auto [rate, value] : table) {
        if (rate == baud) {
            speed = value;
            return true;
        }
    }
    return false;
}

int BuildTermios(const SerialSettings& s, termios& t) {
    speed_t speed{};
    if (!SpeedOf(s.BaudRate, speed))
        return EINVAL;
    tcflag_t size = 0;
    switch (s.ByteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return EINVAL;
    }
    if (s.StopBits != 1 && s.StopBits != 2)
        return EINVAL;
    // Raw bytes: no line editing, no translation, no signals, no echo.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR |
                                        ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= size | CLOCAL | CREAD;
    if (s.ParityMode != Parity::None) {
        t.c_cflag |= PARENB;
        if (s.ParityMode == Parity::Odd)
            t.c_cflag |= PARODD;
        if (s.ParityCheck)
            t.c_iflag |= INPCK;
    }
    if (s.StopBits == 2)
        t.c_cflag |= CSTOPB;
    if (s.CtsFlow || s.DsrFlow)
        t.c_cflag |= CRTSCTS;
    if (s.XonXoffOut)
        t.c_iflag |= IXON;
    if (s.XonXoffIn)
        t.c_iflag |= IXOFF;
    // Reads wait in poll(), so a read that poll() allowed returns at once.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0)
        return errno;
    return 0;
}

using SteadyClock = std::chrono::steady_clock;

int RemainingMs(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

} // namespace

PortRoots DefaultPortRoots() {
    if (DefaultRootsOverride())
        return *DefaultRootsOverride();
    PortRoots roots;
    roots.Home = HomeFolder();
    return roots;
}

void SetDefaultPortRoots(const PortRoots& roots) {
    DefaultRootsOverride() = roots;
}

void ResetDefaultPortRoots() {
    DefaultRootsOverride().reset();
}

std::string PortLinkFolder(const PortRoots& roots) {
    return roots.Home + "/.config/salvodesk/ports";
}

std::string ResolvePortName(const std::string& portName, const PortRoots& roots) {
    int number = ComPortNumber(portName);
    if (number == 0)
        return portName;
    if (auto device = FindComDevice(number, roots))
        return *device;
    return PortLinkFolder(roots) + "/COM" + std::to_string(number);
}

int ProbePort(const std::string& portName) {
    return ProbePort(portName, DefaultPortRoots());
}

int ProbePort(const std::string& portName, const PortRoots& roots) {
    PosixSerialLine line(roots);
    PortHandle handle = ClosedHandle;
    int result = line.Open(portName, handle);
    if (result == 0)
        line.Close(handle);
    return result;
}

int PosixSerialLine::Open(const std::string& portName, PortHandle& handle) {
    PortRoots roots = Roots ? *Roots : DefaultPortRoots();
    std::string path = portName;
    if (int number = ComPortNumber(portName)) {
        auto device = FindComDevice(number, roots);
        if (!device)
            return ENOENT;
        path = *device;
    }
    // Non-blocking only so that the open does not wait for a carrier.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // flock before anything else: TIOCEXCL does not keep root out, flock does, and it also
    // refuses a second open within this process.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? EBUSY : e;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        int e = errno;
        ::close(fd);
        return e;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        int e = errno;
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        return e;
    }
    handle = fd;
    return 0;
}

int PosixSerialLine::Configure(PortHandle handle, const SerialSettings& settings,
                               const SerialTimeouts& timeouts, SavedSerialSettings& savedSettings,
                               SavedSerialTimeouts& savedTimeouts) {
    savedSettings.Valid = false;
    savedTimeouts.Valid = false;
    // Save the line settings and modem lines.
    if (tcgetattr(handle, &savedSettings.Settings) != 0)
        return errno;
    int lines = 0;
    if (ioctl(handle, TIOCMGET, &lines) == 0) {
        savedSettings.HasModemLines = true;
        savedSettings.ModemLines = lines;
    } else if (int e = ModemLineResult(handle, -1)) {
        return e;
    } else {
        savedSettings.HasModemLines = false;
    }
    savedSettings.Valid = true;

    // Apply ours.
    termios t = savedSettings.Settings;
    if (int e = BuildTermios(settings, t))
        return e;
    if (tcsetattr(handle, TCSANOW, &t) != 0)
        return errno;
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    if (int e = ModemLineResult(handle, ioctl(handle, settings.Dtr ? TIOCMBIS : TIOCMBIC, &dtr)))
        return e;
    if (int e = ModemLineResult(handle, ioctl(handle, settings.Rts ? TIOCMBIS : TIOCMBIC, &rts)))
        return e;

    // The time-outs a termios port had live in its VMIN and VTIME, read before we changed them.
    savedTimeouts.Min = savedSettings.Settings.c_cc[VMIN];
    savedTimeouts.Time = savedSettings.Settings.c_cc[VTIME];
    savedTimeouts.Valid = true;
    ReadBudget = timeouts.ReadBudget();
    WriteBudget = timeouts.WriteBudget();
    return 0;
}

int PosixSerialLine::Purge(PortHandle handle) {
    return tcflush(handle, TCIOFLUSH) == 0 ? 0 : errno;
}

int PosixSerialLine::ReadByte(PortHandle handle, uint8_t& value, bool& received) {
    received = false;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(ReadBudget);
    for (;;) {
        pollfd p{handle, POLLIN, 0};
        int n = poll(&p, 1, RemainingMs(deadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0; // nothing came in time
        if (p.revents & POLLNVAL)
            return EBADF;
        if (p.revents & (POLLIN | POLLERR)) {
            uint8_t byte = 0;
            ssize_t got = ::read(handle, &byte, 1);
            if (got == 1) {
                value = byte;
                received = true;
                return 0;
            }
            if (got == 0)
                return EIO; // the far end hung up; not a time-out
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return errno;
        }
        if (p.revents & POLLHUP)
            return EIO;
    }
}

int PosixSerialLine::WriteByte(PortHandle handle, uint8_t value) {
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(WriteBudget);
    for (;;) {
        pollfd p{handle, POLLOUT, 0};
        int n = poll(&p, 1, RemainingMs(deadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        // A byte that could not go out is not reported as sent.
        if (n == 0)
            return ETIMEDOUT;
        if (p.revents & POLLNVAL)
            return EBADF;
        if ((p.revents & POLLOUT) == 0)
            return EIO;
        ssize_t put = ::write(handle, &value, 1);
        if (put == 1)
            return 0;
        if (put < 0 && errno != EINTR && errno != EAGAIN)
            return errno;
    }
}

int PosixSerialLine::Restore(PortHandle handle, const SavedSerialSettings& savedSettings,
                             const SavedSerialTimeouts& savedTimeouts) {
    if (savedSettings.Valid) {
        termios t = savedSettings.Settings;
        if (savedTimeouts.Valid) {
            t.c_cc[VMIN] = savedTimeouts.Min;
            t.c_cc[VTIME] = savedTimeouts.Time;
        }
        if (tcsetattr(handle, TCSANOW, &t) != 0)
            return errno;
        if (savedSettings.HasModemLines) {
            int lines = savedSettings.ModemLines;
            if (int e = ModemLineResult(handle, ioctl(handle, TIOCMSET, &lines)))
                return e;
        }
    }
    return 0;
}

int PosixSerialLine::Close(PortHandle handle) {
    // On a pseudo-terminal the exclusive flag outlives the descriptor.
    ioctl(handle, TIOCNXCL);
    flock(handle, LOCK_UN);
    if (::close(handle) != 0 && errno != EINTR)
        return errno;
    return 0;
}

uint64_t SystemClock::TickCount() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch())
            .count());
}

void SystemClock::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace salvo
