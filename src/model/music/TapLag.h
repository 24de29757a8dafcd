#pragma once
// The operator's tap lag ("décalage de frappe"): how late a person presses after the beat they
// hear. It is measured against a click track: each tap's lag is its time less the nearest
// click's, and the median of the lags is the proposal. Markers dropped by ear and rehearsal
// presses are then placed that much earlier.

#include <cstdint>
#include <optional>
#include <vector>

namespace salvo {

// The range of a tap lag, in seconds.
constexpr double MaxTapLag = 0.5;
// Taps needed before a lag is proposed, and the most kept (the latest ones).
constexpr int MinTaps = 10;
constexpr int MaxTaps = 20;

// Clicks at First, First + Interval, ... (Count of them), in seconds.
struct ClickTrack {
    double First = 1.0;
    double Interval = 0.5;
    int Count = 120;

    double Time(int k) const { return First + k * Interval; }
    double Duration() const { return Time(Count - 1) + Interval; }
};

// The lag of a tap at tapSeconds behind the nearest click (negative when early); nullopt when
// it is farther than half the interval from every click.
std::optional<double> TapLagOf(double tapSeconds, const ClickTrack& clicks);

// The median of the lags (the mean of the two middle ones for an even count); 0 for none.
double MedianLag(std::vector<double> lags);

// The lag proposed for taps with these lags: their median kept within 0 to MaxTapLag, to the
// millisecond.
double ProposedTapLag(const std::vector<double>& lags);

// Whether a lag may be kept with a show (0 to MaxTapLag).
bool ValidTapLag(double seconds);

// The time a press heard at heardSeconds stands for: that less the lag, never below 0.
double CorrectedForTapLag(double heardSeconds, double lagSeconds);

// The click track as mono 16-bit samples at rate: a short decaying tone on each click.
std::vector<int16_t> ClickSamples(const ClickTrack& clicks, int rate);

} // namespace salvo
