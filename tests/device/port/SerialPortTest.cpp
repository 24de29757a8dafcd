// CP02 on a real pseudo-terminal against the simulated device: the bytes on the wire, the
// exclusive port, the settings put back, and a line that hangs up.

#include "DeviceTestSupport.h"
#include "device/port/PosixSerialLine.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace salvo;
using namespace salvo::test;
using Seconds = std::chrono::duration<double>;

namespace {

// A started simulator and a CP02 connected to it, with the connect bytes cleared from the log.
struct Connected {
    std::unique_ptr<sim::SimulatedDevice> Device;
    CP02 Port;
    explicit Connected(const sim::DeviceOptions& options = {}) : Device(StartSimulator(options)) {
        Port.PortName = Device->SlavePath();
        EXPECT_EQ(Port.Connect(1), 0);
        EXPECT_TRUE(Device->WaitReceived(1));
        Device->ClearLog();
    }
    // The log once the program's last byte of the expected exchange has arrived.
    std::string Wire(const WireSeq& expected) {
        EXPECT_TRUE(Device->WaitReceived(expected.FromProgram()));
        return Describe(WireOf(*Device));
    }
};

} // namespace

TEST(OnPty, RegisterWriteOfAnAutomaticChannel) {
    Connected c;
    ASSERT_EQ(c.Port.SetChannelType(3, Automatic), 0);
    ASSERT_EQ(c.Port.SetStepDelay(3, 2.4), 0);
    EXPECT_EQ(c.Port.SendChannel(3), 0);
    WireSeq expected;
    expected.Out(0x8B).Out('0').Out('6').Out('0').Out('C').In(0x84);
    expected.Out(0x8B).Out('0').Out('7').Out('8').Out('0').In(0x84);
    EXPECT_EQ(c.Wire(expected), expected.Text());
    EXPECT_EQ(c.Device->Registers()[6], 0x0C);
    EXPECT_EQ(c.Device->Registers()[7], 0x80);
}

TEST(OnPty, TypeCodeDigitByDigit) {
    Connected c;
    char code[4] = {};
    EXPECT_EQ(c.Port.ReadTypeCode(code), 0);
    EXPECT_STREQ(code, "P02");
    WireSeq expected;
    expected.Out(0x86).In('5').Out(0x84).In('0').Out(0x84).In('3').Out(0x84).In('0').Out(0x84);
    expected.In('3').Out(0x84).In('2').Out(0x84);
    EXPECT_EQ(c.Wire(expected), expected.Text());
}

TEST(OnPty, SerialNumberAndVersionReadInRegisterOrder) {
    sim::DeviceOptions options;
    options.SerialNumber = 123456; // 0x40 0xE2 0x01 0x00
    options.VersionMajor = 3;
    options.VersionMinor = 12;
    Connected c(options);
    uint32_t serial = 0;
    int major = 0;
    int minor = 0;
    EXPECT_EQ(c.Port.ReadSerialNumber(serial), 0);
    EXPECT_EQ(serial, 123456u);
    EXPECT_EQ(c.Port.ReadCircuitVersion(major, minor), 0);
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 12);
    WireSeq expected;
    expected.ReadRegister(0xF1, 0x40).ReadRegister(0xF2, 0xE2).ReadRegister(0xF3, 0x01);
    expected.ReadRegister(0xF4, 0x00).ReadRegister(0xF5, 3).ReadRegister(0xF6, 12);
    EXPECT_EQ(c.Wire(expected), expected.Text());
}

TEST(OnPty, BusyAnswerEndsTheSessionAndAsksAgain) {
    sim::DeviceOptions options;
    options.BusyAnswers = 1;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    EXPECT_EQ(port.Connect(1), 0);
    EXPECT_EQ(port.Connected, 1);
    WireSeq expected;
    expected.Out(0x80).In(0x85).EndSession().Connect();
    EXPECT_TRUE(device->WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(WireOf(*device)), expected.Text());
}

TEST(OnPty, WriteAnsweredWithRefusal) {
    sim::DeviceOptions options;
    options.NakWrite = 2;
    Connected c(options);
    EXPECT_EQ(c.Port.WriteRegisterWord(0x10, 0x1234), WriteNotAcknowledged);
    WireSeq expected;
    expected.WriteRegister(0x10, 0x34).WriteRegister(0x11, 0x12, 0x85);
    EXPECT_EQ(c.Wire(expected), expected.Text());
    EXPECT_EQ(c.Device->Registers()[0x11], 0);
    EXPECT_EQ(c.Port.Connected, 1); // the caller ends the session
}

