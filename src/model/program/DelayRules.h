#pragma once
// Checking and correcting channel times against what the device can time, with the cells and
// warnings the editor shows.

#include "model/program/ChannelTable.h"

#include <array>
#include <string>

namespace salvo {

using ShownTimeArray = std::array<double, SlotCount>;

// What the delay rules need from the window that shows a document.
class ChannelServices {
public:
    virtual ~ChannelServices() = default;
    virtual void SetDelayCell(int channelIndex, const std::string& text) = 0;
    virtual void SetTypeCell(int channelIndex, const std::string& text) = 0;
    virtual void ShowWarning(const std::string& text) = 0;
};

extern const char* const MsgNotANumber;

std::string MessageManualLimit(double typed, char separator);
std::string MessageBetweenChannelsLimit(double typed, int channelNumber, double previous,
                                        char separator);

// The check-and-correct procedures, working on one document's table and shown times.
class DelayRules {
public:
    DelayRules(ChannelTable& table, ShownTimeArray& shownTimes, ChannelServices& services,
               char separator)
        : Table(table), ShownTimes(shownTimes), Services(services), Separator(separator) {}

    void ApplyChannelTime(int index, double seconds);
    void ChangeChannelType(int index, int32_t type);
    // A typed time: not a number or negative warns and changes nothing.
    void CommitTypedTime(int index, const std::string& text);

private:
    void ShowChannelTime(int index);

    ChannelTable& Table;
    ShownTimeArray& ShownTimes;
    ChannelServices& Services;
    char Separator;
};

} // namespace salvo
