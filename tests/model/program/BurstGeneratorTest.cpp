#include "model/program/BurstGenerator.h"

#include <gtest/gtest.h>

#include <vector>

using namespace salvo;

namespace {

// A document's table with a link half of its own, which a burst must never touch.
struct LinkedTable : ChannelTable {
    int PortHandle = 42;
};

struct Burst : ::testing::Test {
    LinkedTable Document;
    BurstGenerator Gen;

    void Set(int channel, int32_t type, uint32_t steps) {
        Document.Slots[static_cast<size_t>(channel - 1)] = ChannelSlot{type, steps};
    }
    // Own delays in steps of channels first..last of the document.
    std::vector<uint32_t> Steps(int first, int last) const {
        std::vector<uint32_t> out;
        for (int c = first; c <= last; ++c)
            out.push_back(Document.Slots[static_cast<size_t>(c - 1)].Steps);
        return out;
    }
    bool AllAutomatic(int first, int last) const {
        for (int c = first; c <= last; ++c)
            if (Document.Slots[static_cast<size_t>(c - 1)].Type != Automatic)
                return false;
        return true;
    }
};

using Counts = std::vector<uint32_t>;

} // namespace

TEST(BurstStart, StartValuesAndNoTarget) {
    BurstGenerator gen;
    EXPECT_EQ(gen.TargetTable, nullptr);
    EXPECT_EQ(gen.WorkingTable.Model, 2);
    EXPECT_EQ(gen.FirstChannel, 1);
    EXPECT_EQ(gen.BurstLength, 2);
    EXPECT_EQ(gen.BurstType, ConstantSpeed);
    EXPECT_EQ(gen.IncrementSteps, 1);
    EXPECT_EQ(gen.AccelerationSteps, 0);
    EXPECT_EQ(gen.AccelerationLimit, 0);
    EXPECT_EQ(gen.FirstOffsetSteps, 0);
    EXPECT_EQ(gen.FirstChannelMaximum(), 29);
    EXPECT_EQ(gen.BurstLengthMaximum(), 30);
    EXPECT_FALSE(gen.FirstTypeChangeable());

    ChannelTable table;
    gen.LoadTable(&table);
    gen.LoadTable(nullptr);
    EXPECT_EQ(gen.TargetTable, nullptr);
}

TEST_F(Burst, ConstantSpeedLeavesTheFirstChannelAlone) {
    Set(3, Manual, 10);
    Set(7, Automatic, 3); // right after the burst: keeps its interval
    Set(8, Manual, 50);
    Document.LastError = 13;
    Gen.LoadTable(&Document);
    Gen.SelectFirstChannel(3);
    Gen.SetBurstLength(4);
    Gen.SetIncrement(5);
    EXPECT_EQ(Steps(4, 6), Counts({0, 0, 0})); // nothing reaches the document before OK
    Gen.ApplyBurst();
    EXPECT_EQ(Document.LastError, 13); // only slots and model are copied back

    EXPECT_TRUE(AllAutomatic(4, 6));
    EXPECT_EQ(Steps(3, 8), Counts({10, 5, 5, 5, 3, 50}));
    EXPECT_EQ(Document.Slots[2].Type, Manual);
    EXPECT_DOUBLE_EQ(Document.GetChannelTime(5), 5.0);
    EXPECT_DOUBLE_EQ(Document.GetChannelTime(6), 5.6);
    EXPECT_EQ(Document.PortHandle, 42);
}

TEST_F(Burst, PacesAndLimits) {
    struct Case {
        const char* name;
        BurstKind type;
        int first, length, increment, acceleration;
        int limit;
        Counts burst; // own delays of the channels after the first
    };
    const Case cases[] = {
        {"accelerating", Accelerating, 1, 5, 10, 3, 3, {10, 7, 4, 1}},
        {"decelerating", Decelerating, 1, 4, 5, 2, 10920, {5, 7, 9}},
        {"accelerating, length 2", Accelerating, 4, 2, 8, 8, 8, {8}},
        {"accelerating, increment 1", Accelerating, 2, 3, 1, 0, 0, {1, 1}},
        {"accelerating, increment 1, length 6", Accelerating, 2, 6, 1, 0, 0, {1, 1, 1, 1, 1}},
        {"decelerating, length 30", Decelerating, 1, 30, 100, 1000, 1126, {100, 1100, 2100}},
        {"constant", ConstantSpeed, 5, 3, 32766, 0, 0, {32766, 32766}},
    };
    for (const Case& c : cases) {
        LinkedTable table;
        BurstGenerator gen;
        gen.LoadTable(&table);
        gen.SetBurstType(c.type);
        gen.SelectFirstChannel(c.first);
        gen.SetBurstLength(c.length);
        gen.SetIncrement(c.increment);
        EXPECT_EQ(gen.AccelerationLimit, c.limit) << c.name;
        gen.SetAcceleration(c.acceleration);
        gen.ApplyBurst();
        for (size_t i = 0; i < c.burst.size(); ++i) {
            const ChannelSlot& slot = table.Slots[static_cast<size_t>(c.first) + i];
            EXPECT_EQ(slot.Type, Automatic) << c.name << " channel " << c.first + 1 + i;
            EXPECT_EQ(slot.Steps, c.burst[i]) << c.name << " channel " << c.first + 1 + i;
        }
        // The channel after the burst is untouched.
        size_t after = static_cast<size_t>(c.first + c.length - 1);
        if (after < SlotCount) {
            EXPECT_EQ(table.Slots[after].Type, Manual) << c.name;
            EXPECT_EQ(table.Slots[after].Steps, 0u) << c.name;
        }
    }
}

