#include "RemoteDevice.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <cstdlib>
#include <gtest/gtest.h>

namespace salvo::test {

namespace {

SOCKET Connect() {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* host = std::getenv("SALVODESK_SIM_HOST");
    if (!started || !host) {
        ADD_FAILURE() << "SALVODESK_SIM_HOST is not set: run these tests with scripts/test-windows";
        return INVALID_SOCKET;
    }
    std::string text = host;
    size_t colon = text.rfind(':');
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(text.c_str() + colon + 1)));
    inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ADD_FAILURE() << "no simulated device at " << text;
        if (s != INVALID_SOCKET)
            closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

} // namespace

RemoteDevice::RemoteDevice(int com, const std::string& options)
    : Com(com), Socket(static_cast<uintptr_t>(Connect())) {
    Order("start com=" + std::to_string(com) + " " + options);
}

RemoteDevice::~RemoteDevice() {
    std::string ignored;
    if (Socket != static_cast<uintptr_t>(INVALID_SOCKET)) {
        Send("stop", ignored);
        closesocket(static_cast<SOCKET>(Socket));
    }
}

std::string RemoteDevice::PortName() const {
    return "\\.\\COM" + std::to_string(Com);
}

bool RemoteDevice::Send(const std::string& line, std::string& answer) {
    SOCKET s = static_cast<SOCKET>(Socket);
    if (s == INVALID_SOCKET)
        return false;
    std::string out = line + "\n";
    if (send(s, out.data(), static_cast<int>(out.size()), 0) != static_cast<int>(out.size()))
        return false;
    for (;;) {
        size_t end = Pending.find('\n');
        if (end != std::string::npos) {
            answer = Pending.substr(0, end);
            Pending.erase(0, end + 1);
            return true;
        }
        char buffer[1024];
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        Pending.append(buffer, static_cast<size_t>(n));
    }
}

std::string RemoteDevice::Order(const std::string& order) {
    std::string answer;
    if (!Send(order, answer)) {
        ADD_FAILURE() << "the simulated device did not answer " << order;
        return {};
    }
    if (answer.compare(0, 2, "ok") != 0) {
        ADD_FAILURE() << order << ": " << answer;
        return {};
    }
    return answer.size() > 3 ? answer.substr(3) : std::string();
}

WireLog RemoteDevice::Log() {
    WireLog log;
    std::string text = Order("log");
    for (size_t i = 0; i + 3 <= text.size(); i += 4)
        log.emplace_back(text[i] == '>', static_cast<uint8_t>(std::strtoul(
                                             text.substr(i + 1, 2).c_str(), nullptr, 16)));
    return log;
}

bool RemoteDevice::WaitReceived(size_t count) {
    std::string answer;
    return Send("wait " + std::to_string(count), answer) && answer == "ok";
}

void RemoteDevice::Settle(int quietMs) {
    Order("settle " + std::to_string(quietMs));
}

std::array<uint8_t, 256> RemoteDevice::Registers() {
    std::array<uint8_t, 256> registers{};
    std::string text = Order("registers");
    for (size_t i = 0; i < registers.size() && 2 * i + 1 < text.size(); ++i)
        registers[i] =
            static_cast<uint8_t>(std::strtoul(text.substr(2 * i, 2).c_str(), nullptr, 16));
    return registers;
}

void ForgetPort(int com) {
    SOCKET s = Connect();
    if (s == INVALID_SOCKET)
        return;
    std::string order = "unlink com=" + std::to_string(com) + "\n";
    char answer[64] = {};
    send(s, order.data(), static_cast<int>(order.size()), 0);
    int n = recv(s, answer, sizeof answer - 1, 0);
    EXPECT_GT(n, 0);
    EXPECT_EQ(std::string(answer, 2), "ok");
    closesocket(s);
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace salvo::test
