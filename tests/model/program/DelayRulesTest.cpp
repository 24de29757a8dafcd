#include "model/program/DelayRules.h"
#include "RecordingServices.h"

#include <gtest/gtest.h>

using namespace salvo;

namespace {

// A document's table, shown times and cells, with a French separator.
struct Fixture : ::testing::Test {
    ChannelTable Table;
    ShownTimeArray Shown{};
    RecordingServices Cells;
    DelayRules Rules{Table, Shown, Cells, ','};

    void Type(int channel, const std::string& text) { Rules.CommitTypedTime(channel - 1, text); }
    void MakeAutomatic(int channel) { Rules.ChangeChannelType(channel - 1, Automatic); }
    const std::string& Cell(int channel) { return Cells.DelayCells[channel - 1]; }
};

const std::string M2For65535 =
    "Le temps de 6553,5 secondes que vous avez programmé dépasse la limite.\n\r Au maximum "
    "vous pouvez avoir un retard de 6553,4 secondes ";

} // namespace

using ApplyChannelTime = Fixture;

TEST_F(ApplyChannelTime, ManualChannelLandsOnTheGrid) {
    struct Case {
        const char* typed;
        const char* shown;
        uint32_t steps;
    };
    const Case cases[] = {{"1,3", "1,2", 6},           {"0,1", "0", 0},   {"12,34", "12,4", 62},
                          {"6553,4", "6553,4", 32767}, {"1,5", "1,6", 8}, {",", "0", 0}};
    for (const Case& c : cases) {
        Type(2, c.typed);
        EXPECT_EQ(Cell(2), c.shown) << c.typed;
        EXPECT_EQ(Table.Slots[1].Steps, c.steps) << c.typed;
        EXPECT_DOUBLE_EQ(Shown[1], Table.GetChannelTime(1));
    }
    EXPECT_TRUE(Cells.Warnings.empty());
}

TEST_F(ApplyChannelTime, ManualAboveLimitWarnsAndKeepsThePreviousDelay) {
    Type(2, "7");
    Type(2, "6553,5");
    ASSERT_EQ(Cells.Warnings.size(), 1u);
    EXPECT_EQ(Cells.Warnings[0], M2For65535);
    EXPECT_EQ(Cell(2), "7");
    EXPECT_EQ(Table.Slots[1].Steps, 35u);
    EXPECT_DOUBLE_EQ(Shown[1], 7.0);
}

TEST_F(ApplyChannelTime, NotANumberWarnsAndChangesNothing) {
    Type(3, "4");
    Cells.DelayCells[2] = "typed";
    for (const char* text : {"", "1,2,3", "-1", "abc"}) {
        Type(3, text);
        EXPECT_EQ(Cells.Warnings.back(), "La Valeur saisie n'est pas un nombre");
    }
    EXPECT_EQ(Cells.Warnings.size(), 4u);
    EXPECT_EQ(Table.Slots[2].Steps, 20u);
    EXPECT_EQ(Cell(3), "typed"); // the cell keeps the text as typed
}

TEST_F(ApplyChannelTime, AutomaticAfterTenCorrectsSilentlyOrWithM3) {
    Type(2, "10");
    MakeAutomatic(3);
    struct Case {
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {"10", "10,2"}, {"9,8", "10,2"}, {"10,1", "10,2"}, {"10,15", "10,2"}, {"15", "15"}};
    for (const Case& c : cases) {
        Type(3, c.typed);
        EXPECT_EQ(Cell(3), c.shown) << c.typed;
    }
    EXPECT_TRUE(Cells.Warnings.empty());

    Type(3, "6563,6");
    ASSERT_EQ(Cells.Warnings.size(), 1u);
    EXPECT_EQ(Cells.Warnings[0],
              "Le temps de 6563,6 secondes de la voie n°3 que vous avez programmé dépasse la "
              "limite.\n\r Au maximum vous pouvez avoir un retard entre 2 voies de 6553,4 "
              "secondes, \n\r c'est à dire un retard total de 6563,4 secondes par rapport à la "
              "voie manuelle précédente.");
    EXPECT_EQ(Cell(3), "10,2");
    EXPECT_EQ(Table.Slots[2].Steps, 1u);
}

