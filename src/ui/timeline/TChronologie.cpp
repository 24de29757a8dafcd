#include "ui/timeline/TChronologie.h"

#include "model/music/MarkerEdits.h"
#include "model/program/TimeText.h"
#include "ui/music/EventTime.h"
#include "ui/music/TMusique.h"
#include "ui/music/TReperes.h"
#include "ui/timeline/MusicLane.h"

#include <QCursor>

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>

#include <array>
#include <cmath>
#include <functional>

using namespace salvo;
using namespace salvo::ui;

namespace {

char Separator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 128)
        return static_cast<char>(point[0].unicode());
    return '.';
}

// The timeline on the screen: the widget's typeface at a few pixel sizes, fixed colours that
// read the same on any style (the channel types and the current channel at a glance).
class ScreenSurface : public TimelineSurface {
public:
    explicit ScreenSurface(const QWidget& widget, QPainter* painter = nullptr)
        : Painter(painter), TextColour(widget.palette().color(QPalette::Text)) {
        const int pixels[] = {12, 12, 11, 10};
        for (size_t i = 0; i < Fonts.size(); ++i) {
            Fonts[i] = widget.font();
            Fonts[i].setPixelSize(pixels[i]);
        }
        Fonts[static_cast<size_t>(TimelineFont::Summary)].setBold(true);
        for (const QFont& f : Fonts)
            Metrics.emplace_back(f);
    }

    int TextWidth(const QString& text, TimelineFont font) override {
        return Metrics[Index(font)].horizontalAdvance(text);
    }
    int TextHeight(TimelineFont font) override { return Metrics[Index(font)].height(); }

    void Text(int x, int y, const QString& text, TimelineFont font, TimelineInk ink) override {
        Painter->setFont(Fonts[Index(font)]);
        Painter->setPen(Colour(ink));
        Painter->drawText(x, y + Metrics[Index(font)].ascent(), text);
    }
    void Line(int x1, int y1, int x2, int y2, TimelineInk ink) override {
        Painter->setPen(QPen(Colour(ink), 1));
        Painter->drawLine(x1, y1, x2, y2);
    }
    void Fill(const QRect& box, TimelineInk ink) override { Painter->fillRect(box, Colour(ink)); }

private:
    static size_t Index(TimelineFont font) { return static_cast<size_t>(font); }
    QColor Colour(TimelineInk ink) const {
        switch (ink) {
        case TimelineInk::Text:
            return TextColour;
        case TimelineInk::Faint:
            return QColor(0xdd, 0xe2, 0xe8);
        case TimelineInk::Axis:
            return QColor(0x4a, 0x52, 0x5a);
        case TimelineInk::Band:
            return QColor(0xf0, 0xf3, 0xf7);
        case TimelineInk::Span:
            return QColor(0x9a, 0xa5, 0xb1);
        case TimelineInk::Manual:
            return QColor(0xc6, 0x28, 0x28);
        case TimelineInk::Automatic:
            return QColor(0x15, 0x65, 0xc0);
        case TimelineInk::Current:
            return QColor(0xff, 0xc1, 0x07);
        }
        return TextColour;
    }

    QPainter* Painter;
    QColor TextColour;
    std::array<QFont, 4> Fonts;
    std::vector<QFontMetrics> Metrics;
};

} // namespace

