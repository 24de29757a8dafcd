// The Win32 serial port under Wine, against the simulated device on a pseudo-terminal that the
// prefix maps as a COM port: the bytes on the wire, the time-out, a missing port, a port held
// twice, and the settings put back.

#include "RemoteDevice.h"
#include "SessionDouble.h"
#include "device/TransferSession.h"
#include "device/port/Win32SerialLine.h"

// Lean: the full set of headers makes SetPort a macro (winspool's SetPortA).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>

using namespace salvo;
using namespace salvo::test;
using Seconds = std::chrono::duration<double>;

namespace {

// COM7 and COM8 are the simulated devices' ports; COM9 is never there.
constexpr int DeviceCom = 7;
constexpr int OtherCom = 8;
constexpr int MissingCom = 9;

HANDLE OpenRaw(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

DCB StateOf(HANDLE h) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    EXPECT_TRUE(GetCommState(h, &dcb));
    return dcb;
}

} // namespace

TEST(Win32Line, RecordsHandedToTheSystem) {
    DCB d;
    std::memset(&d, 0xAA, sizeof d);
    BuildLineSettings(SerialSettings{}, d);
    DCB expected{};
    expected.DCBlength = 28;
    expected.BaudRate = 9600;
    expected.fBinary = 1;
    expected.fParity = 1;
    expected.fDtrControl = DTR_CONTROL_DISABLE;
    expected.fRtsControl = RTS_CONTROL_ENABLE;
    expected.XonLim = 100;
    expected.XoffLim = 100;
    expected.ByteSize = 8;
    expected.Parity = EVENPARITY;
    expected.StopBits = ONESTOPBIT;
    expected.XonChar = 1;
    expected.XoffChar = 2;
    expected.ErrorChar = 4;
    expected.EofChar = 0;
    expected.EvtChar = 3;
    // Every other member, the reserved ones and the flag bits not listed, is zero.
    EXPECT_EQ(std::memcmp(&d, &expected, sizeof d), 0);

    COMMTIMEOUTS t{};
    BuildTimeouts(SerialTimeouts{}, t);
    EXPECT_EQ(t.ReadIntervalTimeout, 500u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
}

TEST(OnWineCom, WholeTransferByteForByte) {
    RemoteDevice device(DeviceCom, "serial=123456 major=2 minor=5");
    CP02 port;
    port.SetPort(DeviceCom - 1);
    ASSERT_EQ(port.PortName, "\\.\\COM7");
    for (int i = 0; i < SlotCount; ++i) {
        port.SetChannelType(i, (i % 4 == 2) ? Automatic : Manual);
        port.Slots[static_cast<size_t>(i)].Steps = 100u * static_cast<uint32_t>(i) + 3;
    }
    port.Slots[29].Steps = MaxStepCount;
    DialogDouble dialog(&port, 123456);
    dialog.Session.Start();
    dialog.Run();
    ASSERT_EQ(dialog.Boxes.size(), 1u);
    EXPECT_EQ(dialog.Boxes[0].first, "La programmation du ignivelle a réussi.");
    EXPECT_TRUE(dialog.MemoHas("Le numéro de série est : 123456"));
    EXPECT_TRUE(dialog.MemoHas("La version du circuit est 2.5"));

    WireSeq expected;
    expected.Connect().TypeCode("P02");
    for (int i = 0; i < 4; ++i)
        expected.ReadRegister(0xF1 + i, (123456 >> (8 * i)) & 0xFF);
    expected.ReadRegister(0xF5, 2).ReadRegister(0xF6, 5);
    for (int i = 0; i < SlotCount; ++i)
        expected.WriteWord(2 * i, port.ChannelWord(i));
    expected.EndSession();
    ASSERT_TRUE(device.WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(device.Log()), expected.Text());
    auto registers = device.Registers();
    for (int i = 0; i < SlotCount; ++i)
        EXPECT_EQ(registers[static_cast<size_t>(2 * i)] | registers[static_cast<size_t>(2 * i + 1)]
                                                              << 8,
                  port.ChannelWord(i))
            << i;
    EXPECT_TRUE(port.PortOpen()); // kept by the document after a transfer
}

TEST(OnWineCom, BusyAnswerEndsTheSessionAndAsksAgain) {
    RemoteDevice device(DeviceCom, "busy=1");
    CP02 port;
    port.PortName = device.PortName();
    EXPECT_EQ(port.Connect(1), 0);
    EXPECT_EQ(port.Connected, 1);
    WireSeq expected;
    expected.Out(0x80).In(0x85).EndSession().Connect();
    ASSERT_TRUE(device.WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(device.Log()), expected.Text());
}

// The waits for a real time-out: a silent line, and input dropped by the purge.
TEST(OnWineCom, SilentLineTimesOutAfterOneRequest) {
    RemoteDevice device(DeviceCom, "silent");
    CP02 port;
    port.PortName = device.PortName();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Connect(1), NoAnswer);
    double elapsed = Seconds(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, 1.05);
    EXPECT_LT(elapsed, 2.0);
    EXPECT_EQ(port.Connected, 0);
    device.Settle(30);
    EXPECT_EQ(Describe(device.Log()), "> 80");

    int value = 77;
    EXPECT_EQ(port.ReadByte(value), NoAnswer);
    EXPECT_EQ(value, 77);
    device.Order("options"); // answers the release, which would wait otherwise
}

