#pragma once
// The timeline beside the channel grid of an editor window: it draws the committed program
// (the channel table), follows it as it changes, and never changes it. A click on a channel's
// mark moves the grid's current cell to that channel's delay.

#include "ui/timeline/Timeline.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QSet>

class QTableWidget;
class TMusique;

class TChronologie : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Narrower than this beside the grid, the panel is of no use and hides.
    static constexpr int MinimumWidth = 200;

    TChronologie(const salvo::ChannelTable& table, QTableWidget* grid, QWidget* parent);

    // The channel table or the model changed: drawn again at the next paint.
    void ProgramChanged();
    // The program's music: once it holds something, the sequences stand at their planned
    // starts and the sound's band shows under the lanes; the panel then takes the keyboard on
    // a click (Space plays, M marks; a marker clicked in the band is selected, dragged, deleted
    // with Delete, edited with a double click; Ctrl+Z takes marker edits back).
    void SetMusic(TMusique* music);
    // To be called once the grid has its geometry across the window: the grid keeps the width
    // of its columns and the panel takes the rest of the row, or hides when that is too small.
    void PlaceBesideGrid();

    // The picture as it stands now, laid out again when the program or the width changed.
    const salvo::ui::TimelineLayout& Layout();
    // Channels (numbered from 1) drawn as firing, during a rehearsal.
    void SetLitChannels(const QSet<int>& channels);
    const QSet<int>& LitChannels() const { return Lit; }
    // The channel whose row is the grid's current one, 0 when none.
    int CurrentChannel() const;
    // The mark under a point of the viewport, if any.
    const salvo::ui::TimelineMark* MarkAt(QPoint viewportPoint);

    // What part of the show the axis shows (zoom and horizontal scroll).
    salvo::ui::TimelineView View() const { return Shown; }
    void SetView(salvo::ui::TimelineView view);
    // Closer (factor > 1) or farther, the time under the viewport's x staying under it.
    void Zoom(double factor, int viewportX);
    // The whole show ("Ajuster").
    void FitAll();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void UpdateScrollRange();
    bool WithMusic() const;
    int BandHeight() const;
    QString MusicToolTip(QPoint viewportPoint);
    void ClickMark(QPoint viewportPoint);
    void EditMarker(int index);
    bool InBand(QPoint viewportPoint) const;
    void UpdateBarPolicy();

    QPointer<TMusique> Music;
    salvo::ui::TimelineView Shown;
    bool SettingBar = false;
    int DraggedMarker = -1;
    bool MarkerMoved = false;
    int DraggedLane = -1;
    bool Dragging = false;
    QPoint PressPoint;
    const salvo::ChannelTable& Table;
    QTableWidget* Grid;
    salvo::ui::TimelineLayout Laid;
    bool Dirty = true;
    QSet<int> Lit;
};
