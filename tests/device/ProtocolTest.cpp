// The port half and the protocol of CP02 on an in-memory line: exact bytes and codes, with
// time-outs that cost no real time.

#include "DeviceTestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace salvo;
using namespace salvo::test;

namespace {

std::shared_ptr<LineState> SilentLine() {
    return std::make_shared<LineState>();
}

} // namespace

TEST(PortName, SetPortTableAndOutOfRange) {
    CP02 port;
    EXPECT_EQ(port.PortName, "\\.\\COM2");
    port.LastError = 77;
    const std::pair<int, const char*> cases[] = {{0, "\\.\\COM1"},  {3, "\\.\\COM4"},
                                                 {9, "\\.\\COM10"}, {12, "\\.\\COM1"},
                                                 {10, "\\.\\COM1"}, {-1, "\\.\\COM1"}};
    for (auto [index, name] : cases) {
        port.SetPort(index);
        EXPECT_EQ(port.PortName, name) << index;
    }
    EXPECT_EQ(port.LastError, 77); // SetPort leaves the code alone
}

TEST(Port, ClosedPortRefusesWithoutTouchingTheLine) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    int value = 42;
    EXPECT_EQ(port->WriteByte(0x80), PortNotOpen);
    EXPECT_EQ(port->ReadByte(value), PortNotOpen);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(port->PurgePort(), PortNotOpen);
    EXPECT_EQ(port->EndSession(), PortNotOpen);
    EXPECT_EQ(port->LastError, PortNotOpen);
    port->Connected = 1;
    EXPECT_EQ(port->ClosePort(), 0);
    EXPECT_EQ(port->Connected, 0);
    EXPECT_TRUE(state->Calls.empty());
    EXPECT_TRUE(state->Wire.empty());
}

TEST(Port, OpenFailureLeavesHandleClosed) {
    auto state = SilentLine();
    state->OpenError = ENOENT;
    auto port = MemoryPort(state);
    EXPECT_EQ(port->OpenPort(), 2);
    EXPECT_EQ(port->LastError, 2);
    EXPECT_EQ(port->Handle, ClosedHandle);
}

TEST(Port, ConfigureFailureKeepsPortHeldUntilClosed) {
    auto state = SilentLine();
    state->ConfigureError = EINVAL;
    auto port = MemoryPort(state);
    EXPECT_EQ(port->OpenPort(), EINVAL);
    EXPECT_NE(port->Handle, ClosedHandle);
    state->Inbox.push_back(Reply{0x04, 0});
    EXPECT_EQ(port->ClosePort(), 0);
    EXPECT_EQ(port->Handle, ClosedHandle);
    EXPECT_FALSE(state->Open);
}

TEST(Port, ReopeningEndsTheSessionAndReleasesFirst) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    ASSERT_EQ(port->OpenPort(), 0);
    state->Inbox.push_back(Reply{0x55, 0});
    ASSERT_EQ(port->OpenPort(), 0);
    EXPECT_EQ(state->Calls, (std::vector<std::string>{"open", "configure", "restore", "close",
                                                      "open", "configure"}));
    EXPECT_EQ(Describe(state->Wire), "> 04 < 'U'");
}

// An adapter pulled out: the settings cannot be put back, the port is released all the same
// and the error is reported; the next open works.
TEST(Port, ReleaseWhenRestoreFailsStillFreesTheHandle) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    ASSERT_EQ(port->OpenPort(), 0);
    port->Connected = 1;
    state->RestoreError = EIO;
    state->WriteError = EIO;
    EXPECT_EQ(port->ClosePort(), EIO);
    EXPECT_EQ(port->Handle, ClosedHandle);
    EXPECT_EQ(port->Connected, 0);
    EXPECT_FALSE(state->Open);
    state->RestoreError = 0;
    state->WriteError = 0;
    EXPECT_EQ(port->OpenPort(), 0);
}

TEST(Port, ReadByteCodes) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    ASSERT_EQ(port->OpenPort(), 0);
    int value = -5;
    state->Inbox = {Reply{-1, 0}, Reply{0xFE, 0}, Reply{-1, EIO}};
    EXPECT_EQ(port->ReadByte(value), NoAnswer);
    EXPECT_EQ(value, -5);
    EXPECT_EQ(port->ReadByte(value), 0);
    EXPECT_EQ(value, 0xFE);
    EXPECT_EQ(port->ReadByte(value), EIO);
    EXPECT_EQ(value, 0xFE);
}