TEST(OnWineCom, PurgeDropsWhatWaitsToBeRead) {
    RemoteDevice device(DeviceCom);
    CP02 port;
    port.PortName = device.PortName();
    ASSERT_EQ(port.OpenPort(), 0);
    ASSERT_EQ(port.WriteByte(0x80), 0);
    device.Settle(50); // the device's 0x81 now waits in our input
    EXPECT_EQ(port.PurgePort(), 0);
    int value = -1;
    EXPECT_EQ(port.ReadByte(value), NoAnswer);
    EXPECT_EQ(port.WriteByte(0x80), 0);
    EXPECT_EQ(port.ReadByte(value), 0);
    EXPECT_EQ(value, 0x81);
}

TEST(OnWineCom, MissingPortIsFileNotFound) {
    ForgetPort(MissingCom);
    CP02 port;
    port.SetPort(MissingCom - 1);
    EXPECT_EQ(port.OpenPort(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(port.LastError, 2);
    EXPECT_EQ(port.Handle, ClosedHandle);
    EXPECT_EQ(ProbePort("\\.\\COM9"), ERROR_FILE_NOT_FOUND);

    RemoteDevice device(OtherCom);
    EXPECT_EQ(ProbePort(device.PortName()), 0);
}

// Windows refuses a second open of a serial port with ERROR_ACCESS_DENIED (5). Wine does not
// check the share mode of devices: the second CreateFileA succeeds there, in one process or in
// two. What the second object's configuring then meets depends on the pseudo-terminal: the line
// is already as asked but for the parity that a pseudo-terminal cannot keep, and a kernel that
// refuses a tcsetattr changing nothing else makes SetCommState fail with
// ERROR_INVALID_PARAMETER (87); an older one lets it pass.
TEST(OnWineCom, PortHeldTwice) {
    RemoteDevice device(DeviceCom, "serial=42");
    CP02 holder;
    holder.PortName = device.PortName();
    ASSERT_EQ(holder.Connect(1), 0);
    {
        CP02 second;
        second.PortName = device.PortName();
        if (RunningUnderWine()) {
            EXPECT_EQ(ProbePort(device.PortName()), 0);
            int32_t code = second.OpenPort();
            EXPECT_TRUE(code == 0 || code == ERROR_INVALID_PARAMETER) << code;
            // Its release would end the holder's session: let the handle go quietly.
            if (second.PortOpen())
                CloseHandle(reinterpret_cast<HANDLE>(second.Handle));
            second.Handle = ClosedHandle;
        } else {
            EXPECT_EQ(ProbePort(device.PortName()), ERROR_ACCESS_DENIED);
            EXPECT_EQ(second.OpenPort(), ERROR_ACCESS_DENIED);
            EXPECT_EQ(second.Handle, ClosedHandle);
        }
    }
    // The holder keeps its session either way.
    uint32_t serial = 0;
    EXPECT_EQ(holder.ReadSerialNumber(serial), 0);
    EXPECT_EQ(serial, 42u);
}

TEST(OnWineCom, OpeningAgainReleasesFirst) {
    RemoteDevice device(DeviceCom);
    CP02 port;
    port.PortName = device.PortName();
    ASSERT_EQ(port.Connect(1), 0);
    EXPECT_EQ(port.OpenPort(), 0);
    EXPECT_EQ(port.Connected, 0);
    EXPECT_EQ(port.Connect(1), 0);
    WireSeq expected;
    expected.Connect().EndSession().Connect();
    ASSERT_TRUE(device.WaitReceived(expected.FromProgram()));
    EXPECT_EQ(Describe(device.Log()), expected.Text());
}

TEST(OnWineCom, LineSettingsAppliedAndPutBack) {
    RemoteDevice device(DeviceCom);
    // Settings no transfer would use, so that a change shows.
    device.Order("setline speed=19200 stop=2 xonxoff=1");
    std::string before = device.Line();
    HANDLE raw = OpenRaw(device.PortName());
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    DCB mine = StateOf(raw);
    CloseHandle(raw);
    EXPECT_EQ(mine.BaudRate, 19200u);
    EXPECT_EQ(mine.StopBits, TWOSTOPBITS);

    CP02 port;
    port.PortName = device.PortName();
    ASSERT_EQ(port.OpenPort(), 0);
    // A pseudo-terminal keeps no parity, whatever was asked: Linux drops it.
    EXPECT_EQ(device.Line(),
              "speed=9600 size=8 parity=none stop=1 crtscts=0 ixon=0 ixoff=0 xon=1 xoff=2");
    EXPECT_EQ(port.ClosePort(), 0);
    EXPECT_EQ(device.Line(), before);

    raw = OpenRaw(device.PortName());
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    DCB after = StateOf(raw);
    CloseHandle(raw);
    EXPECT_EQ(after.BaudRate, mine.BaudRate);
    EXPECT_EQ(after.StopBits, mine.StopBits);
    EXPECT_EQ(after.ByteSize, mine.ByteSize);
    EXPECT_EQ(after.fOutX, mine.fOutX);
    EXPECT_EQ(after.fInX, mine.fInX);
    EXPECT_EQ(after.XonChar, mine.XonChar);
    EXPECT_EQ(after.XoffChar, mine.XoffChar);
}

// Wine keeps time-outs with the handle, not with the port, so they are looked at before the
// handle goes: the port's own, ours while open, the port's own again after the release.
TEST(OnWineCom, TimeoutsAppliedAndPutBack) {
    RemoteDevice device(DeviceCom);
    Win32SerialLine line;
    PortHandle handle = ClosedHandle;
    ASSERT_EQ(line.Open(device.PortName(), handle), 0);
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    COMMTIMEOUTS own{7, 8, 9, 10, 11};
    ASSERT_TRUE(SetCommTimeouts(h, &own));

    SavedSerialSettings savedSettings;
    SavedSerialTimeouts savedTimeouts;
    ASSERT_EQ(
        line.Configure(handle, SerialSettings{}, SerialTimeouts{}, savedSettings, savedTimeouts),
        0);
    COMMTIMEOUTS now{};
    ASSERT_TRUE(GetCommTimeouts(h, &now));
    EXPECT_EQ(now.ReadIntervalTimeout, 500u);
    EXPECT_EQ(now.ReadTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(now.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(now.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(now.WriteTotalTimeoutConstant, 1000u);

    EXPECT_EQ(line.Restore(handle, savedSettings, savedTimeouts), 0);
    ASSERT_TRUE(GetCommTimeouts(h, &now));
    EXPECT_EQ(std::memcmp(&now, &own, sizeof own), 0);
    EXPECT_EQ(line.Close(handle), 0);
}
