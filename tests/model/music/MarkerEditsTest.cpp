// Markers fixed by hand: each edit keeps the list sorted and to the millisecond, selects the
// marker it touched, refuses what is not a time, and is taken back step by step.

#include "model/music/MarkerEdits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace salvo;

namespace {

std::string Listed(const std::vector<Marker>& markers) {
    std::string out;
    for (const Marker& m : markers)
        out += std::to_string(std::lround(m.Time * 1000)) + ":" + m.Text + " ";
    return out;
}

} // namespace

TEST(MarkerEdits, EachEditSortsSelectsAndIsTakenBack) {
    const std::vector<Marker> start = {{1, "a"}, {2, "b"}, {3, "c"}};
    struct Case {
        const char* what;
        std::function<int(MarkerEdits&)> edit; // the index it returns
        int index;
        const char* after;
        int selected;
    } cases[] = {
        {"added between, to the millisecond", [](MarkerEdits& e) { return e.Add(2.50049, "x"); }, 2,
         "1000:a 2000:b 2500:x 3000:c ", 2},
        {"added at an equal time goes after it", [](MarkerEdits& e) { return e.Add(2, "x"); }, 2,
         "1000:a 2000:b 2000:x 3000:c ", 2},
        {"moved past the others", [](MarkerEdits& e) { return e.Move(0, 3.25); }, 2,
         "2000:b 3000:c 3250:a ", 2},
        {"moved to the front", [](MarkerEdits& e) { return e.Move(2, 0); }, 0, "0:c 1000:a 2000:b ",
         0},
        {"renamed", [](MarkerEdits& e) { return e.Rename(1, "Refrain"); }, 1,
         "1000:a 2000:Refrain 3000:c ", 1},
        {"removed", [](MarkerEdits& e) { return e.Remove(1) ? 0 : -1; }, 0, "1000:a 3000:c ", -1},
        {"a negative time", [](MarkerEdits& e) { return e.Add(-0.001, "x"); }, -1,
         "1000:a 2000:b 3000:c ", -1},
        {"beyond a day", [](MarkerEdits& e) { return e.Move(0, 86400.5); }, -1,
         "1000:a 2000:b 3000:c ", -1},
        {"not a number",
         [](MarkerEdits& e) { return e.Move(0, std::numeric_limits<double>::quiet_NaN()); }, -1,
         "1000:a 2000:b 3000:c ", -1},
        {"no such marker", [](MarkerEdits& e) { return e.Rename(3, "x"); }, -1,
         "1000:a 2000:b 3000:c ", -1},
        {"no such marker to remove", [](MarkerEdits& e) { return e.Remove(-1) ? 0 : -1; }, -1,
         "1000:a 2000:b 3000:c ", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Marker> markers = start;
        MarkerEdits edits(markers);
        EXPECT_EQ(c.edit(edits), c.index);
        EXPECT_EQ(Listed(markers), c.after);
        EXPECT_EQ(edits.Selected(), c.selected);
        // A refused edit leaves nothing to take back; any other is taken back whole.
        EXPECT_EQ(edits.Undo(), c.index >= 0);
        EXPECT_EQ(Listed(markers), Listed(start));
    }
}

TEST(MarkerEdits, StepsAreTakenBackInTurnAndADragIsOne) {
    std::vector<Marker> markers = {{1, "a"}, {2, "b"}};
    MarkerEdits edits(markers);
    edits.Select(1);
    edits.Rename(1, "refrain");
    // A drag: its moves make one step, the selection following the marker as it passes another.
    int at = edits.Move(1, 1.5);
    at = edits.Move(at, 0.5, true);
    at = edits.Move(at, 0.75, true);
    EXPECT_EQ(at, 0);
    edits.Record(); // a marker dropped while listening
    markers.push_back({4, ""});
    edits.Remove(1);
    EXPECT_EQ(Listed(markers), "750:refrain 4000: ");

    const char* back[] = {"750:refrain 1000:a 4000: ", "750:refrain 1000:a ",
                          "1000:a 2000:refrain ", "1000:a 2000:b "};
    for (const char* expected : back) {
        ASSERT_TRUE(edits.Undo());
        EXPECT_EQ(Listed(markers), expected);
    }
    EXPECT_EQ(edits.Selected(), 1); // as it was before the first edit
    EXPECT_FALSE(edits.Undo());

    // Steps beyond the kept number lose the oldest, never the newest.
    for (size_t k = 0; k < MarkerEdits::MaxSteps + 5; ++k)
        edits.Add(10 + double(k), "n");
    size_t undone = 0;
    while (edits.Undo())
        ++undone;
    EXPECT_EQ(undone, MarkerEdits::MaxSteps);
    EXPECT_EQ(markers.size(), 7u);

    edits.Add(1, "x");
    edits.Forget();
    EXPECT_FALSE(edits.CanUndo());
    EXPECT_EQ(edits.Selected(), -1);
}

TEST(MarkerEdits, SnapsToTheNearestWithinReach) {
    const std::vector<double> candidates = {1.0, 1.3, 5.0};
    struct Case {
        double seconds, reach, snapped;
    } cases[] = {
        {1.04, 0.05, 1.0}, {1.06, 0.05, 1.06}, {1.2, 0.2, 1.3},
        {1.14, 0.2, 1.0},  {4.0, 0.5, 4.0},    {4.0, 1.0, 5.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SnapTo(c.seconds, candidates, c.reach), c.snapped) << c.seconds << " " << c.reach;
}
