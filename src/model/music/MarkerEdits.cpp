#include "model/music/MarkerEdits.h"

#include "model/music/MusicFile.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>

namespace salvo {

namespace {

bool IsMusicTime(double seconds) {
    return std::isfinite(seconds) && seconds >= 0 && seconds <= MaxMusicSeconds;
}

} // namespace

double SnapTo(double seconds, const std::vector<double>& candidates, double reach) {
    double best = seconds, gap = reach;
    for (double c : candidates)
        if (std::abs(c - seconds) <= gap) {
            gap = std::abs(c - seconds);
            best = c;
        }
    return best;
}

void MarkerEdits::Select(int index) {
    Chosen = Valid(index) ? index : -1;
}

void MarkerEdits::Record() {
    History.push_back({List, Chosen});
    if (History.size() > MaxSteps)
        History.erase(History.begin());
}

int MarkerEdits::Place(Marker marker) {
    marker.Time = RoundToMillisecond(marker.Time);
    auto at = std::upper_bound(List.begin(), List.end(), marker.Time,
                               [](double t, const Marker& m) { return t < m.Time; });
    const auto placed = List.insert(at, std::move(marker));
    Chosen = static_cast<int>(placed - List.begin());
    return Chosen;
}

int MarkerEdits::Add(double seconds, const std::string& text) {
    if (!IsMusicTime(seconds))
        return -1;
    Record();
    return Place({seconds, text});
}

int MarkerEdits::Move(int index, double seconds, bool continuing) {
    if (!Valid(index) || !IsMusicTime(seconds))
        return -1;
    if (!continuing || History.empty())
        Record();
    Marker moved = List[size_t(index)];
    List.erase(List.begin() + index);
    moved.Time = seconds;
    return Place(std::move(moved));
}

int MarkerEdits::Rename(int index, const std::string& text) {
    if (!Valid(index))
        return -1;
    Record();
    List[size_t(index)].Text = text;
    Chosen = index;
    return index;
}

bool MarkerEdits::Remove(int index) {
    if (!Valid(index))
        return false;
    Record();
    List.erase(List.begin() + index);
    Chosen = -1;
    return true;
}

bool MarkerEdits::Undo() {
    if (History.empty())
        return false;
    List = std::move(History.back().Markers);
    Chosen = History.back().Selected;
    History.pop_back();
    if (!Valid(Chosen))
        Chosen = -1;
    return true;
}

void MarkerEdits::Forget() {
    History.clear();
    Chosen = -1;
}

} // namespace salvo
