#include "ui/common/UpDownControl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

namespace {
// Holding an arrow down steps again after a pause, then steadily.
constexpr int RepeatDelayMs = 400;
constexpr int RepeatIntervalMs = 80;
} // namespace

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent), RepeatTimer(new QTimer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    connect(RepeatTimer, &QTimer::timeout, this, &UpDownControl::Repeat);
}

void UpDownControl::SetRange(int minimum, int maximum) {
    Min = minimum;
    Max = maximum;
}

void UpDownControl::SetPosition(int position) {
    Pos = position;
    ShowPosition();
}

void UpDownControl::SetBuddy(QLineEdit* field) {
    if (Buddy)
        Buddy->removeEventFilter(this);
    Buddy = field;
    if (Buddy)
        Buddy->installEventFilter(this);
    ShowPosition();
}

void UpDownControl::ShowPosition() {
    if (Buddy)
        Buddy->setText(QString::number(Pos));
    update();
}

void UpDownControl::Step(int direction) {
    int next = Pos + (direction > 0 ? 1 : -1);
    if (next > Max)
        next = Min;
    else if (next < Min)
        next = Max;
    Pos = next;
    ShowPosition();
    emit Clicked(Pos);
}

QRect UpDownControl::HalfRect(int half) const {
    int upper = height() / 2;
    return half == 0 ? QRect(0, 0, width(), upper) : QRect(0, upper, width(), height() - upper);
}

void UpDownControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int half = 0; half < 2; ++half) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = HalfRect(half);
        button.state &= ~QStyle::State_HasFocus;
        button.state |= PressedHalf == half ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);

        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = HalfRect(half).adjusted(3, 2, -3, -2);
        if (PressedHalf == half)
            arrow.rect.translate(1, 1);
        style()->drawPrimitive(half == 0 ? QStyle::PE_IndicatorArrowUp
                                         : QStyle::PE_IndicatorArrowDown,
                               &arrow, &painter, this);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void UpDownControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    PressedHalf = HalfRect(0).contains(event->position().toPoint()) ? 0 : 1;
    Step(PressedHalf == 0 ? 1 : -1);
    RepeatTimer->start(RepeatDelayMs);
    update();
}

void UpDownControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        RepeatTimer->stop();
        PressedHalf = -1;
        update();
    }
    QWidget::mouseReleaseEvent(event);
}

void UpDownControl::Repeat() {
    if (PressedHalf < 0 || !isEnabled() || !isVisible()) {
        RepeatTimer->stop();
        return;
    }
    RepeatTimer->setInterval(RepeatIntervalMs);
    Step(PressedHalf == 0 ? 1 : -1);
}

void UpDownControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        Step(1);
    else if (event->key() == Qt::Key_Down)
        Step(-1);
    else
        QWidget::keyPressEvent(event);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        RepeatTimer->stop();
        PressedHalf = -1;
    }
    QWidget::changeEvent(event);
}
