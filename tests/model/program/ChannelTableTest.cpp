#include "model/program/ChannelTable.h"

#include <gtest/gtest.h>

using namespace salvo;

TEST(Constants, MaxStepDelayLiesJustAboveTypedLimit) {
    EXPECT_LT(6553.4, MaxStepDelay);
    EXPECT_GT(6553.5, MaxStepDelay);
    EXPECT_EQ(MaxStepCount * TimeStep, MaxStepDelay);
}

TEST(StepCount, RoundsToNearestWithHalvesToEven) {
    struct Case {
        double seconds;
        uint32_t steps;
    };
    const Case cases[] = {{0.1, 0},    {0.3, 1},         {0.5, 2},        {0.9, 4},
                          {1.1, 6},    {1.3, 6},         {1.5, 8},        {2.5, 12},
                          {12.34, 62}, {6553.35, 32767}, {6553.4, 32767}, {0.0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(StepCountOf(c.seconds), c.steps) << c.seconds;
}

TEST(ChannelTable, NewTableIsV30AllManualAtZero) {
    ChannelTable t;
    EXPECT_EQ(t.Model, 2);
    EXPECT_EQ(t.ChannelCount(), 30);
    for (int i = 0; i < SlotCount; ++i) {
        EXPECT_EQ(t.GetChannelType(i), Manual);
        EXPECT_EQ(t.GetStepDelay(i), 0.0);
    }
}

TEST(ChannelTable, SetModelStoresOutOfRangeAsV30) {
    ChannelTable t;
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {7, 2}, {-1, 2}, {3, 2}};
    for (auto [given, stored] : cases) {
        t.SetModel(given);
        EXPECT_EQ(t.Model, stored) << given;
    }
    t.SetModel(0);
    EXPECT_EQ(t.ChannelCount(), 15);
    t.SetModel(1);
    EXPECT_EQ(t.ChannelCount(), 15);
}

TEST(ChannelTable, SetChannelTypeCodesAndRefusals) {
    ChannelTable t;
    EXPECT_EQ(t.SetChannelType(-1, Automatic), IndexOutOfRange);
    EXPECT_EQ(t.SetChannelType(30, Automatic), IndexOutOfRange);
    EXPECT_EQ(t.LastError, IndexOutOfRange);
    EXPECT_EQ(t.SetChannelType(4, 2), InvalidValue);
    EXPECT_EQ(t.GetChannelType(4), Manual);
    EXPECT_EQ(t.SetChannelType(4, Automatic), Success);
    EXPECT_EQ(t.GetChannelType(4), Automatic);
    // Slots beyond the model's count still take a type.
    t.SetModel(0);
    EXPECT_EQ(t.SetChannelType(20, Automatic), Success);
}

TEST(ChannelTable, SetStepDelayBoundsAndRefusalsKeepTheSlot) {
    ChannelTable t;
    EXPECT_EQ(t.SetStepDelay(3, 1.0), Success);
    EXPECT_EQ(t.Slots[3].Steps, 5u);
    EXPECT_EQ(t.SetStepDelay(3, -0.2), InvalidValue);
    EXPECT_EQ(t.SetStepDelay(3, MaxStepDelay), InvalidValue);
    EXPECT_EQ(t.Slots[3].Steps, 5u);
    EXPECT_EQ(t.SetStepDelay(3, 6553.4), Success);
    EXPECT_EQ(t.Slots[3].Steps, 32767u);
    t.SetModel(0);
    EXPECT_EQ(t.SetStepDelay(15, 1.0), IndexOutOfRange); // beyond the 15 channels in use
    EXPECT_EQ(t.SetStepDelay(14, 1.0), Success);
}

TEST(ChannelTable, GettersOutOfRangeGiveTheCodeAsValue) {
    ChannelTable t;
    EXPECT_EQ(t.GetStepDelay(30), 100023.0);
    EXPECT_EQ(t.LastError, IndexOutOfRange);
    EXPECT_EQ(t.GetChannelTime(-1), 100023.0);
    EXPECT_EQ(t.LastError, IndexOutOfRange);
    EXPECT_EQ(t.SetChannelTime(30, 1.0), IndexOutOfRange);
}

TEST(ChannelTable, ChannelTimeSumsBackToTheManualChannel) {
    ChannelTable t;
    t.SetStepDelay(1, 2.0); // manual start of a sequence
    t.SetChannelType(2, Automatic);
    t.SetStepDelay(2, 1.0);
    t.SetChannelType(3, Automatic);
    t.SetStepDelay(3, 0.4);
    EXPECT_DOUBLE_EQ(t.GetChannelTime(1), 2.0);
    EXPECT_DOUBLE_EQ(t.GetChannelTime(3), 3.4);
    // An automatic channel's time sets its own delay from the previous channel's time.
    EXPECT_EQ(t.SetChannelTime(3, 5.0), Success);
    EXPECT_EQ(t.Slots[3].Steps, 10u);
    EXPECT_EQ(t.SetChannelTime(3, 2.8), InvalidValue); // earlier than channel 3's time
    EXPECT_EQ(t.Slots[3].Steps, 10u);
    // The sum never goes below channel 1, even if slot 0 were automatic.
    ChannelTable u;
    u.SetChannelType(0, Automatic);
    u.SetStepDelay(0, 1.0);
    u.SetChannelType(1, Automatic);
    u.SetStepDelay(1, 1.0);
    EXPECT_DOUBLE_EQ(u.GetChannelTime(1), 2.0);
}

TEST(ChannelTable, ChannelWordPacksTypeAndSteps) {
    ChannelTable t;
    t.SetChannelType(3, Automatic);
    t.SetStepDelay(3, 2.4);
    EXPECT_EQ(t.ChannelWord(3), 0x800C);
    EXPECT_EQ(t.ChannelWord(0), 0x0000);
    t.SetChannelType(5, Automatic);
    t.SetStepDelay(5, 6553.4);
    EXPECT_EQ(t.ChannelWord(5), 0xFFFF);
}

TEST(ChannelTable, CopyTableFromTakesSlotsAndModelOnly) {
    ChannelTable a, b;
    a.SetModel(1);
    a.SetChannelType(2, Automatic);
    a.SetStepDelay(2, 3.0);
    b.LastError = 42;
    b.CopyTableFrom(a);
    EXPECT_EQ(b.Model, 1);
    EXPECT_EQ(b.Slots[2].Type, Automatic);
    EXPECT_EQ(b.Slots[2].Steps, 15u);
    EXPECT_EQ(b.LastError, 42);
}
