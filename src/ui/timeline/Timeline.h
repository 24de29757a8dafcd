#pragma once
// The show as time: one lane per sequence on a common axis in seconds, a mark per channel.
// Laying it out needs no widget: texts are measured through a small interface, and the drawing
// goes through a surface, so that tests can measure and record it.

#include "model/program/ChannelTable.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <utility>
#include <vector>

namespace salvo::ui {

enum class TimelineFont { Summary, Label, Tick, Number };
// What a stroke or a fill stands for; the surface picks the colour.
enum class TimelineInk { Text, Faint, Axis, Band, Span, Manual, Automatic, Current };

class TimelineMeasure {
public:
    virtual ~TimelineMeasure() = default;
    virtual int TextWidth(const QString& text, TimelineFont font) = 0;
    virtual int TextHeight(TimelineFont font) = 0;
};

// Positions in pixels; a text's position is the top-left corner of its line.
class TimelineSurface : public TimelineMeasure {
public:
    virtual void Text(int x, int y, const QString& text, TimelineFont font, TimelineInk ink) = 0;
    virtual void Line(int x1, int y1, int x2, int y2, TimelineInk ink) = 0;
    virtual void Fill(const QRect& box, TimelineInk ink) = 0;
};

struct TimelineChannel {
    int Number = 1; // 1 to 30
    int32_t Type = Manual;
    double Time = 0; // seconds from the button press of its sequence
    double Lift = 0; // its product's lift time: the effect shows that long after ignition
};

// The channels in use with their times, as the delay rules count them. Works on a copy, so
// that nothing of the table changes, not even its last error code.
std::vector<TimelineChannel> ChannelsOf(const ChannelTable& table);

struct TimelineText {
    QRect Box;
    QString Text;
    TimelineFont Font = TimelineFont::Label;
};

struct TimelineMark {
    int Channel = 1;
    int32_t Type = Manual;
    double Time = 0;
    int Lane = 0;
    int X = 0;
    QRect Bar;
    double Lift = 0;
    QPoint Burst; // where the effect is drawn, when there is a lift
};

struct TimelineLane {
    int First = 1, Last = 1; // channel numbers
    double Start = 0;        // where its button press lies on the axis
    double Duration = 0;     // the time of its last channel
    QRect Box;               // across the whole width
    int Baseline = 0;
    TimelineText Label; // shortened with "…" when the width is too small
    QString FullLabel;
};

// The part of the show the axis shows: Span seconds from Start; a Span of 0 (or one reaching
// past the end) is the whole show.
struct TimelineView {
    double Start = 0;
    double Span = 0;
    bool operator==(const TimelineView& o) const { return Start == o.Start && Span == o.Span; }
};

// The closest zoom: a hundredth of a second per pixel, the envelope's own slices.
constexpr double FinestSecondsPerPixel = 0.01;

// The view kept to the show: its span between FinestSecondsPerPixel over axisPixels and the
// whole show (then 0), its start within [0, total - span].
TimelineView ClampedView(TimelineView view, double total, int axisPixels);
// factor > 1 brings closer; the time at anchor stays under the same pixel, as far as the ends
// of the show allow.
TimelineView ZoomedView(TimelineView view, double total, int axisPixels, double anchor,
                        double factor);

struct TimelineLayout {
    int Width = 0;
    int Height = 0;       // all lanes included
    int HeaderHeight = 0; // summary and axis, which stay in view above the lanes
    TimelineText Summary;
    // What the two colours of marks mean, right of the summary when there is room.
    std::vector<TimelineText> Legend;
    std::vector<std::pair<QRect, int32_t>> LegendBars; // bar, channel type

    double AxisEnd = 1;                // seconds at the end of the whole show
    double ViewStart = 0, ViewEnd = 1; // seconds at AxisLeft and AxisRight
    double Step = 1;                   // seconds between ticks
    int AxisLeft = 0, AxisRight = 0, AxisY = 0;
    std::vector<int> TickX;
    std::vector<TimelineText> TickLabels; // a tick whose label would leave the panel has none

    std::vector<TimelineLane> Lanes;
    std::vector<TimelineMark> Marks;   // one per channel, in channel order
    std::vector<TimelineText> Numbers; // channel numbers under the marks that have room
    std::vector<int> NumberMarks;      // the mark each number belongs to

    int XOf(double seconds) const;
    double SecondsPerPixel() const;
    // The mark nearest to a point of the lanes (layout coordinates), within a few pixels.
    const TimelineMark* MarkAt(int x, int y) const;
    const TimelineLane* LaneAt(int y) const;
    // Every text of the picture, for checks.
    std::vector<TimelineText> Texts() const;
};

// laneStarts, when given, places each sequence's button press on the axis (a show set to music);
// the axis then reaches at least axisEnd.
TimelineLayout LayOutTimeline(const std::vector<TimelineChannel>& channels, int width,
                              TimelineMeasure& measure, char separator,
                              const std::vector<double>& laneStarts = {}, double axisEnd = 0,
                              TimelineView view = {});

// The summary and the axis, at their place.
void DrawTimelineHeader(const TimelineLayout& layout, TimelineSurface& surface);
// The lanes, moved up by scroll; the mark of currentChannel (0: none) stands out.
void DrawTimelineLanes(const TimelineLayout& layout, TimelineSurface& surface, int scroll,
                       int currentChannel);

// "Voie 4, Automatique, 3,8 s", and the description on a second line when there is one.
QString MarkToolTip(const TimelineMark& mark, const QString& description, char separator);

} // namespace salvo::ui
