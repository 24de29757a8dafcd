#include "device/port/PortTexts.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

namespace salvo {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> Canonical(const fs::path& path) {
    std::error_code error;
    fs::path found = fs::canonical(path, error);
    if (error)
        return std::nullopt;
    return found;
}

bool IsUnder(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
        if (p == path.end() || *p != *f)
            return false;
    return true;
}

// The device's name as users know it: relative to /dev ("ttyUSB0", "pts/3"), else its path.
std::string DeviceName(const fs::path& device, const PortRoots& roots) {
    if (auto dev = Canonical(roots.Dev); dev && IsUnder(device, *dev))
        return device.lexically_relative(*dev).string();
    return device.string();
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
        line.pop_back();
    return line;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool IsPseudoTerminal(const fs::path& device, const std::string& name) {
    struct stat st {};
    if (stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
        unsigned int m = major(st.st_rdev);
        if ((m >= 136 && m <= 143) || m == 2 || m == 3)
            return true;
    }
    return StartsWith(name, "pts/");
}

// Maker and product of the USB device that a tty hangs from, as sysfs names them.
std::optional<std::string> UsbAdapterName(const std::string& tty, const PortRoots& roots) {
    auto sys = Canonical(roots.Sys);
    auto device = Canonical(fs::path(roots.Sys) / "class/tty" / tty / "device");
    if (!sys || !device)
        return std::nullopt;
    // A USB serial port sits below its interface, which sits below the USB device.
    for (fs::path p = *device; IsUnder(p, *sys) && p != *sys; p = p.parent_path()) {
        if (!fs::exists(p / "idVendor"))
            continue;
        std::string maker = FirstLine(p / "manufacturer");
        std::string product = FirstLine(p / "product");
        if (maker.empty() && product.empty())
            return "adaptateur USB " + FirstLine(p / "idVendor") + ":" + FirstLine(p / "idProduct");
        if (maker.empty() || product.empty())
            return maker + product;
        return maker + " " + product;
    }
    return std::nullopt;
}

std::string Describe(const fs::path& device, const PortRoots& roots) {
    std::string name = DeviceName(device, roots);
    if (IsPseudoTerminal(device, name))
        return name + " : pseudo-terminal";
    std::string tty = device.filename().string();
    if (auto usb = UsbAdapterName(tty, roots))
        return name + " : " + *usb;
    if (StartsWith(tty, "ttyUSB") || StartsWith(tty, "ttyACM"))
        return name + " : adaptateur USB";
    std::error_code error;
    if (fs::exists(fs::path(roots.Sys) / "class/tty" / tty / "device", error))
        return name + " : port série intégré";
    return name;
}

// "~/..." for a path in the user's home folder.
std::string Shown(const std::string& path, const PortRoots& roots) {
    if (!roots.Home.empty() && path.size() > roots.Home.size() &&
        path.compare(0, roots.Home.size(), roots.Home) == 0 && path[roots.Home.size()] == '/')
        return "~" + path.substr(roots.Home.size());
    return path;
}

// The group that may open the device, "dialout" when the node says nothing better.
std::string DeviceGroup(const fs::path& device) {
    struct stat st {};
    if (stat(device.c_str(), &st) != 0 || st.st_gid == 0 || (st.st_mode & S_IRWXG) == 0)
        return "dialout";
    struct group entry {};
    struct group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->gr_name && *found->gr_name)
        return found->gr_name;
    return "dialout";
}

} // namespace

bool PortIsAbsent(int error) {
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

std::string DescribeComPort(int number, const PortRoots& roots) {
    std::string path = ResolvePortName("\\.\\COM" + std::to_string(number), roots);
    auto device = Canonical(path);
    if (!device)
        return "absent";
    return Describe(*device, roots);
}

std::string DescribeComPort(int number) {
    return DescribeComPort(number, DefaultPortRoots());
}

std::string PortOpenFailureText(int error, const std::string& portName, const PortRoots& roots) {
    int number = ComPortNumber(portName);
    std::string path = ResolvePortName(portName, roots);
    auto device = Canonical(path);
    std::string port = number ? "COM" + std::to_string(number) : portName;
    if (number && device)
        port += " (" + DeviceName(*device, roots) + ")";

    if (PortIsAbsent(error)) {
        struct stat st {};
        if (number && !device && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            std::error_code ignored;
            return "Le port " + port + " est absent : le lien " + Shown(path, roots) + " mène à " +
                   fs::read_symlink(path, ignored).string() + ", qui n'existe pas.";
        }
        if (device)
            return "Le port " + port + " est absent : aucun appareil ne répond derrière " +
                   DeviceName(*device, roots) + ".";
        return "Le port " + port +
               " est absent : aucun port série ne lui correspond (adaptateur débranché ?).";
    }
    if (error == EBUSY)
        return "Le port " + port + " est occupé par un autre programme ou par un autre document.";
    if (error == EACCES || error == EPERM) {
        std::string group = DeviceGroup(device ? *device : fs::path(path));
        return "Accès refusé au port " + port + " : ajoutez votre compte au groupe " + group +
               " (sudo usermod -aG " + group + " $USER), puis reconnectez-vous.";
    }
    return "Le port " + port + " n'a pas pu être ouvert : " + std::strerror(error) + " (erreur " +
           std::to_string(error) + ").";
}

std::string PortOpenFailureText(int error, const std::string& portName) {
    return PortOpenFailureText(error, portName, DefaultPortRoots());
}

} // namespace salvo
