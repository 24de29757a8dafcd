#pragma once
// The channel table of one firing program: 30 slots of type and own delay, the device model,
// and the code of the last operation. The device link class builds on it; the burst generator
// copies it.

#include <array>
#include <cstdint>

namespace salvo {

// Result codes shared by the table and the device link.
enum ResultCode : int32_t {
    Success = 0,
    InvalidValue = 13,
    NoSession = 100001,
    NoAnswer = 100002,
    WriteNotAcknowledged = 100003,
    InvalidDigit = 100004, // a checked read met a character that is not a hex digit
    PortNotOpen = 100016,
    OtherModel = 100020,
    IndexOutOfRange = 100023,
};

enum ChannelType : int32_t { Manual = 0, Automatic = 1 };

constexpr int SlotCount = 30;
constexpr int ModelCount = 3;
constexpr double TimeStep = 0.2;
constexpr uint32_t MaxStepCount = 32767;
// Computed in double precision: one unit in the last place above the double nearest to 6553.4,
// so 6553.4 typed by the user is below it.
constexpr double MaxStepDelay = MaxStepCount * TimeStep;
constexpr std::array<int, ModelCount> ChannelCountByModel = {15, 15, 30};
constexpr std::array<const char*, ModelCount> ModelNames = {"Ignivelle", "Ignivelle SII",
                                                            "Ignivelle V30"};
constexpr std::array<const char*, ModelCount> TypeCodes = {"P01", "P03", "P02"};
constexpr int DefaultModel = 2;

// Shown texts of the two channel types, by type code.
constexpr std::array<const char*, 2> ChannelTypeNames = {"Manuel", "Automatique"};

struct ChannelSlot {
    int32_t Type = Manual;
    uint32_t Steps = 0;
};

// Seconds to whole steps: nearest integer, exact halves to the even neighbour.
uint32_t StepCountOf(double seconds);

class ChannelTable {
public:
    std::array<ChannelSlot, SlotCount> Slots{};
    int32_t Model = DefaultModel;
    int32_t LastError = Success;

    void SetModel(int model);
    int ChannelCount() const;

    int32_t SetChannelType(int index, int32_t type);
    int32_t GetChannelType(int index);
    int32_t SetStepDelay(int index, double seconds);
    double GetStepDelay(int index);
    int32_t SetChannelTime(int index, double seconds);
    double GetChannelTime(int index);

    // Copies the slots and the model, not LastError nor anything a derived class adds.
    void CopyTableFrom(const ChannelTable& other);

    // The 16-bit form sent to the device: type in bit 15, step count below.
    uint16_t ChannelWord(int index) const;
};

} // namespace salvo