TEST(OnPty, NothingOnTheWireWithoutSession) {
    auto device = StartSimulator();
    CP02 port;
    port.PortName = device->SlavePath();
    ASSERT_EQ(port.OpenPort(), 0);
    int value = 0;
    EXPECT_EQ(port.ReadRegister(0xF1, value), NoSession);
    EXPECT_EQ(port.SendChannel(0), NoSession);
    device->Settle(50);
    EXPECT_TRUE(device->Log().empty());
}

// The one test that waits for a real time-out.
TEST(OnPty, ConnectOnSilentLineTimesOutAfterOneRequest) {
    sim::DeviceOptions options;
    options.Silent = true;
    auto device = StartSimulator(options);
    CP02 port;
    port.PortName = device->SlavePath();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Connect(1), NoAnswer);
    double elapsed = Seconds(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, 1.05);
    EXPECT_LT(elapsed, 2.0);
    EXPECT_EQ(port.Connected, 0);
    device->Settle(30);
    EXPECT_EQ(device->Received(), std::vector<uint8_t>{0x80});
    device->SetOptions(sim::DeviceOptions{}); // answers the release, which would wait otherwise
}

TEST(OnPty, ThirtyChannelProgramLandsInTheRegisters) {
    Connected c;
    for (int i = 0; i < SlotCount; ++i) {
        c.Port.SetChannelType(i, (i % 3 == 1) ? Automatic : Manual);
        c.Port.Slots[static_cast<size_t>(i)].Steps = (i == 29) ? MaxStepCount : 37u * i + 1;
    }
    WireSeq expected;
    for (int i = 0; i < SlotCount; ++i) {
        EXPECT_EQ(c.Port.SendChannel(i), 0) << i;
        expected.WriteWord(2 * i, c.Port.ChannelWord(i));
    }
    EXPECT_EQ(c.Port.EndSession(), 0);
    expected.EndSession();
    EXPECT_EQ(c.Wire(expected), expected.Text());
    auto registers = c.Device->Registers();
    for (int i = 0; i < SlotCount; ++i) {
        int word = registers[static_cast<size_t>(2 * i)] | registers[static_cast<size_t>(2 * i + 1)]
                                                               << 8;
        EXPECT_EQ(word, c.Port.ChannelWord(i)) << i;
    }
    for (size_t a = 60; a < 0xF1; ++a)
        EXPECT_EQ(registers[a], 0) << a;
}

TEST(OnPty, PortHeldByAnotherObjectIsBusyAndStaysWithItsHolder) {
    Connected c;
    CP02 second;
    second.PortName = c.Port.PortName;
    EXPECT_EQ(second.OpenPort(), EBUSY);
    EXPECT_EQ(second.Handle, ClosedHandle);
    uint32_t serial = 1;
    EXPECT_EQ(c.Port.ReadSerialNumber(serial), 0);
    EXPECT_EQ(serial, 0u);
}

TEST(OnPty, PortHeldByAnotherProcessIsBusyBothWays) {
    auto device = StartSimulator();
    std::string path = device->SlavePath();
    {
        CP02 holder;
        holder.PortName = path;
        ASSERT_EQ(holder.OpenPort(), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CP02 other;
            other.PortName = path;
            _exit(other.OpenPort());
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), EBUSY);
        EXPECT_EQ(holder.Connect(1), 0);
    }

    int toChild[2];
    int toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char rc = 0;
        {
            CP02 holder;
            holder.PortName = path;
            rc = static_cast<char>(holder.OpenPort());
            [[maybe_unused]] ssize_t w = write(toParent[1], &rc, 1);
            char go = 0;
            [[maybe_unused]] ssize_t r = read(toChild[0], &go, 1);
        }
        _exit(0);
    }
    char rc = 1;
    ASSERT_EQ(read(toParent[0], &rc, 1), 1);
    EXPECT_EQ(rc, 0);
    CP02 port;
    port.PortName = path;
    EXPECT_EQ(port.OpenPort(), EBUSY);
    char go = 1;
    ASSERT_EQ(write(toChild[1], &go, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(port.OpenPort(), 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]})
        close(fd);
}

TEST(OnPty, MissingPortIsFileNotFound) {
    CP02 port;
    port.PortName = "/dev/salvodesk-no-such-port";
    EXPECT_EQ(port.OpenPort(), 2);
    EXPECT_EQ(port.LastError, 2);
    EXPECT_EQ(port.Handle, ClosedHandle);

    TempDir empty;
    SetDefaultPortRoots(
        PortRoots{empty.Path().string(), empty.Path().string(), empty.Path().string()});
    CP02 com;
    com.SetPort(3);
    EXPECT_EQ(com.OpenPort(), 2);
    EXPECT_EQ(com.Handle, ClosedHandle);
    ResetDefaultPortRoots();
}