TEST_F(Burst, LimitFollowsLengthIncrementAndType) {
    Gen.LoadTable(&Document);
    Gen.SetBurstType(Accelerating);
    Gen.SetIncrement(10);
    Gen.SetBurstLength(3);
    EXPECT_EQ(Gen.AccelerationLimit, 9);
    Gen.SetAcceleration(9);
    Gen.SetBurstLength(5); // longer: lower limit, acceleration drops to it
    EXPECT_EQ(Gen.AccelerationLimit, 3);
    EXPECT_EQ(Gen.AccelerationSteps, 3);
    Gen.SetIncrement(4);
    EXPECT_EQ(Gen.AccelerationLimit, 1);
    EXPECT_EQ(Gen.AccelerationSteps, 1);

    // Constant speed keeps the acceleration and the limit but uses neither.
    Gen.SetIncrement(10);
    Gen.SetAcceleration(3);
    Gen.SetBurstType(ConstantSpeed);
    Gen.SetIncrement(4);
    EXPECT_EQ(Gen.AccelerationLimit, 3);
    EXPECT_EQ(Gen.AccelerationSteps, 3);
    Gen.ApplyBurst();
    EXPECT_EQ(Steps(2, 5), Counts({4, 4, 4, 4}));
    Gen.SetBurstType(Accelerating); // recomputed on the way back
    EXPECT_EQ(Gen.AccelerationLimit, 1);
    EXPECT_EQ(Gen.AccelerationSteps, 1);
}

TEST_F(Burst, FirstChannelAndLengthBounds) {
    Document.SetModel(0);
    Set(10, Automatic, 7);
    Gen.LoadTable(&Document);
    EXPECT_EQ(Gen.FirstChannelMaximum(), 14);
    Gen.SelectFirstChannel(10);
    EXPECT_EQ(Gen.FirstOffsetSteps, 7);
    EXPECT_EQ(Gen.BurstLengthMaximum(), 6);
    EXPECT_TRUE(Gen.FirstTypeChangeable());
    Gen.SetBurstLength(9);
    EXPECT_EQ(Gen.BurstLength, 6);
    Gen.SelectFirstChannel(12); // 6 no longer fits: cut to 4
    EXPECT_EQ(Gen.BurstLength, 4);
    Gen.SelectFirstChannel(2); // fits: stays
    EXPECT_EQ(Gen.BurstLength, 4);

    for (int outside : {0, -3, 16, 30}) {
        Gen.SelectFirstChannel(7);
        Gen.SelectFirstChannel(outside);
        EXPECT_EQ(Gen.FirstChannel, 1) << outside;
        EXPECT_FALSE(Gen.FirstTypeChangeable()) << outside;
    }
}

TEST_F(Burst, LastChannelAsFirstLeavesNoRoom) {
    Set(29, Automatic, 4);
    Gen.LoadTable(&Document);
    for (BurstKind type : {Accelerating, Decelerating}) {
        Gen.SetBurstType(type);
        Gen.SetIncrement(20);
        Gen.SetAcceleration(5);
        Gen.SelectFirstChannel(30);
        EXPECT_EQ(Gen.FirstChannel, 30);
        EXPECT_EQ(Gen.BurstLength, 1);
        EXPECT_EQ(Gen.AccelerationLimit, 0);
        EXPECT_EQ(Gen.AccelerationSteps, 0);
        Gen.SetBurstLength(2);
        EXPECT_EQ(Gen.BurstLength, 1);
        Gen.SelectFirstChannel(1);
        Gen.SetBurstLength(2);
    }
    Gen.SelectFirstChannel(30);
    Gen.SetFirstType(Automatic);
    Gen.SetFirstOffset(7);
    Gen.ApplyBurst();
    EXPECT_EQ(Document.Slots[29].Type, Automatic);
    EXPECT_EQ(Document.Slots[29].Steps, 7u);
    EXPECT_EQ(Document.Slots[28].Steps, 4u);
}