TEST(Port, EndSessionSilentKeepsConnected) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    ASSERT_EQ(port->OpenPort(), 0);
    port->Connected = 1;
    EXPECT_EQ(port->EndSession(), NoAnswer);
    EXPECT_EQ(port->Connected, 1);
    EXPECT_EQ(Describe(state->Wire), "> 04");
    state->Inbox.push_back(Reply{0x00, 0});
    EXPECT_EQ(port->EndSession(), 0);
    EXPECT_EQ(port->Connected, 0);
}

TEST(Port, DestructionEndsSessionThenReleases) {
    auto state = SilentLine();
    {
        auto port = MemoryPort(state);
        ASSERT_EQ(port->OpenPort(), 0);
        state->Inbox = {Reply{0x04, 0}, Reply{0x04, 0}};
        state->Calls.clear();
    }
    EXPECT_EQ(Describe(state->Wire), "> 04 < 04 > 04 < 04");
    EXPECT_EQ(state->Calls, (std::vector<std::string>{"restore", "close"}));
}

TEST(Connect, SilentLineGivesUpAfterOneAttempt) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    uint64_t start = state->Time->Now;
    EXPECT_EQ(port->Connect(1), NoAnswer);
    EXPECT_EQ(port->Connected, 0);
    EXPECT_EQ(state->Written(), std::vector<uint8_t>{0x80});
    EXPECT_EQ(state->Time->Now - start, 1110u);
    EXPECT_EQ(state->Time->Sleeps, std::vector<uint32_t>{10});
    EXPECT_EQ(state->Calls, (std::vector<std::string>{"open", "configure", "purge"}));
}

TEST(Connect, OtherAnswersAreAskedAgainUntilTheDeadline) {
    auto state = SilentLine();
    state->Device = [](uint8_t b) {
        return b == 0x80 ? std::vector<uint8_t>{0x33} : std::vector<uint8_t>{};
    };
    auto port = MemoryPort(state);
    uint64_t start = state->Time->Now;
    EXPECT_EQ(port->Connect(2), NoAnswer);
    EXPECT_EQ(state->Written().size(), 200u); // one attempt per 10 ms
    EXPECT_EQ(state->Time->Now - start, 2000u);
}

TEST(Connect, BusyForeverGivesUpAtTheDeadline) {
    sim::DeviceOptions options;
    options.BusyAnswers = -1;
    auto engine = std::make_shared<sim::DeviceEngine>(options);
    auto state = SilentLine();
    state->PlayDevice(engine);
    auto port = MemoryPort(state);
    EXPECT_EQ(port->Connect(1), NoAnswer);
    EXPECT_EQ(port->Connected, 0);
    EXPECT_EQ(state->Written().size(), 200u); // 100 attempts, each followed by 0x04
}

TEST(Connect, ReadFailureStopsAtOnceWithItsCode) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    ASSERT_EQ(port->OpenPort(), 0);
    state->Calls.clear();
    state->Device = [&state](uint8_t) {
        state->Inbox.push_back(Reply{-1, EIO});
        return std::vector<uint8_t>{};
    };
    EXPECT_EQ(port->Connect(0), EIO);
    EXPECT_EQ(port->Connected, 0);
    EXPECT_EQ(state->Written(), std::vector<uint8_t>{0x80});
}

TEST(Connect, PortThatCannotOpenGivesItsCode) {
    auto state = SilentLine();
    state->OpenError = EBUSY;
    auto port = MemoryPort(state);
    EXPECT_EQ(port->Connect(1), EBUSY);
    EXPECT_TRUE(state->Wire.empty());
}

TEST(Protocol, EverySessionOperationRefusesWithoutSession) {
    auto state = SilentLine();
    auto port = MemoryPort(state);
    ASSERT_EQ(port->OpenPort(), 0);
    int a = 0;
    int b = 0;
    uint32_t serial = 0;
    char code[4] = {};
    const std::pair<const char*, std::function<int32_t()>> operations[] = {
        {"ReadTypeCode", [&] { return port->ReadTypeCode(code); }},
        {"CheckModel", [&] { return port->CheckModel(); }},
        {"ReadSerialNumber", [&] { return port->ReadSerialNumber(serial); }},
        {"ReadCircuitVersion", [&] { return port->ReadCircuitVersion(a, b); }},
        {"ReadRegister", [&] { return port->ReadRegister(0xF1, a); }},
        {"WriteRegister", [&] { return port->WriteRegister(0, 0); }},
        {"ReadRegisterWord", [&] { return port->ReadRegisterWord(0, a); }},
        {"WriteRegisterWord", [&] { return port->WriteRegisterWord(0, 0); }},
        {"ReceiveHexByte", [&] { return port->ReceiveHexByte(a); }},
        {"SendChannel", [&] { return port->SendChannel(0); }},
        {"SendChannel out of range", [&] { return port->SendChannel(30); }},
    };
    for (auto& [name, operation] : operations) {
        port->LastError = 0;
        EXPECT_EQ(operation(), NoSession) << name;
        EXPECT_EQ(port->LastError, NoSession) << name;
    }
    EXPECT_TRUE(state->Wire.empty());
}

