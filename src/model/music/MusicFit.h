#pragma once
// A show set to music: sequences placed in the music by their planned start (the moment the
// operator presses the device's button), and a sequence's automatic chain fitted to markers.
// The fitting rounds the absolute times to the 0.2 s grid and takes the delays as their
// differences, so no channel ends more than half a step from its marker however long the chain.

#include "model/program/ChannelTable.h"

#include <map>
#include <string>
#include <vector>

namespace salvo {

struct Marker {
    double Time = 0; // seconds from the start of the music
    std::string Text;
};

// Sorted by time; a marker equal to one already there (time and text) is not added twice.
void AddMarkers(std::vector<Marker>& markers, const std::vector<Marker>& added);

// A manual channel and the automatic ones after it (0-based slot indexes).
struct SequenceSpan {
    int First = 0;
    int Last = 0;
    double Duration = 0; // the time of its last channel, from the press
};

std::vector<SequenceSpan> SequencesOf(const ChannelTable& table);
// The sequence holding a channel (0-based), or -1 outside the channels in use.
int SequenceOfChannel(const std::vector<SequenceSpan>& sequences, int index);

// Planned starts by the channel number (1-based) of each sequence's manual channel. A sequence
// without one starts where the one before it ends; the first at 0.
using PlannedStartMap = std::map<int, double>;
std::vector<double> PlannedStarts(const std::vector<SequenceSpan>& sequences,
                                  const PlannedStartMap& chosen);

enum class FitProblem {
    None,
    NoAutomaticChannel, // the sequence is its manual channel alone
    NoMarker,           // no marker after the planned start
    TooFewMarkers,      // more automatic channels than markers after the start
    SameStep,           // two markers round to the same grid point
    NotAfterManual,     // the first marker rounds to the manual channel's time or before it
    // With the lift times: a channel's ignition would come before the previous channel's,
    // on the same grid point (the device has no zero delay), or before the sequence's start.
    LiftBeforePrevious,
    LiftWithPrevious,
    LiftBeforeStart,
};

struct ChainFit {
    FitProblem Problem = FitProblem::None;
    // The times from the press, on the grid, one per automatic channel in order.
    std::vector<double> Times;
    // The markers they are fitted to (indexes into the marker list).
    std::vector<int> MarkerIndexes;
    int Needed = 0, Available = 0;           // automatic channels, markers after the start
    int FirstMarker = -1, SecondMarker = -1; // the markers that make a SameStep/NotAfterManual
    int LiftChannel = -1; // the automatic channel (0-based in the chain) a Lift problem names
    double Lift = 0;      // its lift time, seconds
};

// Markers after start (by more than a millisecond: a start put on a marker is that marker's
// press, not a channel's).
ChainFit FitChain(double start, double manualTime, int automaticCount,
                  const std::vector<Marker>& markers);
// The same with the products' lift times (seconds from ignition to the effect, one per automatic
// channel in order; missing ones are 0): each channel's effect goes on its marker, its ignition
// that much earlier, still rounded from the absolute time. With every lift 0 it is FitChain.
ChainFit FitChain(double start, double manualTime, int automaticCount,
                  const std::vector<Marker>& markers, const std::vector<double>& lifts);

// The box text for a refused fit; times with the given separator.
std::string FitProblemText(const ChainFit& fit, const std::vector<Marker>& markers, double start,
                           int manualChannel, char separator);

// Whether every automatic channel of a sequence pressed at start fires within half a grid step
// of a marker, as a fitted sequence does (times from the press; at least one channel).
bool SitsOnMarkers(double start, const std::vector<double>& automaticTimes,
                   const std::vector<Marker>& markers);

// Signed difference of each channel's firing in the music from its marker; with lifts (one per
// time, missing ones 0), of its effect.
std::vector<double> FitResiduals(double start, const std::vector<double>& times,
                                 const std::vector<Marker>& markers,
                                 const std::vector<int>& markerIndexes,
                                 const std::vector<double>& lifts = {});
double LargestResidual(const std::vector<double>& residuals);

// Seconds with two decimals: "0,08", "-0,1" shown "-0,10"; withSign puts "+" on positives.
std::string FormatResidual(double seconds, char separator, bool withSign);

// The naive way, for comparison only: each delay rounded on its own from the gap between
// markers. Returns the times from the press.
std::vector<double> RoundEachDelay(double start, double manualTime,
                                   const std::vector<double>& markerTimes);

} // namespace salvo
