// The rehearsal fires each chain when the device would: its times, taken from the words the
// transfer writes into the device's registers, are the device's own.

#include "DeviceTestSupport.h"
#include "RecordingServices.h"
#include "model/music/Rehearsal.h"

#include <gtest/gtest.h>
#include <map>

using namespace salvo;
using namespace salvo::test;

namespace {

struct Typed {
    int Channel; // 1-based
    int32_t Type;
    double Time; // as typed into the grid
};

// The device's count: a press starts the manual channel's delay, each automatic channel's
// delay starts when the one before it fires. Read back from the registers the transfer wrote.
std::vector<std::pair<int, int64_t>> DeviceTimes(const sim::DeviceEngine& device, int count,
                                                 int first) {
    std::vector<std::pair<int, int64_t>> out;
    int64_t ms = 0;
    for (int i = first; i < count; ++i) {
        const int word = device.Registers[size_t(2 * i)] | device.Registers[size_t(2 * i + 1)] << 8;
        if (i > first && !(word & 0x8000))
            break;
        ms += int64_t(word & 0x7FFF) * 200;
        out.push_back({i, ms});
    }
    return out;
}

} // namespace

TEST(RehearsalTiming, ChainsFireAtTheDeviceTimesOfTheWordsSent) {
    std::vector<Typed> longest = {{1, Manual, 6553.4}, {2, Automatic, 13106.8}};
    std::vector<Typed> thirty = {{1, Manual, 1.2}};
    double t = 1.2;
    for (int k = 2; k <= 30; ++k) {
        t += k == 17 ? 6553 : 0.2 * (k % 7) + 0.3; // 0,3 rounds to 0,2 in the grid
        thirty.push_back({k, Automatic, t});
    }
    std::vector<Typed> mixed = {{1, Manual, 0},         {2, Automatic, 0.4}, {3, Automatic, 1.3},
                                {4, Manual, 2.5},       {5, Automatic, 2.6}, {6, Manual, 6553.4},
                                {7, Automatic, 6553.6}, {15, Manual, 12.34}};
    const std::vector<std::vector<Typed>> programs = {longest, thirty, mixed};
    for (size_t p = 0; p < programs.size(); ++p) {
        EnginePort device;
        ShownTimeArray shown{};
        RecordingServices cells;
        DelayRules rules(*device.Port, shown, cells, ',');
        for (const Typed& c : programs[p]) {
            rules.ChangeChannelType(c.Channel - 1, c.Type);
            rules.ApplyChannelTime(c.Channel - 1, c.Time);
        }
        EXPECT_TRUE(cells.Warnings.empty()) << p;
        for (int i = 0; i < device.Port->ChannelCount(); ++i)
            ASSERT_EQ(device.Port->SendChannel(i), 0);

        const auto sequences = RehearsalSequences(*device.Port, {});
        size_t chained = 0;
        for (const RehearsalSequence& s : sequences) {
            const auto expected =
                DeviceTimes(*device.Engine, device.Port->ChannelCount(), s.ManualChannel);
            ASSERT_EQ(s.Chain.size(), expected.size()) << p << " sequence " << s.Number;
            for (size_t k = 0; k < expected.size(); ++k) {
                EXPECT_EQ(s.Chain[k].Channel, expected[k].first) << p;
                EXPECT_EQ(s.Chain[k].Milliseconds, expected[k].second) << p << " " << k;
            }
            chained += expected.size();
        }
        EXPECT_EQ(chained, size_t(device.Port->ChannelCount())) << p;
    }
}

TEST(RehearsalTiming, PressedChainsReportEachChannelWithinOneFrame) {
    EnginePort device;
    ShownTimeArray shown{};
    RecordingServices cells;
    DelayRules rules(*device.Port, shown, cells, ',');
    // Two sequences of fifteen channels over ten minutes.
    for (int k = 0; k < 30; ++k) {
        rules.ChangeChannelType(k, k == 0 || k == 15 ? Manual : Automatic);
        rules.ApplyChannelTime(k, k < 15 ? 19.8 * k + 0.6 : 20.2 * (k - 15) + 1.4);
    }
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(device.Port->SendChannel(i), 0);
    RehearsalRun run(RehearsalSequences(*device.Port, {{1, 3.25}, {16, 301.7}}));
    const auto first = DeviceTimes(*device.Engine, 30, 0),
               second = DeviceTimes(*device.Engine, 30, 15);
    std::map<int, double> deviceDue;
    const double presses[] = {3.31, 301.52};
    for (auto [i, ms] : first)
        deviceDue[i] = presses[0] + ms / 1000.0;
    for (auto [i, ms] : second)
        deviceDue[i] = presses[1] + ms / 1000.0;

    std::map<int, double> reported;
    const double frame = 0.016;
    size_t pressed = 0;
    for (int n = 0; n * frame < 600; ++n) {
        const double now = n * frame;
        if (pressed < 2 && now >= presses[pressed]) {
            EXPECT_EQ(run.Press(presses[pressed]), int(pressed));
            ++pressed;
        }
        for (const auto& f : run.Advance(now))
            reported[f.Channel] = now;
    }
    ASSERT_EQ(reported.size(), 30u);
    for (auto [channel, at] : reported) {
        EXPECT_GE(at - deviceDue[channel], -1e-9) << channel;
        EXPECT_LT(at - deviceDue[channel], frame) << channel;
    }
}
