#include "ui/timeline/MusicLane.h"

#include "model/program/DelayRules.h"
#include "model/program/Document.h"
#include "model/program/TimeText.h"
#include "ui/common/Messages.h"
#include "ui/music/TMusique.h"
#include "ui/music/TReperes.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace salvo::ui {

namespace {

const QColor WaveColour(0x3d, 0x8b, 0x6d);
const QColor MarkerColour(0xe0, 0x7b, 0x00);
const QColor HeadColour(0xd0, 0x10, 0x40);
const QColor FlagColour(0x2e, 0x3a, 0x46);
const QColor SelectedColour(0xff, 0xc1, 0x07, 150);

} // namespace

double TimeAtX(const TimelineLayout& L, int x) {
    return std::max(0.0, L.ViewStart + double(x - L.AxisLeft) * L.SecondsPerPixel());
}

int StartFlagAt(const TimelineLayout& L, int x, int y) {
    const TimelineLane* lane = L.LaneAt(y);
    if (!lane || std::abs(L.XOf(lane->Start) - x) > 4)
        return -1;
    return static_cast<int>(lane - L.Lanes.data());
}

int MarkerAtX(const TimelineLayout& L, const TMusique& music, int x) {
    int best = -1, gap = 5;
    for (size_t i = 0; i < music.Data.Markers.size(); ++i) {
        const int d = std::abs(L.XOf(music.Data.Markers[i].Time) - x);
        if (d < gap) {
            gap = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

void PaintMusic(QPainter& p, const QWidget& widget, const TimelineLayout& L, const TMusique& music,
                const QRect& lanes, const QRect& band, int scroll) {
    QFont font = widget.font();
    font.setPixelSize(11);
    p.setFont(font);
    const QColor text = widget.palette().color(QPalette::Text);

    // Markers and start flags over the lanes.
    p.save();
    p.setClipRect(lanes);
    QColor faint = MarkerColour;
    faint.setAlpha(90);
    for (const Marker& m : music.Data.Markers) {
        const int x = L.XOf(m.Time);
        p.setPen(QPen(faint, 1, Qt::DashLine));
        p.drawLine(x, lanes.top(), x, lanes.bottom());
    }
    for (const TimelineLane& lane : L.Lanes) {
        const int x = L.XOf(lane.Start);
        // Under the lane's title, so the flag never hides its text.
        const int top = lane.Label.Box.bottom() + 2 - scroll, base = lane.Baseline - scroll;
        p.setPen(QPen(FlagColour, 2));
        p.drawLine(x, top, x, base + 2);
        p.fillRect(QRect(x, top, 8, 6), FlagColour);
    }
    p.restore();

    // The band: envelope, markers with their numbers, or what stands in for them.
    p.fillRect(band, QColor(0xf4, 0xf6, 0xf4));
    p.setPen(QColor(0xc8, 0xcf, 0xc8));
    p.drawLine(band.left(), band.top(), band.right(), band.top());
    const int mid = band.top() + band.height() / 2 + 6, half = band.height() / 2 - 12;
    const Envelope& wave = music.Wave();
    if (!wave.Min.empty()) {
        p.setPen(WaveColour);
        for (int x = L.AxisLeft; x <= L.AxisRight; ++x) {
            float low = 0, high = 0;
            if (!wave.Range(TimeAtX(L, x), TimeAtX(L, x + 1), low, high))
                break;
            p.drawLine(x, mid - int(std::lround(high * half)), x,
                       mid - int(std::lround(low * half)));
        }
    }
    p.setPen(text);
    QString caption;
    const int selected = music.Markers().Selected();
    if (std::optional<double> progress = music.WaveProgress()) {
        caption = QString::fromUtf8("Calcul de l'onde sonore : %1 %").arg(int(*progress * 100));
        const QRect bar(L.AxisLeft, mid - 3, L.AxisRight - L.AxisLeft, 6);
        p.fillRect(bar, QColor(0xdd, 0xe2, 0xe8));
        p.fillRect(QRect(bar.left(), bar.top(), int(bar.width() * *progress), bar.height()),
                   WaveColour);
    } else if (selected >= 0) {
        caption = MarkerCaption(music, selected, music.Separator());
    } else if (!music.WaveNote().isEmpty()) {
        caption = music.WaveNote();
    } else if (!music.HasSound()) {
        caption = QString::fromUtf8("Aucune musique associée");
    } else {
        caption = QString::fromUtf8("Musique : %1")
                      .arg(QString::fromStdString(PathName(music.Data.SoundPath)));
    }
    const QRect captionRow(L.AxisLeft, band.top() + 2, L.AxisRight - L.AxisLeft, 14);
    // The last fit's largest gap stays in view at the right, where no pointer replaces it.
    const QString fit = music.FitNote();
    const int fitWidth = fit.isEmpty() ? 0 : p.fontMetrics().horizontalAdvance(fit) + 12;
    p.drawText(captionRow.adjusted(0, 0, -fitWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(caption, Qt::ElideRight,
                                          std::max(0, captionRow.width() - fitWidth)));
    if (!fit.isEmpty() && fitWidth < captionRow.width())
        p.drawText(captionRow, Qt::AlignRight | Qt::AlignVCenter, fit);
    int lastRight = INT32_MIN;
    for (size_t i = 0; i < music.Data.Markers.size(); ++i) {
        const int x = L.XOf(music.Data.Markers[i].Time);
        if (x < band.left() - 40 || x > band.right() + 40)
            continue;
        if (int(i) == selected) {
            p.fillRect(QRect(x - 3, band.top() + 16, 7, band.height() - 16), SelectedColour);
            p.setPen(QPen(MarkerColour, 1));
            p.drawLine(x, lanes.top(), x, band.top());
        }
        p.setPen(QPen(MarkerColour, int(i) == selected ? 3 : 1));
        p.drawLine(x, band.top() + 16, x, band.bottom());
        const QString number = QString::number(i + 1);
        const int w = p.fontMetrics().horizontalAdvance(number);
        if (x + 2 > lastRight + 3 && x + 2 + w < band.right()) {
            p.drawText(x + 2, band.bottom() - 2, number);
            lastRight = x + 2 + w;
        }
    }

    // The play head through everything.
    if (music.HasSound()) {
        const int x = L.XOf(music.Head());
        p.setPen(QPen(HeadColour, 2));
        p.drawLine(x, lanes.top(), x, band.bottom());
        QPolygon tip;
        tip << QPoint(x - 5, band.top() + 16) << QPoint(x + 5, band.top() + 16)
            << QPoint(x, band.top() + 22);
        p.setBrush(HeadColour);
        p.drawPolygon(tip);
        p.setBrush(Qt::NoBrush);
    }
}

bool AskPlannedStart(QWidget* parent, double& seconds, char separator) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("TDebutSequence"));
    dialog.setWindowTitle(QString::fromUtf8("Début de la séquence"));
    auto* edit =
        new QLineEdit(QString::fromStdString(FormatMilliseconds(seconds, separator)), &dialog);
    edit->setObjectName(QStringLiteral("EditDebut"));
    edit->selectAll();
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->setObjectName(QStringLiteral("Boutons"));
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("ButtonAnnuler"));
    auto* form = new QFormLayout(&dialog);
    form->addRow(QString::fromUtf8("Appui sur le bouton à (s) :"), edit);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        std::optional<double> t = ParseTime(edit->text().toStdString(), separator);
        if (!t || *t < 0 || !std::isfinite(*t)) {
            ShowWarning(&dialog, QString::fromUtf8(MsgNotANumber));
            edit->setFocus();
            return;
        }
        seconds = RoundToMillisecond(*t);
        dialog.accept();
    });
    return dialog.exec() == QDialog::Accepted;
}

} // namespace salvo::ui
