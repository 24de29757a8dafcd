#pragma once
// The music under the timeline: the sound's envelope in a band at the bottom of the panel, the
// markers, each sequence's start flag and the play head, on the timeline's own time axis.

#include "ui/timeline/Timeline.h"

#include <QRect>
#include <QString>

class QPainter;
class QWidget;
class TMusique;

namespace salvo::ui {

constexpr int MusicBandHeight = 92;
// A dragged flag or marker snaps within this many pixels, whatever the zoom.
constexpr int SnapPixels = 6;

// Seconds on the axis at x (layout coordinates), never below 0.
double TimeAtX(const TimelineLayout& layout, int x);

// The sequence (lane index) whose start flag is under a point of the lanes, or -1.
int StartFlagAt(const TimelineLayout& layout, int x, int y);

// The marker nearest to x within a few pixels, or -1.
int MarkerAtX(const TimelineLayout& layout, const TMusique& music, int x);

// lanes: the part of the viewport where the lanes show; band: the sound's band.
void PaintMusic(QPainter& painter, const QWidget& widget, const TimelineLayout& layout,
                const TMusique& music, const QRect& lanes, const QRect& band, int scroll);

// "Début de la séquence" dialog: the time typed as the grid types times. False on cancel.
bool AskPlannedStart(QWidget* parent, double& seconds, char separator);

} // namespace salvo::ui