TEST(OnPty, SettingsArePutBackOnRelease) {
    auto device = StartSimulator();
    int fd = open(device->SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios mine{};
    ASSERT_EQ(tcgetattr(fd, &mine), 0);
    // Settings no transfer would use, so that a change shows.
    mine.c_lflag |= ICANON | ECHO;
    mine.c_cflag = (mine.c_cflag & ~CSIZE) | CS7;
    mine.c_cc[VMIN] = 3;
    mine.c_cc[VTIME] = 7;
    cfsetispeed(&mine, B19200);
    cfsetospeed(&mine, B19200);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &mine), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);

    CP02 port;
    port.PortName = device->SlavePath();
    ASSERT_EQ(port.OpenPort(), 0);
    termios during{};
    ASSERT_EQ(tcgetattr(fd, &during), 0);
    EXPECT_EQ(cfgetospeed(&during), B9600);
    EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(during.c_cflag & (CRTSCTS), 0u);
    EXPECT_EQ(during.c_iflag & (IXON | IXOFF), 0u);

    EXPECT_EQ(port.ClosePort(), 0);
    termios after{};
    ASSERT_EQ(tcgetattr(fd, &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(0, memcmp(after.c_cc, before.c_cc, sizeof before.c_cc));
    EXPECT_EQ(cfgetospeed(&after), B19200);
    close(fd);
}

TEST(OnPty, HangUpMidExchangeFailsFastAndTheLineComesBack) {
    TempDir dir;
    sim::DeviceOptions options;
    options.SerialNumber = 77;
    options.HangUpAfter = 4; // the first acknowledgement of the first register read
    auto device = StartSimulator(options);
    std::string link = (dir.Path() / "COM1").string();
    ASSERT_EQ(device->LinkAs(link), 0);
    CP02 port;
    port.PortName = link;
    ASSERT_EQ(port.Connect(1), 0);

    auto start = std::chrono::steady_clock::now();
    uint32_t serial = 5;
    int32_t code = port.ReadSerialNumber(serial);
    EXPECT_NE(code, 0);
    EXPECT_NE(code, NoAnswer); // a hang-up, not a time-out
    EXPECT_EQ(serial, 5u);
    EXPECT_LT(Seconds(std::chrono::steady_clock::now() - start).count(), 0.5);
    ASSERT_TRUE(device->IsHungUp());

    // Gone: the release reports the failure but lets the handle go.
    EXPECT_NE(port.ClosePort(), 0);
    EXPECT_EQ(port.Handle, ClosedHandle);
    EXPECT_NE(port.OpenPort(), 0);

    ASSERT_EQ(device->ComeBack(), 0);
    EXPECT_EQ(port.OpenPort(), 0);
    EXPECT_EQ(port.Connect(1), 0);
    EXPECT_EQ(port.ReadSerialNumber(serial), 0);
    EXPECT_EQ(serial, 77u);
}

TEST(OnPty, NextOpenAfterHangUpWorksOnceTheDeviceIsBack) {
    TempDir dir;
    sim::DeviceOptions options;
    options.HangUpAfter = 1;
    options.ComeBackAfterMs = 20;
    auto device = StartSimulator(options);
    std::string link = (dir.Path() / "COM1").string();
    ASSERT_EQ(device->LinkAs(link), 0);
    CP02 port;
    port.PortName = link;
    ASSERT_EQ(port.Connect(1), 0);
    int value = 0;
    EXPECT_NE(port.ReadRegister(0, value), 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (device->IsHungUp() && std::chrono::steady_clock::now() < deadline)
        usleep(2000);
    ASSERT_FALSE(device->IsHungUp());
    // The dead handle is still held here; reopening lets it go and takes the new line.
    EXPECT_EQ(port.OpenPort(), 0);
    EXPECT_EQ(port.Connect(1), 0);
}

TEST(OnPty, SimulatorCanPaceItsBytesLikeTheRealLine) {
    sim::DeviceOptions options;
    options.Pace = true;
    Connected c(options);
    char code[4] = {};
    ASSERT_EQ(c.Port.ReadTypeCode(code), 0);
    ASSERT_TRUE(c.Device->WaitReceived(7));
    auto log = c.Device->Log();
    int answers = 0;
    for (size_t i = 1; i < log.size(); ++i) {
        if (log[i].FromProgram || !log[i - 1].FromProgram)
            continue;
        ++answers;
        EXPECT_GE(log[i].Time - log[i - 1].Time, std::chrono::microseconds(1100)) << i;
    }
    EXPECT_EQ(answers, 6);
}
