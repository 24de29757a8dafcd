#include "model/music/TapLag.h"

#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>

namespace salvo {

std::optional<double> TapLagOf(double tapSeconds, const ClickTrack& clicks) {
    if (clicks.Count <= 0 || !(clicks.Interval > 0) || !std::isfinite(tapSeconds))
        return std::nullopt;
    const double k = std::round((tapSeconds - clicks.First) / clicks.Interval);
    const int nearest = static_cast<int>(std::clamp(k, 0.0, double(clicks.Count - 1)));
    const double lag = tapSeconds - clicks.Time(nearest);
    if (std::fabs(lag) > clicks.Interval / 2)
        return std::nullopt;
    return lag;
}

double MedianLag(std::vector<double> lags) {
    if (lags.empty())
        return 0;
    std::sort(lags.begin(), lags.end());
    const size_t n = lags.size();
    return n % 2 ? lags[n / 2] : (lags[n / 2 - 1] + lags[n / 2]) / 2;
}

double ProposedTapLag(const std::vector<double>& lags) {
    return RoundToMillisecond(std::clamp(MedianLag(lags), 0.0, MaxTapLag));
}

bool ValidTapLag(double seconds) {
    return std::isfinite(seconds) && seconds >= 0 && seconds <= MaxTapLag;
}

double CorrectedForTapLag(double heardSeconds, double lagSeconds) {
    return std::max(0.0, heardSeconds - lagSeconds);
}

std::vector<int16_t> ClickSamples(const ClickTrack& clicks, int rate) {
    if (rate <= 0 || clicks.Count <= 0)
        return {};
    std::vector<int16_t> out(static_cast<size_t>(std::ceil(clicks.Duration() * rate)), 0);
    // 15 ms of a 2 kHz tone dying away: short enough to tap on, heard on any speaker.
    const size_t length = static_cast<size_t>(rate * 0.015);
    const double pi = std::acos(-1.0);
    for (int k = 0; k < clicks.Count; ++k) {
        const size_t start = static_cast<size_t>(std::llround(clicks.Time(k) * rate));
        for (size_t i = 0; i < length && start + i < out.size(); ++i) {
            const double t = double(i) / rate;
            const double fade = 1.0 - double(i) / double(length);
            out[start + i] =
                static_cast<int16_t>(std::lround(16000 * fade * std::sin(2 * pi * 2000 * t)));
        }
    }
    return out;
}

} // namespace salvo