TChronologie::TChronologie(const salvo::ChannelTable& table, QTableWidget* grid, QWidget* parent)
    : QAbstractScrollArea(parent), Table(table), Grid(grid) {
    setObjectName(QStringLiteral("Chronologie"));
    // The keyboard stays with the grid; a click on a mark hands it there.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(20);
    // The horizontal bar scrolls the zoomed axis, in milliseconds.
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (SettingBar)
            return;
        Shown.Start = value / 1000.0;
        Dirty = true;
        viewport()->update();
    });
    struct ZoomButton {
        const char* name;
        const char* text;
        const char* tip;
        std::function<void()> act;
    };
    // Laid out from the right: "−", "+", "Ajuster" as read.
    const ZoomButton buttons[] = {
        {"BoutonAjuster", "Ajuster", "Voir tout le spectacle", [this] { FitAll(); }},
        {"BoutonZoomPlus", "+", "Voir de plus près (+ ou Ctrl+molette)", [this] { Zoom(2, -1); }},
        {"BoutonZoomMoins", "\u2212", "Voir plus de temps (−)", [this] { Zoom(0.5, -1); }},
    };
    for (const ZoomButton& b : buttons) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(QString::fromUtf8(b.text));
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, b.act);
        addScrollBarWidget(button, Qt::AlignRight);
    }
    // The pointer over the panel is over a control, not over the window's background, where it
    // would end the editing of a cell.
    setAttribute(Qt::WA_NoMousePropagation);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    connect(Grid->selectionModel(), &QItemSelectionModel::currentChanged, viewport(),
            qOverload<>(&QWidget::update));
    hide(); // until the window has room for it
}

void TChronologie::SetLitChannels(const QSet<int>& channels) {
    if (channels == Lit)
        return;
    Lit = channels;
    viewport()->update();
}

void TChronologie::ProgramChanged() {
    Dirty = true;
    UpdateBarPolicy();
    viewport()->update();
}

void TChronologie::SetView(TimelineView view) {
    Shown = view;
    Dirty = true;
    Layout();
    viewport()->update();
}

void TChronologie::Zoom(double factor, int x) {
    const TimelineLayout& L = Layout();
    if (x < 0 || x >= viewport()->width())
        x = (L.AxisLeft + L.AxisRight) / 2;
    SetView(ZoomedView(Shown, L.AxisEnd, L.AxisRight - L.AxisLeft, TimeAtX(L, x), factor));
}

void TChronologie::FitAll() {
    SetView({});
}

void TChronologie::UpdateBarPolicy() {
    // Set to music, the bar and its zoom buttons stay; the program alone shows it when zoomed.
    const Qt::ScrollBarPolicy policy = WithMusic() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    if (horizontalScrollBarPolicy() != policy)
        setHorizontalScrollBarPolicy(policy);
}

void TChronologie::SetMusic(TMusique* music) {
    Music = music;
    if (music) {
        connect(music, &TMusique::Changed, this, &TChronologie::ProgramChanged);
        // Music removed on its own: the timeline goes back to the program alone.
        connect(music, &QObject::destroyed, this, [this] { SetMusic(nullptr); });
    }
    setFocusPolicy(music ? Qt::ClickFocus : Qt::NoFocus);
    DraggedLane = -1;
    DraggedMarker = -1;
    ProgramChanged();
}

bool TChronologie::WithMusic() const {
    return Music && Music->Active();
}

int TChronologie::BandHeight() const {
    return WithMusic() ? MusicBandHeight : 0;
}

void TChronologie::PlaceBesideGrid() {
    const QRect g = Grid->geometry();
    int columns = 0;
    for (int c = 0; c < Grid->columnCount(); ++c)
        columns += Grid->columnWidth(c);
    // Room for the grid's scroll bar is kept, shown or not, so the panel does not jump.
    const int gridWidth =
        columns + 2 * Grid->frameWidth() +
        Grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Grid->verticalScrollBar());
    const int room = parentWidget()->width() - g.left() - gridWidth;
    if (room < MinimumWidth) {
        hide();
        return;
    }
    Grid->setGeometry(g.left(), g.top(), gridWidth, g.height());
    setGeometry(g.left() + gridWidth, g.top(), room, g.height());
    show();
}

