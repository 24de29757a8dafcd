// Which device a COM name opens, and the probe of the port selection dialog.

#include "DeviceTestSupport.h"
#include "PosixSerialLine.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>

using namespace salvo;
using namespace salvo::test;
namespace fs = std::filesystem;

namespace {

// A fake machine: a home folder, a /dev and a /sys.
struct FakeMachine {
    TempDir Dir;
    PortRoots Roots;
    FakeMachine() {
        Roots = PortRoots{(Dir.Path() / "home").string(), (Dir.Path() / "dev").string(),
                          (Dir.Path() / "sys").string()};
        fs::create_directories(Roots.Home);
        fs::create_directories(Roots.Dev);
        fs::create_directories(Roots.Sys + "/class/tty");
    }
    void Device(const std::string& name) { std::ofstream(Roots.Dev + "/" + name) << ""; }
    // A legacy port with its UART type as the kernel reports it (0: nothing there).
    void LegacyPort(const std::string& name, int type) {
        Device(name);
        fs::create_directories(Roots.Sys + "/class/tty/" + name);
        std::ofstream(Roots.Sys + "/class/tty/" + name + "/type") << type << "\n";
    }
    void Link(int number, const std::string& target) {
        fs::create_directories(PortLinkFolder(Roots));
        fs::create_symlink(target, PortLinkFolder(Roots) + "/COM" + std::to_string(number));
    }
    std::string Resolve(const std::string& name) const {
        std::string path = ResolvePortName(name, Roots);
        // Relative to the fake root, so the cases read short.
        std::string root = Dir.Path().string() + "/";
        return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
    }
};

} // namespace

TEST(PortNames, ComNamesOnly) {
    const std::pair<const char*, int> cases[] = {
        {"\\.\\COM1", 1},  {"\\.\\COM10", 10}, {"\\.\\COM255", 255}, {"\\.\\COM0", 0},
        {"\\.\\COM01", 0}, {"COM1", 0},        {"\\.\\COM", 0},      {"\\.\\com1", 0},
        {"/dev/pts/3", 0}, {"\\.\\COM1x", 0}};
    for (auto [name, number] : cases)
        EXPECT_EQ(ComPortNumber(name), number) << name;
}

TEST(PortNames, LinksThenPresentDevicesInOrderThenNothing) {
    FakeMachine m;
    m.LegacyPort("ttyS0", 4);
    m.LegacyPort("ttyS1", 0); // registered by the driver, no UART behind it
    m.Device("ttyS2");        // nothing in /sys about it
    m.LegacyPort("ttyS10", 4);
    m.Device("ttyUSB1");
    m.Device("ttyUSB0");
    m.Device("ttyUSB10");
    m.Device("ttyACM0");
    m.Device("ttyUSB");
    m.Device("ttySX");
    m.Device("console");
    m.Link(3, "/dev/ttyUSB7");

    const std::pair<const char*, const char*> cases[] = {
        {"\\.\\COM1", "dev/ttyS0"},
        {"\\.\\COM2", "dev/ttyS10"},
        {"\\.\\COM3", "home/.config/salvodesk/ports/COM3"}, // the link, even to a missing device
        {"\\.\\COM4", "dev/ttyUSB1"},
        {"\\.\\COM5", "dev/ttyUSB10"},
        {"\\.\\COM6", "dev/ttyACM0"},
        {"\\.\\COM7", "home/.config/salvodesk/ports/COM7"},
        {"/dev/pts/4", "/dev/pts/4"},
    };
    for (auto [name, path] : cases)
        EXPECT_EQ(m.Resolve(name), path) << name;
}

TEST(PortNames, LaptopWithOneUsbAdapterFindsItAsCom1) {
    FakeMachine m;
    for (int i = 0; i < 4; ++i)
        m.LegacyPort("ttyS" + std::to_string(i), 0);
    m.Device("ttyUSB0");
    EXPECT_EQ(m.Resolve("\\.\\COM1"), "dev/ttyUSB0");
    EXPECT_EQ(ProbePort("\\.\\COM2", m.Roots), ENOENT);
}

TEST(PortNames, ProbeOpensAsTheTransferDoesAndLetsGo) {
    FakeMachine m;
    auto device = StartSimulator();
    m.Link(1, device->SlavePath());
    m.Link(3, "/dev/salvodesk-unplugged");
    EXPECT_EQ(ProbePort("\\.\\COM1", m.Roots), 0);
    EXPECT_EQ(ProbePort("\\.\\COM2", m.Roots), ENOENT);
    EXPECT_EQ(ProbePort("\\.\\COM3", m.Roots), ENOENT);

    CP02 holder(std::make_unique<PosixSerialLine>(m.Roots));
    holder.SetPort(0);
    ASSERT_EQ(holder.Connect(1), 0);
    EXPECT_EQ(ProbePort("\\.\\COM1", m.Roots), EBUSY);
    // The probe took nothing from the holder.
    int value = 1;
    EXPECT_EQ(holder.ReadRegister(0x10, value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(holder.ClosePort(), 0);
    EXPECT_EQ(ProbePort("\\.\\COM1", m.Roots), 0);
}

TEST(PortNames, DefaultRootsCanBeRedirected) {
    FakeMachine m;
    auto device = StartSimulator();
    m.Link(2, device->SlavePath());
    SetDefaultPortRoots(m.Roots);
    EXPECT_EQ(ProbePort("\\.\\COM2"), 0);
    CP02 port; // keeps the default "\\.\COM2"
    EXPECT_EQ(port.Connect(1), 0);
    ResetDefaultPortRoots();
}
