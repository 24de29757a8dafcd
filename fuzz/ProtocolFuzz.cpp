// A whole transfer session, then single protocol operations, against a device whose answers
// come from the input: either the simulated device's engine with some answers dropped, changed,
// doubled or replaced by a read error, or nothing but random bytes. The line is the in-memory
// scripted one with a fake clock, so a time-out costs no real time and every budget is checked
// on that clock. Rules checked:
// - every tick, ending and operation returns within the time-out budget of its reads;
// - every operation returns a known code;
// - no register is written before the model, the serial number and the version were read, and
//   no more than the document's channels;
// - the search left, the session reaches an ending within the ticks it has, and exactly one;
// - "Annuler" leaves the port as the search had it (a port that failed outright was let go, to
//   be opened again when it comes back), "Quitter" releases it;
// - once the device behaves again, the same port carries a whole transfer.

#include "DeviceTestSupport.h"
#include "FuzzCheck.h"
#include "SessionDouble.h"
#include "device/TransferSession.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using namespace salvo;
using namespace salvo::test;

namespace {

constexpr uint64_t ReadBudget = 1100;
// A connect attempt that starts just before the deadline: 10 ms, then a read that times out
// (or a 0x85 and an end of session whose reply times out).
constexpr uint64_t ConnectBudget = 1000 + 10 + ReadBudget;

class Input {
public:
    Input(const uint8_t* data, size_t size) : Data(data), Size(size) {}
    bool Empty() const { return Pos >= Size; }
    uint8_t Take(uint8_t whenEmpty = 0) { return Pos < Size ? Data[Pos++] : whenEmpty; }

private:
    const uint8_t* Data;
    size_t Size;
    size_t Pos = 0;
};

bool KnownCode(int32_t code) {
    switch (code) {
    case Success:
    case NoSession:
    case NoAnswer:
    case WriteNotAcknowledged:
    case PortNotOpen:
    case OtherModel:
    case IndexOutOfRange:
    case EIO:
        return true;
    default:
        return false;
    }
}

struct Harness {
    std::shared_ptr<LineState> State = std::make_shared<LineState>();
    std::shared_ptr<sim::DeviceEngine> Engine;
    std::unique_ptr<CP02> Port = MemoryPort(State);
    DialogDouble* Dialog = nullptr;
    bool RandomDevice = false;
    bool Tampered = false; // an answer differed from the engine's
    bool IdentityShown = false;
    int RegisterWrites = 0;

    // What the device does with each byte the program writes.
    void Answer(Input& in, uint8_t byte) {
        if (byte == Wire::WriteRequest) {
            // Channels go out only in the data step, after the device was identified.
            FUZZ_CHECK(Dialog == nullptr ||
                       (Dialog->Session.TransferState == StepData && IdentityShown));
            ++RegisterWrites;
        }
        std::vector<uint8_t> replies = Engine->Receive(byte);
        auto push = [this](int b, int error = 0) { State->Inbox.push_back(Reply{b, error}); };
        if (RandomDevice) {
            uint8_t c = in.Take(0);
            if (c >= 250) {
                push(-1, EIO);
            } else {
                for (int k = 0; k < c % 3; ++k)
                    push(in.Take());
            }
            return;
        }
        uint8_t c = in.Take(0);
        if (c < 160) {
            for (uint8_t r : replies)
                push(r);
            return;
        }
        Tampered = true;
        if (c < 192)
            return; // silence
        if (c < 224) {
            for (size_t k = 0; k < replies.size(); ++k)
                push(in.Take());
        } else if (c < 240) {
            for (uint8_t r : replies)
                push(r);
            push(in.Take());
        } else if (c < 248) {
            push(-1, EIO);
        } else {
            State->WriteError = EIO; // until the next step
        }
    }

