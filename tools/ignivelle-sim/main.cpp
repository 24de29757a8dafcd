// ignivelle-sim: plays an Ignivelle on a pseudo-terminal so that a transfer can be rehearsed
// without hardware. Prints the serial port to open, logs every byte, and shows the channel
// registers when it stops (Ctrl+C).

#include "IgnivelleSim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const Usage =
    "Usage: ignivelle-sim [options]\n"
    "Plays an Ignivelle firing device on a pseudo-terminal and prints the port to open.\n"
    "\n"
    "  --model N            0 Ignivelle (P01), 1 Ignivelle SII (P03), 2 Ignivelle V30 (P02);\n"
    "                       default 2\n"
    "  --serial N           serial number, 0 to 4294967295; default 0\n"
    "  --version MAJ.MIN    circuit version; default 1.0\n"
    "  --load FILE.tir      hold that program: its model, serial number and channels (the\n"
    "                       options --model, --serial and --words still take precedence)\n"
    "  --words W1,W2,...    hold these channel words from channel 1 on, in hex: 0000 manual\n"
    "                       at 0 s, 8001 automatic 0.2 s after the channel before; up to 30\n"
    "  --link NAME          also make the link NAME to the port: COM1 to COM10 go into\n"
    "                       ~/.config/salvodesk/ports, a path is taken as it is\n"
    "  --pace               run the line at the pace of 9600 baud 8E1, both ways\n"
    "  --quiet              do not log bytes\n"
    "Faults:\n"
    "  --type-code XXX      report this type code instead of the model's\n"
    "  --silent             answer nothing\n"
    "  --busy N|forever     answer 0x85 to the first N connect requests (or to all)\n"
    "  --nak N              refuse the N-th register write (answer 0x85)\n"
    "  --garbage            send digits that are not hex digits\n"
    "  --silent-after N     fall silent once N bytes have come in\n"
    "  --hang-up-after N    hang up when a byte comes in after N bytes\n"
    "  --come-back MS       after a hang-up, come back on a new line after MS milliseconds\n";

bool ParseNumber(const char* text, unsigned long long max, unsigned long long& value) {
    if (!text || !*text)
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && *end == '\0' && text[0] != '-' && value <= max;
}

// Hex words separated by commas, at most MaxWords of them.
bool ParseWords(const std::string& text, std::vector<uint16_t>& words) {
    words.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        errno = 0;
        unsigned long value = std::strtoul(item.c_str(), &end, 16);
        if (item.empty() || item.size() > 4 || *end != '\0' || errno != 0 ||
            words.size() == salvo::sim::MaxWords)
            return false;
        words.push_back(static_cast<uint16_t>(value));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "ignivelle-sim: " << message << "\n\n" << Usage;
    std::exit(2);
}

std::string LinkPathFor(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    const char* home = std::getenv("HOME");
    std::string folder = std::string(home ? home : "") + "/.config/salvodesk/ports";
    // Create the folder step by step, as mkdir -p would.
    std::string partial;
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') {
            partial = folder.substr(0, i);
            mkdir(partial.c_str(), 0755);
        }
    }
    return folder + "/" + name;
}

} // namespace