TEST(Protocol, ChannelIndexOutOfRangeSendsNothing) {
    EnginePort p;
    EXPECT_EQ(p.Port->SendChannel(30), IndexOutOfRange);
    EXPECT_EQ(p.Port->SendChannel(-1), IndexOutOfRange);
    EXPECT_TRUE(p.State->Wire.empty());
}

TEST(Protocol, ChannelWordsAtTheLimits) {
    EnginePort p;
    p.Port->SetChannelType(4, Automatic);
    p.Port->Slots[4].Steps = MaxStepCount;
    ASSERT_EQ(p.Port->SendChannel(0), 0);
    ASSERT_EQ(p.Port->SendChannel(4), 0);
    WireSeq expected;
    expected.WriteRegister(0, 0x00).WriteRegister(1, 0x00).WriteRegister(8, 0xFF).WriteRegister(
        9, 0xFF);
    EXPECT_EQ(Describe(p.State->Wire), expected.Text());
    EXPECT_EQ(p.Engine->Registers[8], 0xFF);
    EXPECT_EQ(p.Engine->Registers[9], 0xFF);
}

TEST(Protocol, CheckModelComparesTheTypeCode) {
    struct Case {
        int deviceModel;
        const char* typeCode;
        int documentModel;
        int32_t result;
    };
    const Case cases[] = {{2, "", 2, 0},          {0, "", 0, 0},
                          {1, "", 1, 0},          {0, "", 2, OtherModel},
                          {2, "", 1, OtherModel}, {2, "Q02", 2, OtherModel}};
    for (const Case& c : cases) {
        sim::DeviceOptions options;
        options.Model = c.deviceModel;
        options.TypeCode = c.typeCode;
        EnginePort p(options);
        p.Port->SetModel(c.documentModel);
        EXPECT_EQ(p.Port->CheckModel(), c.result) << c.deviceModel << " " << c.documentModel;
    }
}

TEST(Protocol, TypeCodeReadStopsAtSilenceAndStillTerminates) {
    sim::DeviceOptions options;
    EnginePort p(options);
    p.State->Device = [n = 0](uint8_t) mutable {
        return ++n <= 2 ? std::vector<uint8_t>{'5'} : std::vector<uint8_t>{};
    };
    char code[4] = {'x', 'y', 'z', 'w'};
    EXPECT_EQ(p.Port->ReadTypeCode(code), NoAnswer);
    EXPECT_EQ(code[0], 'U');
    EXPECT_EQ(code[1], 'y');
    EXPECT_EQ(code[3], '\0');
    EXPECT_EQ(Describe(p.State->Wire), "> 86 < '5' > 84 < '5' > 84");
}

TEST(Protocol, SerialNumberFailureLeavesTheOutputAlone) {
    sim::DeviceOptions options;
    options.SerialNumber = 123456;
    EnginePort p(options);
    int bytes = 0;
    p.State->Device = [&](uint8_t b) {
        auto reply = p.Engine->Receive(b);
        bytes += static_cast<int>(reply.size());
        return bytes > 4 ? std::vector<uint8_t>{} : reply; // falls silent in register 0xF3
    };
    uint32_t serial = 99;
    EXPECT_EQ(p.Port->ReadSerialNumber(serial), NoAnswer);
    EXPECT_EQ(serial, 99u);
}

TEST(Protocol, DecodeHexPairFollowsTheRuleWithoutChecking) {
    const std::tuple<char, char, int> cases[] = {{'0', '0', 0},    {'F', 'F', 255}, {'4', '0', 64},
                                                 {'A', '9', 0xA9}, {'a', '0', 672}, {':', '0', 48},
                                                 {'G', '0', 256}};
    for (auto [first, second, value] : cases)
        EXPECT_EQ(CP02::DecodeHexPair(first, second), value) << first << second;
}

TEST(Protocol, GarbageDigitsAreDecodedAsTheyCome) {
    sim::DeviceOptions options;
    options.GarbageDigits = true;
    EnginePort p(options);
    int value = 0;
    EXPECT_EQ(p.Port->ReadRegister(0x00, value), 0); // 0x00 sent as "a" "a"
    EXPECT_EQ(value, 16 * 42 + 42);
    EXPECT_EQ(p.Port->CheckModel(), OtherModel);
}