TEST_F(Burst, FirstChannelEdits) {
    Set(1, Manual, 10);
    Set(5, Manual, 3);
    Gen.LoadTable(&Document);
    Gen.SelectFirstChannel(6);
    Gen.SetFirstType(Automatic); // 0 steps: gets one
    EXPECT_EQ(Gen.FirstChannelType(), Automatic);
    EXPECT_EQ(Gen.WorkingTable.Slots[5].Steps, 1u);
    EXPECT_DOUBLE_EQ(Gen.FirstChannelTime(), 0.8);
    Gen.SetFirstOffset(10);
    EXPECT_DOUBLE_EQ(Gen.FirstChannelTime(), 2.6);
    Gen.SetFirstOffset(32767); // refused: the delay stays
    EXPECT_EQ(Gen.FirstOffsetSteps, 32767);
    EXPECT_EQ(Gen.WorkingTable.Slots[5].Steps, 10u);
    Gen.SetFirstType(Manual);
    Gen.SetFirstType(Automatic); // has steps already: kept
    EXPECT_EQ(Gen.WorkingTable.Slots[5].Steps, 10u);

    // Choosing another first channel does not undo the edit: it reaches the document too.
    Gen.SelectFirstChannel(1);
    Gen.SetFirstType(Automatic); // channel 1 stays manual
    EXPECT_EQ(Gen.FirstChannelType(), Manual);
    EXPECT_EQ(Gen.WorkingTable.Slots[0].Type, Manual);
    Gen.ApplyBurst();
    EXPECT_EQ(Document.Slots[0].Type, Manual);
    EXPECT_EQ(Document.Slots[5].Type, Automatic);
    EXPECT_EQ(Document.Slots[5].Steps, 10u);
}

TEST_F(Burst, TooLongDelaysKeepThePreviousCounts) {
    Set(3, Manual, 11);
    Set(4, Manual, 12);
    Gen.LoadTable(&Document);
    Gen.SelectFirstChannel(2);
    Gen.SetBurstLength(3);
    Gen.SetIncrement(32767);
    Gen.ApplyBurst();
    EXPECT_TRUE(AllAutomatic(3, 4));
    EXPECT_EQ(Steps(3, 4), Counts({11, 12}));
}

TEST_F(Burst, CancelLeavesTheDocumentAndTheNextLoadStartsAfresh) {
    Set(4, Automatic, 9);
    Gen.LoadTable(&Document);
    Gen.SetBurstType(Decelerating);
    Gen.SetIncrement(6);
    Gen.SelectFirstChannel(4);
    Gen.SetBurstLength(5);
    Gen.SetAcceleration(2);
    Gen.SetFirstType(Manual);
    Gen.SetFirstOffset(20);
    LinkedTable before = Document;

    Gen.LoadTable(&Document); // a later use, without ApplyBurst in between
    for (size_t k = 0; k < SlotCount; ++k) {
        EXPECT_EQ(Document.Slots[k].Type, before.Slots[k].Type);
        EXPECT_EQ(Document.Slots[k].Steps, before.Slots[k].Steps);
        EXPECT_EQ(Gen.WorkingTable.Slots[k].Steps, Document.Slots[k].Steps);
        EXPECT_EQ(Gen.WorkingTable.Slots[k].Type, Document.Slots[k].Type);
    }
    // The pace settings carry over; the channel choice does not.
    EXPECT_EQ(Gen.BurstType, Decelerating);
    EXPECT_EQ(Gen.IncrementSteps, 6);
    EXPECT_EQ(Gen.AccelerationSteps, 2);
    EXPECT_EQ(Gen.FirstChannel, 1);
    EXPECT_EQ(Gen.BurstLength, 2);
    EXPECT_EQ(Gen.AccelerationLimit, 32761);
}

TEST_F(Burst, ModelIsCopiedBothWays) {
    Document.SetModel(1);
    Gen.LoadTable(&Document);
    EXPECT_EQ(Gen.ChannelCount(), 15);
    Gen.WorkingTable.SetModel(2); // only ApplyBurst writes back, model included
    Gen.ApplyBurst();
    EXPECT_EQ(Document.Model, 2);
}