int main(int argc, char** argv) {
    salvo::sim::DeviceOptions options;
    std::string link;
    std::string load;
    bool quiet = false;
    // Given on the command line, they win over what a loaded program says.
    bool modelGiven = false, serialGiven = false, wordsGiven = false;
    std::vector<uint16_t> words;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        unsigned long long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        } else if (arg == "--model") {
            if (!ParseNumber(next(), 2, n))
                Fail("--model takes 0, 1 or 2");
            options.Model = static_cast<int>(n);
            modelGiven = true;
        } else if (arg == "--serial") {
            if (!ParseNumber(next(), 0xFFFFFFFFull, n))
                Fail("--serial takes a number from 0 to 4294967295");
            options.SerialNumber = static_cast<uint32_t>(n);
            serialGiven = true;
        } else if (arg == "--load") {
            load = next();
        } else if (arg == "--words") {
            if (!ParseWords(next(), words))
                Fail("--words takes up to 30 hex words separated by commas");
            wordsGiven = true;
        } else if (arg == "--version") {
            std::string v = next();
            size_t dot = v.find('.');
            unsigned long long major = 0;
            unsigned long long minor = 0;
            if (dot == std::string::npos || !ParseNumber(v.substr(0, dot).c_str(), 255, major) ||
                !ParseNumber(v.substr(dot + 1).c_str(), 255, minor))
                Fail("--version takes MAJOR.MINOR, each 0 to 255");
            options.VersionMajor = static_cast<uint8_t>(major);
            options.VersionMinor = static_cast<uint8_t>(minor);
        } else if (arg == "--link") {
            link = next();
        } else if (arg == "--pace") {
            options.Pace = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--type-code") {
            options.TypeCode = next();
        } else if (arg == "--silent") {
            options.Silent = true;
        } else if (arg == "--busy") {
            std::string v = next();
            if (v == "forever")
                options.BusyAnswers = -1;
            else if (ParseNumber(v.c_str(), 1000000, n))
                options.BusyAnswers = static_cast<int>(n);
            else
                Fail("--busy takes a number or forever");
        } else if (arg == "--nak") {
            if (!ParseNumber(next(), 1000000, n) || n == 0)
                Fail("--nak takes a number from 1");
            options.NakWrite = static_cast<int>(n);
        } else if (arg == "--garbage") {
            options.GarbageDigits = true;
        } else if (arg == "--silent-after") {
            if (!ParseNumber(next(), 1000000000, n))
                Fail("--silent-after takes a number");
            options.SilentAfter = static_cast<long>(n);
        } else if (arg == "--hang-up-after") {
            if (!ParseNumber(next(), 1000000000, n))
                Fail("--hang-up-after takes a number");
            options.HangUpAfter = static_cast<long>(n);
        } else if (arg == "--come-back") {
            if (!ParseNumber(next(), 3600000, n))
                Fail("--come-back takes milliseconds");
            options.ComeBackAfterMs = static_cast<int>(n);
        } else {
            Fail("unknown option " + arg);
        }
    }

    if (!load.empty()) {
        salvo::sim::DeviceOptions loaded = options;
        std::string error = salvo::sim::LoadProgramFile(load, loaded);
        if (!error.empty())
            Fail(load + ": " + error);
        if (!modelGiven)
            options.Model = loaded.Model;
        if (!serialGiven)
            options.SerialNumber = loaded.SerialNumber;
        options.Words = loaded.Words;
    }
    if (wordsGiven)
        options.Words = words;

    // Ctrl+C and termination are taken by sigwait below, not by a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    salvo::sim::SimulatedDevice device(options);
    auto start = std::chrono::steady_clock::now();
    if (!quiet) {
        device.OnByte([start](const salvo::sim::ByteRecord& r) {
            double t = std::chrono::duration<double>(r.Time - start).count();
            char c = (r.Value >= 0x20 && r.Value < 0x7F) ? static_cast<char>(r.Value) : ' ';
            std::fprintf(stderr, "%10.3f %s 0x%02X %c\n", t, r.FromProgram ? "->" : "<-", r.Value,
                         c);
        });
    }
    if (int e = device.Start()) {
        std::cerr << "ignivelle-sim: cannot open a pseudo-terminal: " << std::strerror(e) << "\n";
        return 1;
    }
    std::cout << device.SlavePath() << std::endl;
    if (!link.empty()) {
        std::string path = LinkPathFor(link);
        if (int e = device.LinkAs(path)) {
            std::cerr << "ignivelle-sim: cannot make the link " << path << ": " << std::strerror(e)
                      << "\n";
            return 1;
        }
        std::cout << path << " -> " << device.SlavePath() << std::endl;
    }

    int signal = 0;
    sigwait(&signals, &signal);
    device.Stop();

    auto registers = device.Registers();
    int channels = options.Model == 2 ? 30 : 15;
    std::cout << "Channel words in the registers:\n";
    for (int i = 0; i < channels; ++i) {
        unsigned word = registers[static_cast<size_t>(2 * i)] |
                        (registers[static_cast<size_t>(2 * i + 1)] << 8);
        std::printf("  %2d  0x%04X  %s %u steps\n", i + 1, word,
                    (word & 0x8000) ? "automatic" : "manual   ", word & 0x7FFF);
    }
    return 0;
}