const TimelineLayout& TChronologie::Layout() {
    const int width = viewport()->width();
    if (Dirty || Laid.Width != width) {
        ScreenSurface measure(*this);
        std::vector<TimelineChannel> channels = salvo::ui::ChannelsOf(Table);
        if (Music)
            for (TimelineChannel& c : channels)
                c.Lift = Music->Lift(c.Number - 1);
        if (WithMusic())
            Laid = LayOutTimeline(channels, width, measure, Separator(), Music->Starts(),
                                  Music->SoundDuration(), Shown);
        else
            Laid = LayOutTimeline(channels, width, measure, Separator(), {}, 0, Shown);
        // The view as the show allows it (a shorter show, a wider panel).
        Shown = Laid.ViewStart <= 0 && Laid.ViewEnd >= Laid.AxisEnd
                    ? TimelineView{}
                    : TimelineView{Laid.ViewStart, Laid.ViewEnd - Laid.ViewStart};
        Dirty = false;
        UpdateScrollRange();
    }
    return Laid;
}

void TChronologie::UpdateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    const int shown = viewport()->height() - BandHeight();
    bar->setPageStep(std::max(1, shown - Laid.HeaderHeight));
    bar->setRange(0, std::max(0, Laid.Height - shown));
    QScrollBar* h = horizontalScrollBar();
    const int total = int(std::lround(Laid.AxisEnd * 1000));
    const int span = int(std::lround((Laid.ViewEnd - Laid.ViewStart) * 1000));
    SettingBar = true;
    h->setRange(0, std::max(0, total - span));
    h->setPageStep(std::max(1, span));
    h->setSingleStep(std::max(1, span / 10));
    h->setValue(int(std::lround(Laid.ViewStart * 1000)));
    SettingBar = false;
}

bool TChronologie::InBand(QPoint p) const {
    return WithMusic() && p.y() >= viewport()->height() - BandHeight();
}

int TChronologie::CurrentChannel() const {
    const QModelIndex current = Grid->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

const TimelineMark* TChronologie::MarkAt(QPoint p) {
    const TimelineLayout& L = Layout();
    if (p.y() < L.HeaderHeight || p.y() >= viewport()->height() - BandHeight())
        return nullptr;
    return L.MarkAt(p.x(), p.y() + verticalScrollBar()->value());
}

void TChronologie::paintEvent(QPaintEvent*) {
    const TimelineLayout& L = Layout();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    ScreenSurface surface(*this, &painter);
    // The summary and the axis stay in view; the lanes scroll under them.
    painter.save();
    const QRect lanes(0, L.HeaderHeight, viewport()->width(),
                      viewport()->height() - L.HeaderHeight - BandHeight());
    painter.setClipRect(lanes);
    DrawTimelineLanes(L, surface, verticalScrollBar()->value(), CurrentChannel());
    if (!Lit.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(200, 60, 0), 2));
        painter.setBrush(QColor(255, 150, 0, 160));
        for (const TimelineMark& m : L.Marks)
            if (Lit.contains(m.Channel)) {
                // A channel with a lift time is seen where its effect shows.
                const int scroll = verticalScrollBar()->value();
                if (m.Lift > 0) {
                    painter.drawEllipse(m.Burst - QPoint(0, scroll), 7, 7);
                } else {
                    const QRect bar = m.Bar.translated(0, -scroll);
                    painter.drawEllipse(bar.center(), bar.width() / 2 + 6, bar.height() / 2 + 6);
                }
            }
    }
    painter.restore();
    DrawTimelineHeader(L, surface);
    if (WithMusic())
        PaintMusic(painter, *this, L, *Music, lanes,
                   QRect(0, lanes.bottom() + 1, viewport()->width(), BandHeight()),
                   verticalScrollBar()->value());
}

void TChronologie::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Layout();
    UpdateScrollRange();
}

void TChronologie::scrollContentsBy(int, int) {
    viewport()->update();
}

