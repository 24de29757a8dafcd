// The simulated device's side of the protocol, without any input or output: it builds on
// every platform, so that tests run the protocol against it wherever they are built.

#include "IgnivelleSim.h"

namespace salvo::sim {

namespace {

constexpr uint8_t ConnectRequest = 0x80;
constexpr uint8_t Ready = 0x81;
constexpr uint8_t Refused = 0x85;
constexpr uint8_t EndOfSession = 0x04;
constexpr uint8_t TypeCodeRequest = 0x86;
constexpr uint8_t ReadRequest = 0x89;
constexpr uint8_t WriteRequest = 0x8B;
constexpr uint8_t Acknowledge = 0x84;

// The device accepts only the digits "0" to "9" and "A" to "F".
int NibbleOf(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string TypeCodeOfModel(int model) {
    switch (model) {
    case 0:
        return "P01";
    case 1:
        return "P03";
    default:
        return "P02";
    }
}

DeviceEngine::DeviceEngine(const DeviceOptions& options)
    : Options(options), BusyLeft(options.BusyAnswers) {
    for (int i = 0; i < 4; ++i)
        Registers[static_cast<size_t>(0xF1 + i)] =
            static_cast<uint8_t>((options.SerialNumber >> (8 * i)) & 0xFF);
    Registers[0xF5] = options.VersionMajor;
    Registers[0xF6] = options.VersionMinor;
    for (size_t i = 0; i < options.Words.size() && i < MaxWords; ++i) {
        Registers[2 * i] = static_cast<uint8_t>(options.Words[i] & 0xFF);
        Registers[2 * i + 1] = static_cast<uint8_t>(options.Words[i] >> 8);
    }
}

uint8_t DeviceEngine::DigitOut(int nibble) const {
    if (Options.GarbageDigits)
        return static_cast<uint8_t>('a' + nibble);
    return static_cast<uint8_t>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10);
}

std::vector<uint8_t> DeviceEngine::StartSending(const std::vector<int>& bytes) {
    ToSend.clear();
    for (int b : bytes) {
        ToSend.push_back(DigitOut((b >> 4) & 0x0F));
        ToSend.push_back(DigitOut(b & 0x0F));
    }
    NextToSend = 1;
    State = Phase::Sending;
    return {ToSend[0]};
}

std::vector<uint8_t> DeviceEngine::Receive(uint8_t byte) {
    if (State == Phase::Sending) {
        if (byte == Acknowledge) {
            if (NextToSend < ToSend.size())
                return {ToSend[NextToSend++]};
            State = Phase::Idle;
            return {};
        }
        State = Phase::Idle; // not acknowledged: the rest is dropped
    }
    if (State == Phase::ReadAddress || State == Phase::WriteArguments) {
        int nibble = NibbleOf(byte);
        if (nibble < 0) {
            State = Phase::Idle;
            return byte >= 0x80 ? Command(byte) : std::vector<uint8_t>{};
        }
        Arguments.push_back(nibble);
        if (State == Phase::ReadAddress && Arguments.size() == 2) {
            int address = Arguments[0] * 16 + Arguments[1];
            return StartSending({Registers[static_cast<size_t>(address)]});
        }
        if (State == Phase::WriteArguments && Arguments.size() == 4) {
            State = Phase::Idle;
            int address = Arguments[0] * 16 + Arguments[1];
            int value = Arguments[2] * 16 + Arguments[3];
            ++RegisterWrites;
            if (Options.NakWrite == RegisterWrites)
                return {Refused};
            Registers[static_cast<size_t>(address)] = static_cast<uint8_t>(value);
            return {Acknowledge};
        }
        return {};
    }
    return Command(byte);
}

std::vector<uint8_t> DeviceEngine::Command(uint8_t byte) {
    switch (byte) {
    case ConnectRequest:
        if (BusyLeft != 0) {
            if (BusyLeft > 0)
                --BusyLeft;
            return {Refused};
        }
        InSession = true;
        return {Ready};
    case EndOfSession:
        InSession = false;
        return {EndOfSession};
    case TypeCodeRequest: {
        std::string code =
            Options.TypeCode.empty() ? TypeCodeOfModel(Options.Model) : Options.TypeCode;
        std::vector<int> bytes;
        for (char c : code)
            bytes.push_back(static_cast<uint8_t>(c));
        if (bytes.empty())
            return {};
        return StartSending(bytes);
    }
    case ReadRequest:
        State = Phase::ReadAddress;
        Arguments.clear();
        return {};
    case WriteRequest:
        State = Phase::WriteArguments;
        Arguments.clear();
        return {};
    default:
        return {};
    }
}

} // namespace salvo::sim