    // Runs f and checks it returned within budget milliseconds of the fake clock.
    template <class F> void Within(uint64_t budget, F f) {
        uint64_t before = State->Time->Now;
        f();
        FUZZ_CHECK(State->Time->Now - before <= budget);
    }
};

// One session from the connect button to its ending, or to cancel or quit during the search.
void RunSession(Harness& h, Input& in, DialogDouble& dialog, bool mayLeave) {
    dialog.Session.Start();
    FUZZ_CHECK(dialog.TimerOn);
    h.IdentityShown = false;
    size_t shownBefore = dialog.Memo.size();
    int searchTicks = 0;
    int ticksAfterSearch = 0;
    int endings = 0;
    for (;;) {
        h.State->WriteError = 0;
        if (!dialog.Posted.empty()) {
            int ending = dialog.Posted.front();
            dialog.Posted.pop_front();
            FUZZ_CHECK(!dialog.TimerOn);
            ++endings;
            h.Within(ReadBudget, [&] {
                if (ending < 0)
                    dialog.Session.SessionSucceeded();
                else
                    dialog.Session.SessionFailed(static_cast<SessionFailure>(ending));
            });
            continue;
        }
        if (!dialog.TimerOn)
            break;
        int32_t step = dialog.Session.TransferState;
        if (step == StepSearch) {
            if (mayLeave && ++searchTicks > 6) {
                bool quit = in.Take() & 1;
                const bool wasOpen = h.Port->PortOpen();
                h.Within(2 * ReadBudget, [&] {
                    if (quit)
                        dialog.Session.Quit();
                    else
                        dialog.Session.Cancel();
                });
                FUZZ_CHECK(!dialog.TimerOn && dialog.Closings > 0);
                FUZZ_CHECK(h.Port->PortOpen() == (!quit && wasOpen));
                return;
            }
            h.Within(ConnectBudget, [&] { dialog.Session.Tick(); });
        } else {
            FUZZ_CHECK(++ticksAfterSearch <= 2 + SlotCount + 1);
            h.Within(ReadBudget, [&] { dialog.Session.Tick(); });
        }
        for (size_t k = shownBefore; k < dialog.Memo.size(); ++k)
            h.IdentityShown =
                h.IdentityShown || dialog.Memo[k].rfind("La version du circuit est ", 0) == 0;
        shownBefore = dialog.Memo.size();
    }
    // Left the search: exactly one ending, and it shows.
    FUZZ_CHECK(endings == 1);
    FUZZ_CHECK(dialog.ConnectionEnabled && !dialog.CancelEnabled && dialog.QuitEnabled);
    FUZZ_CHECK(dialog.Boxes.size() <= 1);
    FUZZ_CHECK(dialog.Session.SendIndex <= h.Port->ChannelCount());
}

void Program(CP02& port, Input& in) {
    port.SetModel(in.Take() % 3);
    for (int i = 1; i < SlotCount; ++i)
        port.SetChannelType(i, in.Take() & 1);
    for (int i = 0; i < SlotCount; ++i)
        port.Slots[static_cast<size_t>(i)].Steps = (in.Take() * 131u) & MaxStepCount;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    Harness h;
    uint8_t mode = in.Take();
    h.RandomDevice = mode & 1;
    sim::DeviceOptions options;
    options.Model = (mode >> 1) % 3;
    options.BusyAnswers = (mode >> 3) & 3;
    options.SerialNumber = (mode & 0x20) ? 0u : 3000000000u + in.Take();
    h.Engine = std::make_shared<sim::DeviceEngine>(options);
    h.State->Device = [&h, &in](uint8_t b) {
        h.Answer(in, b);
        return std::vector<uint8_t>{};
    };
    Program(*h.Port, in);

    {
        DialogDouble dialog(h.Port.get(), (mode & 0x40) ? 0u : options.SerialNumber);
        dialog.Answer = in.Take() & 1;
        h.Dialog = &dialog;
        h.RegisterWrites = 0;
        RunSession(h, in, dialog, true);
        FUZZ_CHECK(h.RegisterWrites <= 2 * h.Port->ChannelCount());
        if (!h.Tampered && !h.RandomDevice && !dialog.Memo.empty() &&
            dialog.MemoHas("Transmission réussie")) {
            for (int i = 0; i < h.Port->ChannelCount(); ++i) {
                auto& regs = h.Engine->Registers;
                FUZZ_CHECK((regs[static_cast<size_t>(2 * i)] | regs[static_cast<size_t>(2 * i + 1)]
                                                                   << 8) == h.Port->ChannelWord(i));
            }
        }
        h.Dialog = nullptr;
    }

    // Single operations, each within the budget of its one possible time-out.
    for (int n = 0; n < 24 && !in.Empty(); ++n) {
        h.State->WriteError = 0;
        uint8_t op = in.Take();
        int arg = in.Take();
        int out = -7;
        uint32_t serial = 0;
        char code[4] = {};
        int32_t result = 0;
        uint64_t budget = ReadBudget;
        uint64_t before = h.State->Time->Now;
        switch (op % 12) {
        case 0:
            budget = ConnectBudget;
            result = h.Port->Connect(1);
            break;
        case 1:
            result = h.Port->EndSession();
            break;
        case 2:
            result = h.Port->ReadTypeCode(code);
            FUZZ_CHECK(code[3] == '\0');
            break;
        case 3:
            result = h.Port->CheckModel();
            break;
        case 4:
            result = h.Port->ReadSerialNumber(serial);
            break;
        case 5: {
            int minor = -7;
            result = h.Port->ReadCircuitVersion(out, minor);
            break;
        }
        case 6:
            result = h.Port->ReadRegister(arg, out);
            if (result == Success)
                FUZZ_CHECK(out >= 16 * -0x37 - 0x37 && out <= 16 * 0xC8 + 0xC8);
            break;
        case 7:
            result = h.Port->WriteRegister(arg, in.Take());
            break;
        case 8:
            result = h.Port->ReadRegisterWord(arg, out);
            break;
        case 9:
            result = h.Port->SendChannel(arg - 100);
            if (arg - 100 < 0 || arg - 100 >= SlotCount)
                FUZZ_CHECK(result == IndexOutOfRange || result == NoSession);
            break;
        case 10:
            budget = 2 * ReadBudget;
            result = h.Port->ClosePort();
            FUZZ_CHECK(!h.Port->PortOpen() && h.Port->Connected == 0);
            break;
        default:
            result = h.Port->OpenPort();
            break;
        }
        FUZZ_CHECK(h.State->Time->Now - before <= budget);
        FUZZ_CHECK(KnownCode(result));
        FUZZ_CHECK(result == h.Port->LastError);
        FUZZ_CHECK(h.Port->Connected == 0 || h.Port->Connected == 1);
        FUZZ_CHECK(h.Port->Connected == 0 || h.Port->PortOpen());
    }

    // The device behaves again: the same port carries a whole transfer.
    h.State->WriteError = 0;
    sim::DeviceOptions honest;
    honest.Model = h.Port->Model;
    h.Engine = std::make_shared<sim::DeviceEngine>(honest);
    h.RandomDevice = false;
    Input none(nullptr, 0);
    h.State->Device = [&h, &none](uint8_t b) {
        h.Answer(none, b);
        return std::vector<uint8_t>{};
    };
    DialogDouble dialog(h.Port.get(), 0);
    h.Dialog = &dialog;
    RunSession(h, none, dialog, false);
    FUZZ_CHECK(dialog.MemoHas("Transmission réussie"));
    for (int i = 0; i < h.Port->ChannelCount(); ++i) {
        auto& regs = h.Engine->Registers;
        FUZZ_CHECK((regs[static_cast<size_t>(2 * i)] | regs[static_cast<size_t>(2 * i + 1)] << 8) ==
                   h.Port->ChannelWord(i));
    }
    h.State->Device = nullptr; // the port outlives this input
    return 0;
}