bool TChronologie::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    QString tip;
    if (const TimelineMark* mark = MarkAt(help->pos())) {
        const QTableWidgetItem* description = Grid->item(mark->Channel - 1, 3);
        tip = MarkToolTip(*mark, description ? description->text() : QString(), Separator());
        if (WithMusic()) {
            const double start = Layout().Lanes[static_cast<size_t>(mark->Lane)].Start;
            tip += QString::fromUtf8("\nDans la musique : %1 s")
                       .arg(QString::fromStdString(
                           FormatMilliseconds(start + mark->Time, Separator())));
            if (auto residual = Music->Residual(mark->Channel - 1))
                tip += QString::fromUtf8("\nÉcart avec le repère n°%1 : %2 s")
                           .arg(residual->second)
                           .arg(QString::fromStdString(
                               FormatResidual(residual->first, Separator(), true)));
        }
    } else if (WithMusic() && !(tip = MusicToolTip(help->pos())).isEmpty()) {
        // a marker of the band, or a start flag
    } else if (help->pos().y() >= Layout().HeaderHeight) {
        // A lane label shortened to the panel's width is there in full.
        const int y = help->pos().y() + verticalScrollBar()->value();
        const TimelineLane* lane = Layout().LaneAt(y);
        if (lane && lane->Label.Box.contains(help->pos().x(), y) &&
            lane->Label.Text != lane->FullLabel)
            tip = lane->FullLabel;
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, viewport());
    }
    return true;
}

QString TChronologie::MusicToolTip(QPoint p) {
    const TimelineLayout& L = Layout();
    const int y = p.y() + verticalScrollBar()->value();
    if (p.y() >= viewport()->height() - BandHeight()) {
        const int marker = MarkerAtX(L, *Music, p.x());
        if (marker < 0)
            return QString();
        const Marker& m = Music->Data.Markers[static_cast<size_t>(marker)];
        QString tip = QString::fromUtf8("Repère n°%1, %2 s")
                          .arg(marker + 1)
                          .arg(QString::fromStdString(FormatMilliseconds(m.Time, Separator())));
        if (!m.Text.empty())
            tip += QLatin1Char('\n') + QString::fromStdString(m.Text);
        return tip + QString::fromUtf8("\nFaire glisser pour le déplacer, double-cliquer pour le "
                                       "modifier, Suppr pour l'effacer");
    }
    const int lane = p.y() >= L.HeaderHeight ? StartFlagAt(L, p.x(), y) : -1;
    if (lane < 0)
        return QString();
    return QString::fromUtf8("Début de la séquence %1 : %2 s\nFaire glisser pour le déplacer, "
                             "double-cliquer pour le saisir")
        .arg(lane + 1)
        .arg(QString::fromStdString(
            FormatMilliseconds(L.Lanes[static_cast<size_t>(lane)].Start, Separator())));
}

void TChronologie::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    event->accept();
    if (DraggedMarker >= 0 && Music && (event->buttons() & Qt::LeftButton)) {
        if (!MarkerMoved && (p - PressPoint).manhattanLength() < 4)
            return;
        // Onto a sequence's start or the play head when within a few pixels.
        std::vector<double> targets = Music->Starts();
        targets.push_back(Music->Head());
        const double t = SnapTo(TimeAtX(Laid, p.x()), targets, SnapPixels * Laid.SecondsPerPixel());
        const int at = Music->Markers().Move(DraggedMarker, t, MarkerMoved);
        if (at >= 0) {
            DraggedMarker = at;
            MarkerMoved = true;
            Music->MarkersEdited();
        }
        return;
    }
    if (DraggedLane >= 0 && (event->buttons() & Qt::LeftButton)) {
        if (!Dragging && (p - PressPoint).manhattanLength() < 4)
            return;
        Dragging = true;
        if (static_cast<size_t>(DraggedLane) >= Laid.Lanes.size())
            return;
        const TimelineLane& lane = Laid.Lanes[static_cast<size_t>(DraggedLane)];
        // Lanes keep their place while dragging: the axis is not laid out again under the mouse.
        Music->SetPlannedStart(lane.First - 1, Music->Snapped(TimeAtX(Laid, p.x()),
                                                              SnapPixels * Laid.SecondsPerPixel()));
        return;
    }
    const bool flag = WithMusic() && p.y() >= Layout().HeaderHeight &&
                      p.y() < viewport()->height() - BandHeight() &&
                      StartFlagAt(Layout(), p.x(), p.y() + verticalScrollBar()->value()) >= 0;
    const bool marker = InBand(p) && MarkerAtX(Layout(), *Music, p.x()) >= 0;
    viewport()->setCursor(flag || marker ? Qt::SizeHorCursor
                          : MarkAt(p)    ? Qt::PointingHandCursor
                                         : Qt::ArrowCursor);
}

