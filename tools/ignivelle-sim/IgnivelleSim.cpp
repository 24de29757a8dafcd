#include "IgnivelleSim.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace salvo::sim {

namespace {

// 11 bits (start, 8 data, parity, stop) at 9600 baud.
constexpr auto BytePace = std::chrono::microseconds(1146);

void PaceUntil(std::chrono::steady_clock::time_point until) {
    std::this_thread::sleep_until(until);
}

} // namespace

SimulatedDevice::SimulatedDevice(DeviceOptions options) : Options(options), Engine(options) {}

SimulatedDevice::~SimulatedDevice() {
    Stop();
}

int SimulatedDevice::Start() {
    std::lock_guard<std::mutex> lock(Mutex);
    if (Worker.joinable())
        return 0;
    if (pipe2(WakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return errno;
    if (int e = OpenPairLocked())
        return e;
    Stopping = false;
    Worker = std::thread([this] { Run(); });
    return 0;
}

void SimulatedDevice::Stop() {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        if (!Worker.joinable())
            return;
        Stopping = true;
    }
    Wake();
    Worker.join();
    std::lock_guard<std::mutex> lock(Mutex);
    // Take the link away only while it still names our line.
    if (!Link.empty()) {
        char target[PATH_MAX];
        ssize_t n = readlink(Link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == Slave)
            unlink(Link.c_str());
    }
    CloseLineLocked();
    for (int& fd : WakePipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

int SimulatedDevice::OpenPairLocked() {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return errno;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name)) {
        int e = errno;
        close(master);
        return e;
    }
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        int e = errno;
        close(master);
        return e;
    }
    // A device line carries raw bytes until the program says otherwise.
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    Master = master;
    OwnSlave = slave;
    Slave = name;
    return 0;
}

void SimulatedDevice::CloseLineLocked() {
    if (Master >= 0)
        close(Master);
    if (OwnSlave >= 0)
        close(OwnSlave);
    Master = -1;
    OwnSlave = -1;
}

int SimulatedDevice::UpdateLinkLocked() {
    if (Link.empty() || Slave.empty())
        return 0;
    std::string fresh = Link + ".new";
    unlink(fresh.c_str());
    if (symlink(Slave.c_str(), fresh.c_str()) != 0)
        return errno;
    if (rename(fresh.c_str(), Link.c_str()) != 0) {
        int e = errno;
        unlink(fresh.c_str());
        return e;
    }
    return 0;
}

std::string SimulatedDevice::SlavePath() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Slave;
}

int SimulatedDevice::LinkAs(const std::string& linkPath) {
    std::lock_guard<std::mutex> lock(Mutex);
    Link = linkPath;
    return UpdateLinkLocked();
}

std::string SimulatedDevice::LinkPath() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Link;
}

void SimulatedDevice::SetOptions(const DeviceOptions& options) {
    std::lock_guard<std::mutex> lock(Mutex);
    // The identity and any words given come from the new options, everything else stays as
    // written.
    auto registers = Engine.Registers;
    Options = options;
    Engine = DeviceEngine(options);
    size_t given = 2 * std::min(options.Words.size(), MaxWords);
    for (size_t a = given; a < registers.size(); ++a)
        if (a < 0xF1 || a > 0xF6)
            Engine.Registers[a] = registers[a];
    ReceivedCount = 0;
    HangUpDone = false;
}

std::array<uint8_t, 256> SimulatedDevice::Registers() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Engine.Registers;
}

void SimulatedDevice::SetRegister(int address, uint8_t value) {
    std::lock_guard<std::mutex> lock(Mutex);
    Engine.Registers[static_cast<size_t>(address & 0xFF)] = value;
}

std::vector<ByteRecord> SimulatedDevice::Log() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Records;
}

std::vector<uint8_t> SimulatedDevice::Received() const {
    std::lock_guard<std::mutex> lock(Mutex);
    std::vector<uint8_t> bytes;
    for (const ByteRecord& r : Records)
        if (r.FromProgram)
            bytes.push_back(r.Value);
    return bytes;
}

void SimulatedDevice::ClearLog() {
    std::lock_guard<std::mutex> lock(Mutex);
    Records.clear();
}

bool SimulatedDevice::WaitReceived(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(Mutex);
    return Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<size_t>(std::count_if(Records.begin(), Records.end(),
                                                 [](auto& r) { return r.FromProgram; })) >= count;
    });
}

void SimulatedDevice::Settle(int quietMs) const {
    auto quiet = std::chrono::milliseconds(quietMs);
    auto since = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            int pending = 0;
            if (Master >= 0)
                ioctl(Master, FIONREAD, &pending);
            auto last = std::max(since, LastReceived);
            if (pending == 0 && std::chrono::steady_clock::now() - last >= quiet)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void SimulatedDevice::HangUp() {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        if (Master < 0)
            return;
        CloseLineLocked();
        HungUp = true;
        if (Options.ComeBackAfterMs >= 0) {
            ComeBackPending = true;
            ComeBackAt = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(Options.ComeBackAfterMs);
        }
    }
    Wake();
}