TEST_F(ApplyChannelTime, FollowingAutomaticChannelsMoveOnlyWhenOvertaken) {
    // Channel 2 manual at 0, channel 3 automatic at 5, channel 4 automatic at 8.
    MakeAutomatic(3);
    MakeAutomatic(4);
    Type(3, "5");
    Type(4, "8");
    Type(3, "9");
    EXPECT_EQ(Cell(4), "9,2");
    Type(4, "8"); // becomes 9,2 again, channel 3 being at 9
    Type(3, "2");
    EXPECT_EQ(Cell(3), "2");
    EXPECT_EQ(Cell(4), "9,2");
    EXPECT_EQ(Table.Slots[3].Steps, 36u); // own delay recomputed, time kept
    EXPECT_TRUE(Cells.Warnings.empty());
}

TEST_F(ApplyChannelTime, StopsAtTheNextManualChannel) {
    Type(2, "3");
    MakeAutomatic(3);
    Type(3, "4");
    Type(5, "1"); // channel 4 manual at 0, channel 5 manual at 1
    MakeAutomatic(6);
    Type(6, "2");
    Cells.DelayCells.fill("untouched");
    Type(3, "100");
    EXPECT_EQ(Cell(3), "100");
    EXPECT_EQ(Cell(2), "untouched"); // the manual start of the sequence
    EXPECT_EQ(Cell(4), "untouched");
    EXPECT_EQ(Cell(6), "untouched");
    EXPECT_EQ(Table.GetChannelTime(1), 3.0);
    EXPECT_DOUBLE_EQ(Table.GetChannelTime(5), 2.0);
}

TEST_F(ApplyChannelTime, ManualChangeRipplesThroughItsSequence) {
    MakeAutomatic(3);
    MakeAutomatic(4);
    Type(3, "1");
    Type(4, "2");
    Type(2, "5"); // channels 3 and 4 are overtaken and move one step after each other
    EXPECT_EQ(Cell(3), "5,2");
    EXPECT_EQ(Cell(4), "5,4");
}

TEST_F(ApplyChannelTime, EveryWarningComesInChannelOrder) {
    // Two automatic channels far apart: the manual channel moves under them both.
    MakeAutomatic(3);
    MakeAutomatic(4);
    Shown[2] = 7000;
    Shown[3] = 14000;
    Rules.ApplyChannelTime(1, 0.0);
    ASSERT_EQ(Cells.Warnings.size(), 2u);
    EXPECT_NE(Cells.Warnings[0].find("7000 secondes de la voie n°3"), std::string::npos);
    EXPECT_NE(Cells.Warnings[1].find("14000 secondes de la voie n°4"), std::string::npos);
    EXPECT_EQ(Cell(3), "0,2");
    EXPECT_EQ(Cell(4), "0,4");
}

using ChangeChannelType = Fixture;

TEST_F(ChangeChannelType, ChannelOneNeverBecomesAutomatic) {
    MakeAutomatic(1);
    EXPECT_EQ(Table.Slots[0].Type, Manual);
    EXPECT_EQ(Cells.TypeCells[0], "");
}

TEST_F(ChangeChannelType, AutomaticKeepsItsLaterTimeAndManualTakesItsShownTime) {
    Type(2, "4");
    Type(3, "6");
    MakeAutomatic(3);
    EXPECT_EQ(Cells.TypeCells[2], "Automatique");
    EXPECT_EQ(Cell(3), "6");
    EXPECT_EQ(Table.Slots[2].Steps, 10u);
    Rules.ChangeChannelType(2, Manual);
    EXPECT_EQ(Cells.TypeCells[2], "Manuel");
    EXPECT_EQ(Table.Slots[2].Steps, 30u);
    EXPECT_EQ(Cell(3), "6");
    // Made automatic while not later than its predecessor: one step after it.
    Type(4, "1");
    MakeAutomatic(4);
    EXPECT_EQ(Cell(4), "6,2");
    Rules.ChangeChannelType(4, 2); // not a type: nothing
    EXPECT_EQ(Table.Slots[3].Type, Automatic);
}

TEST_F(ChangeChannelType, ModelSwitchChangesNoDelay) {
    MakeAutomatic(20);
    Type(20, "3");
    Table.SetModel(0);
    Table.SetModel(2);
    EXPECT_EQ(Table.Slots[19].Type, Automatic);
    EXPECT_DOUBLE_EQ(Table.GetChannelTime(19), 3.0);
    EXPECT_TRUE(Cells.Warnings.empty());
}