void TChronologie::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    if (WithMusic()) {
        const TimelineLayout& L = Layout();
        if (InBand(p)) {
            // A marker is picked up; elsewhere the click places the play head.
            const int marker = MarkerAtX(L, *Music, p.x());
            Music->Markers().Select(marker);
            DraggedMarker = marker;
            MarkerMoved = false;
            PressPoint = p;
            if (marker < 0)
                Music->SetHead(TimeAtX(L, p.x()));
            viewport()->update();
            return;
        }
        if (p.y() >= L.HeaderHeight) {
            DraggedLane = StartFlagAt(L, p.x(), p.y() + verticalScrollBar()->value());
            Dragging = false;
            PressPoint = p;
            if (DraggedLane >= 0)
                return; // a click without a drag still reaches the mark under it, on release
        }
    }
    ClickMark(p);
}

void TChronologie::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    const QPoint p = event->position().toPoint();
    if (!WithMusic() || event->button() != Qt::LeftButton || p.y() < Layout().HeaderHeight)
        return;
    if (InBand(p)) {
        DraggedMarker = -1;
        const int marker = MarkerAtX(Layout(), *Music, p.x());
        if (marker >= 0)
            EditMarker(marker);
        return;
    }
    const int lane = StartFlagAt(Layout(), p.x(), p.y() + verticalScrollBar()->value());
    DraggedLane = -1;
    if (lane < 0)
        return;
    const TimelineLane& picked = Layout().Lanes[static_cast<size_t>(lane)];
    const int first = picked.First - 1;
    double start = picked.Start;
    if (AskPlannedStart(this, start, Separator()) && Music)
        Music->SetPlannedStart(first, start);
}

void TChronologie::EditMarker(int index) {
    if (!Music)
        return;
    Music->Markers().Select(index);
    viewport()->update();
    ::EditMarker(this, *Music, index);
}

void TChronologie::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta != 0)
        Zoom(std::pow(1.25, delta / 120.0), int(event->position().x()));
}

void TChronologie::keyPressEvent(QKeyEvent* event) {
    if (!WithMusic()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers mods =
        event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    const int selected = Music->Markers().Selected();
    if (key == Qt::Key_Space && mods == Qt::NoModifier) {
        Music->TogglePlay();
    } else if (key == Qt::Key_M && mods == Qt::NoModifier) {
        if (Music->Playing())
            Music->Mark(EventInstant(event)); // where the music was as the key went down
    } else if (event->matches(QKeySequence::Undo)) {
        if (Music->Markers().Undo())
            Music->MarkersEdited();
    } else if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && selected >= 0) {
        Music->Markers().Remove(selected);
        Music->MarkersEdited();
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && selected >= 0) {
        EditMarker(selected);
    } else if (key == Qt::Key_Escape && selected >= 0) {
        Music->Markers().Select(-1);
        viewport()->update();
    } else if (key == Qt::Key_Plus || key == Qt::Key_Equal || key == Qt::Key_Minus) {
        // Around the pointer when it is over the panel, else around the middle.
        const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
        Zoom(key == Qt::Key_Minus ? 0.5 : 2,
             viewport()->rect().contains(pointer) ? pointer.x() : -1);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TChronologie::ClickMark(QPoint p) {
    const TimelineMark* mark = MarkAt(p);
    if (!mark)
        return;
    // The grid's own move of the current cell, so the cell being left is committed as usual.
    const int channel = mark->Channel;
    Grid->setCurrentCell(channel - 1, 2);
    Grid->setFocus(Qt::MouseFocusReason);
}

void TChronologie::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (DraggedLane >= 0 && !Dragging && event->button() == Qt::LeftButton)
        ClickMark(PressPoint);
    if (event->button() == Qt::LeftButton) {
        DraggedLane = -1;
        DraggedMarker = -1;
    }
    Dragging = false;
}
