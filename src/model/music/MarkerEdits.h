#pragma once
// Markers fixed by hand: selected, moved, renamed, removed or added one at a time, each edit a
// step that can be taken back. The list stays sorted by time, every time to the millisecond.

#include "model/music/MusicFit.h"

#include <string>
#include <vector>

namespace salvo {

// The candidate nearest to seconds within reach, or seconds itself.
double SnapTo(double seconds, const std::vector<double>& candidates, double reach);

class MarkerEdits {
public:
    // Steps kept; the oldest go first.
    static constexpr size_t MaxSteps = 200;

    explicit MarkerEdits(std::vector<Marker>& markers) : List(markers) {}

    int Selected() const { return Chosen; }
    // Out of range: nothing selected.
    void Select(int index);

    // Each returns the marker's index once the list is sorted again (it is then the one
    // selected), or -1 for an index or a time that is not one (negative, beyond a day).
    int Add(double seconds, const std::string& text);
    // continuing: part of the step before (the moves of one drag are taken back at once).
    int Move(int index, double seconds, bool continuing = false);
    int Rename(int index, const std::string& text);
    bool Remove(int index);

    // Before markers change by other ways (marked while listening, imported): a step too.
    void Record();
    // Back to the list before the last step; false when there is none.
    bool Undo();
    bool CanUndo() const { return !History.empty(); }
    // Another list altogether (a file read): nothing of the old one is taken back into it.
    void Forget();

private:
    struct State {
        std::vector<Marker> Markers;
        int Selected = -1;
    };
    bool Valid(int index) const { return index >= 0 && size_t(index) < List.size(); }
    int Place(Marker marker); // inserts after the equal times, returns its index

    std::vector<Marker>& List;
    std::vector<State> History;
    int Chosen = -1;
};

} // namespace salvo