int SimulatedDevice::ComeBack() {
    int result = 0;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        if (Master >= 0)
            return 0;
        result = OpenPairLocked();
        if (result == 0) {
            HungUp = false;
            ComeBackPending = false;
            result = UpdateLinkLocked();
        }
    }
    Wake();
    return result;
}

bool SimulatedDevice::IsHungUp() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return HungUp;
}

void SimulatedDevice::OnByte(std::function<void(const ByteRecord&)> callback) {
    std::lock_guard<std::mutex> lock(Mutex);
    Callback = std::move(callback);
}

void SimulatedDevice::Wake() {
    if (WakePipe[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = write(WakePipe[1], &c, 1);
    }
}

void SimulatedDevice::RecordLocked(bool fromProgram, uint8_t value,
                                   std::chrono::steady_clock::time_point at) {
    ByteRecord record{at, fromProgram, value};
    Records.push_back(record);
    if (fromProgram)
        LastReceived = record.Time;
    if (Callback)
        Callback(record);
    Changed.notify_all();
}

void SimulatedDevice::HandleLocked(uint8_t byte, bool queued) {
    // A paced line delivers what the program wrote one byte time after the one before: the
    // pseudo-terminal has no baud rate of its own. A byte that was already waiting behind
    // another follows it back to back. Paced bytes are logged at the time they end on the line.
    auto at = std::chrono::steady_clock::now();
    if (Options.Pace) {
        InboundFreeAt = (queued ? InboundFreeAt : std::max(InboundFreeAt, at)) + BytePace;
        PaceUntil(InboundFreeAt);
        at = InboundFreeAt;
    }
    RecordLocked(true, byte, at);
    ++ReceivedCount;
    if (Options.HangUpAfter >= 0 && !HangUpDone && ReceivedCount > Options.HangUpAfter) {
        HangUpDone = true;
        CloseLineLocked();
        HungUp = true;
        if (Options.ComeBackAfterMs >= 0) {
            ComeBackPending = true;
            ComeBackAt = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(Options.ComeBackAfterMs);
        }
        return;
    }
    if (Options.Silent || (Options.SilentAfter >= 0 && ReceivedCount > Options.SilentAfter))
        return;
    for (uint8_t reply : Engine.Receive(byte)) {
        // The answer starts as soon as the byte it answers has come in.
        auto sent = std::chrono::steady_clock::now();
        if (Options.Pace) {
            OutboundFreeAt = std::max(OutboundFreeAt, InboundFreeAt) + BytePace;
            PaceUntil(OutboundFreeAt);
            sent = OutboundFreeAt;
        }
        // Logged before it goes out, so the log never lags behind what the program has read.
        RecordLocked(false, reply, sent);
        if (write(Master, &reply, 1) != 1)
            Records.pop_back();
    }
}

void SimulatedDevice::Run() {
    // A paced byte lasts 1.146 ms: the default 50 us of slack on every sleep would lengthen the
    // line by several percent.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    for (;;) {
        int master = -1;
        int timeout = -1;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            if (Stopping)
                return;
            master = Master;
            if (ComeBackPending) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    ComeBackAt - std::chrono::steady_clock::now());
                timeout = static_cast<int>(std::max<long long>(0, left.count()));
            }
        }
        pollfd fds[2] = {{WakePipe[0], POLLIN, 0}, {master, POLLIN, 0}};
        int n = poll(fds, master >= 0 ? 2 : 1, timeout);
        if (n < 0 && errno != EINTR)
            return;
        if (n > 0 && (fds[0].revents & POLLIN)) {
            char drain[64];
            while (read(WakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        bool idleHangUp = false;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            if (Stopping)
                return;
            if (ComeBackPending && std::chrono::steady_clock::now() >= ComeBackAt) {
                ComeBackPending = false;
                if (OpenPairLocked() == 0) {
                    HungUp = false;
                    UpdateLinkLocked();
                }
                continue;
            }
            if (master >= 0 && master == Master && n > 0) {
                if (fds[1].revents & POLLIN) {
                    uint8_t buffer[256];
                    ssize_t got = read(Master, buffer, sizeof buffer);
                    for (ssize_t i = 0; i < got && Master >= 0; ++i)
                        HandleLocked(buffer[i], i > 0);
                } else if (fds[1].revents & (POLLHUP | POLLERR)) {
                    idleHangUp = true;
                }
            }
        }
        // Nobody on the slave side: nothing to do until somebody opens it.
        if (idleHangUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace salvo::sim
