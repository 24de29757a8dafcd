#include "ui/common/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace salvo::ui {

namespace {

QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

// A sheet of paper with a folded corner.
void DrawSheet(QPainter& p, const QRectF& r) {
    QPainterPath path;
    qreal fold = r.width() * 0.35;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.setBrush(QColor(220, 220, 220));
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.drawPath(corner);
}

// A small star burst: the mark of a firing channel.
void DrawBurst(QPainter& p, QPointF c, qreal radius, const QColor& color, int rays) {
    p.setPen(QPen(color, qMax<qreal>(1.0, radius / 6), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < rays; ++i) {
        qreal a = 2 * M_PI * i / rays;
        QPointF dir(qCos(a), qSin(a));
        p.drawLine(c + dir * radius * 0.35, c + dir * radius);
    }
}

} // namespace

QIcon NewGlyph() {
    QPixmap pm = Canvas(20);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSheet(p, QRectF(3.5, 1.5, 13, 17));
    DrawBurst(p, QPointF(9, 12), 4.5, QColor(220, 120, 0), 8);
    return QIcon(pm);
}

QIcon OpenGlyph() {
    QPixmap pm = Canvas(20);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(QRectF(1.5, 5.5, 15, 11));
    p.drawRect(QRectF(1.5, 3.5, 6, 2));
    QPainterPath flap;
    flap.moveTo(4.5, 8.5);
    flap.lineTo(18.5, 8.5);
    flap.lineTo(15.5, 16.5);
    flap.lineTo(1.5, 16.5);
    flap.closeSubpath();
    p.setBrush(QColor(250, 220, 130));
    p.drawPath(flap);
    return QIcon(pm);
}

QIcon SaveGlyph() {
    QPixmap pm = Canvas(20);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 40, 90), 1));
    p.setBrush(QColor(60, 100, 180));
    p.drawRoundedRect(QRectF(2.5, 2.5, 15, 15), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 2.5, 9, 6));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(5.5, 11.5, 9, 6));
    return QIcon(pm);
}

QIcon ProgramIcon() {
    // Drawn once for every window of the run; the window system scales the larger picture.
    static const QIcon* icon = [] {
        auto* made = new QIcon;
        for (int size : {16, 64})
            made->addPixmap(AboutPicture(size));
        return made;
    }();
    return *icon;
}

QPixmap AboutPicture(int size) {
    QPixmap pm(size, size);
    pm.fill(QColor(16, 20, 48));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    qreal s = size / 170.0;
    // Night sky, three shells bursting over a launch line.
    DrawBurst(p, QPointF(60 * s, 60 * s), 42 * s, QColor(255, 190, 40), 16);
    DrawBurst(p, QPointF(118 * s, 48 * s), 30 * s, QColor(255, 80, 80), 12);
    DrawBurst(p, QPointF(110 * s, 108 * s), 24 * s, QColor(120, 200, 255), 10);
    p.setPen(QPen(QColor(255, 230, 160), qMax<qreal>(1.0, 1.5 * s), Qt::DotLine));
    p.drawLine(QPointF(60 * s, 150 * s), QPointF(60 * s, 104 * s));
    p.drawLine(QPointF(110 * s, 150 * s), QPointF(110 * s, 134 * s));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(QRectF(0, 150 * s, size, size - 150 * s));
    return pm;
}

} // namespace salvo::ui
