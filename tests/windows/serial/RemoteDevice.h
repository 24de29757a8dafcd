#pragma once
// The simulated device as seen from a test under Wine: it runs in wine-sim-host, a Linux
// process that links its pseudo-terminal into the prefix as COMn and takes orders over a
// loopback connection named by SALVODESK_SIM_HOST ("127.0.0.1:port", set by
// scripts/test-windows).

#include "DeviceTestSupport.h"

#include <array>
#include <cstdint>
#include <string>

namespace salvo::test {

class RemoteDevice {
public:
    // Starts a device linked as COM<com>, with the host's option words ("serial=7 silent").
    explicit RemoteDevice(int com, const std::string& options = "");
    ~RemoteDevice();
    RemoteDevice(const RemoteDevice&) = delete;
    RemoteDevice& operator=(const RemoteDevice&) = delete;

    // "\.\COM<com>", the program's own name for the port (PortNameTable's form).
    std::string PortName() const;

    // Sends one order and returns the answer without its "ok"; a refused order fails the test.
    std::string Order(const std::string& order);

    WireLog Log();
    bool WaitReceived(size_t count);
    void Settle(int quietMs = 30);
    void ClearLog() { Order("clear"); }
    std::array<uint8_t, 256> Registers();
    // The pseudo-terminal's settings as Linux reports them: "speed=9600 size=8 ...".
    std::string Line() { return Order("line"); }

private:
    bool Send(const std::string& line, std::string& answer);

    int Com;
    uintptr_t Socket;
    std::string Pending;
};

// Takes COM<com> away from the prefix, so that opening it finds nothing.
void ForgetPort(int com);

// True under Wine, which behaves unlike Windows in a few places (see the tests).
bool RunningUnderWine();

} // namespace salvo::test
