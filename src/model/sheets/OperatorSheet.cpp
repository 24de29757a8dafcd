#include "model/sheets/OperatorSheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace salvo {

namespace {

// A press planned on a marker is that marker's, as the planned starts snap to them.
constexpr double OnMarker = 0.05;

} // namespace

std::vector<OperatorRow> OperatorRows(const std::vector<SequenceSpan>& sequences,
                                      const std::vector<double>& starts,
                                      const std::vector<Marker>& markers) {
    std::vector<OperatorRow> rows;
    for (size_t s = 0; s < sequences.size(); ++s) {
        OperatorRow row;
        row.Number = int(s) + 1;
        row.FirstChannel = sequences[s].First + 1;
        row.LastChannel = sequences[s].Last + 1;
        row.Duration = sequences[s].Duration;
        if (s < starts.size()) {
            row.Start = starts[s];
            const Marker* nearest = nullptr;
            for (const Marker& m : markers)
                if (std::fabs(m.Time - starts[s]) <= OnMarker &&
                    (!nearest || std::fabs(m.Time - starts[s]) < std::fabs(nearest->Time - starts[s])))
                    nearest = &m;
            if (nearest)
                row.Marker = nearest->Text;
        }
        rows.push_back(row);
    }
    return rows;
}

std::string MinutesText(double seconds, char separator) {
    const long long tenths = std::llround(std::max(0.0, seconds) * 10);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld%c%lld", tenths / 600, tenths % 600 / 10,
                  separator, tenths % 10);
    return text;
}

std::string ChannelRange(int first, int last) {
    return first == last ? std::to_string(first)
                         : std::to_string(first) + " à " + std::to_string(last);
}

} // namespace salvo
