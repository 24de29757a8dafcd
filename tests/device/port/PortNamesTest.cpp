// Which device a COM name opens, what the port dialog says it reaches, the probe, and why an
// open failed.

#include "DeviceTestSupport.h"
#include "device/port/PortTexts.h"
#include "device/port/PosixSerialLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // A tty below a device of sysfs, as the kernel links them.
    void SysTty(const std::string& name, const std::string& devicePath) {
        fs::create_directories(Roots.Sys + "/devices/" + devicePath);
        fs::create_directories(Roots.Sys + "/class/tty/" + name);
        fs::create_directory_symlink(Roots.Sys + "/devices/" + devicePath,
                                     Roots.Sys + "/class/tty/" + name + "/device");
    }
    // A USB serial adapter: the USB device with its strings, the interface, the port.
    void UsbAdapter(const std::string& name, const std::string& usb, const std::string& maker,
                    const std::string& product) {
        Device(name);
        std::string port = "pci0000:00/0000:00:14.0/usb1/" + usb + "/" + usb + ":1.0/" + name;
        SysTty(name, port);
        std::string device = Roots.Sys + "/devices/pci0000:00/0000:00:14.0/usb1/" + usb;
        std::ofstream(device + "/idVendor") << "067b\n";
        std::ofstream(device + "/idProduct") << "2303\n";
        if (!maker.empty())
            std::ofstream(device + "/manufacturer") << maker << "\n";
        if (!product.empty())
            std::ofstream(device + "/product") << product << "\n";
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

namespace {

// A pseudo-terminal of our own; its slave is a real device node.
struct Pty {
    int Master = posix_openpt(O_RDWR | O_NOCTTY);
    std::string Slave;
    Pty() {
        EXPECT_GE(Master, 0);
        EXPECT_EQ(grantpt(Master), 0);
        EXPECT_EQ(unlockpt(Master), 0);
        Slave = ptsname(Master);
    }
    ~Pty() { close(Master); }
};

} // namespace

TEST(PortTexts, EachComSaysWhatItReaches) {
    FakeMachine m;
    m.LegacyPort("ttyS0", 4);
    m.SysTty("ttyS0", "pnp0/00:01");
    m.UsbAdapter("ttyUSB0", "1-2", "FTDI", "FT232R USB UART");
    m.UsbAdapter("ttyUSB1", "1-3", "", ""); // an adapter without strings
    m.UsbAdapter("ttyACM0", "1-4", "", "Ignivelle USB");
    m.Link(4, "/dev/salvodesk-unplugged");
    m.Link(5, m.Roots.Dev + "/ttyACM0");
    Pty pty;
    m.Link(6, pty.Slave);

    const std::pair<int, std::string> cases[] = {
        {1, "ttyS0 : port série intégré"},
        {2, "ttyUSB0 : FTDI FT232R USB UART"},
        {3, "ttyUSB1 : adaptateur USB 067b:2303"},
        {4, "absent"},
        {5, "ttyACM0 : Ignivelle USB"},
        {6, pty.Slave + " : pseudo-terminal"},
        {7, "absent"},
    };
    for (const auto& [number, text] : cases)
        EXPECT_EQ(DescribeComPort(number, m.Roots), text) << "COM" << number;
}

TEST(PortTexts, OpenFailuresSayWhy) {
    FakeMachine m;
    m.LegacyPort("ttyS0", 4); // a plain file: not a terminal
    m.Link(3, "/dev/salvodesk-unplugged");
    Pty pty;
    m.Link(2, pty.Slave);
    PosixSerialLine holder(m.Roots); // another document holding COM2
    PortHandle held = ClosedHandle;
    ASSERT_EQ(holder.Open("\\.\\COM2", held), 0);

    int other = ProbePort("\\.\\COM1", m.Roots);
    ASSERT_EQ(other, ENOTTY);
    const std::pair<int, std::string> cases[] = {
        {4, "Le port COM4 est absent : aucun port série ne lui correspond (adaptateur "
            "débranché ?)."},
        {3, "Le port COM3 est absent : le lien ~/.config/salvodesk/ports/COM3 mène à "
            "/dev/salvodesk-unplugged, qui n'existe pas."},
        {2, "Le port COM2 (" + pty.Slave +
                ") est occupé par un autre programme ou par un autre document."},
        {1, std::string("Le port COM1 (ttyS0) n'a pas pu être ouvert : ") + std::strerror(ENOTTY) +
                " (erreur " + std::to_string(ENOTTY) + ")."},
    };
    for (const auto& [number, text] : cases) {
        std::string name = "\\.\\COM" + std::to_string(number);
        int error = number == 1 ? other : ProbePort(name, m.Roots);
        EXPECT_EQ(PortOpenFailureText(error, name, m.Roots), text) << name;
    }
    EXPECT_TRUE(PortIsAbsent(ENXIO) && PortIsAbsent(ENODEV) && !PortIsAbsent(EBUSY));
    holder.Close(held);
}

TEST(PortTexts, RefusedAccessNamesTheGroupToJoin) {
    FakeMachine m;
    fs::permissions(m.Dir.Path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    Pty pty;
    m.Link(1, pty.Slave);
    int error = 0;
    if (geteuid() == 0) {
        // As root nothing is refused: the node goes to the serial group and the open is tried
        // by an unprivileged child.
        const group* dialout = getgrnam("dialout");
        ASSERT_NE(dialout, nullptr);
        ASSERT_EQ(chown(pty.Slave.c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(chmod(pty.Slave.c_str(), 0660), 0);
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        pid_t child = fork();
        if (child == 0) {
            int result = -1;
            if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0)
                result = ProbePort("\\.\\COM1", m.Roots);
            ssize_t ignored = write(pipeEnds[1], &result, sizeof result);
            (void)ignored;
            _exit(0);
        }
        close(pipeEnds[1]);
        ASSERT_EQ(read(pipeEnds[0], &error, sizeof error), ssize_t(sizeof error));
        close(pipeEnds[0]);
        waitpid(child, nullptr, 0);
    } else {
        ASSERT_EQ(chmod(pty.Slave.c_str(), 0), 0);
        error = ProbePort("\\.\\COM1", m.Roots);
    }
    ASSERT_EQ(error, EACCES);
    std::string text = PortOpenFailureText(error, "\\.\\COM1", m.Roots);
    EXPECT_EQ(text, "Accès refusé au port COM1 (" + pty.Slave +
                        ") : ajoutez votre compte au groupe dialout (sudo usermod -aG dialout "
                        "$USER), puis reconnectez-vous.");
}
