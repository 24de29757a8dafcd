#include "ui/music/EventTime.h"

#include <QCoreApplication>
#include <QInputEvent>

#include <limits>
#include <utility>

namespace {

using salvo::sound::Instant;
using Clock = std::chrono::steady_clock;

class EventTimes : public QObject {
public:
    // The offset, in steady-clock nanoseconds, from event time to the steady clock.
    Instant Map(const QInputEvent* event) {
        const Instant arrival = Clock::now();
        const quint64 stamp = event->timestamp();
        if (stamp == 0)
            return arrival;
        Learn(stamp, arrival);
        const Instant at =
            Instant(std::chrono::nanoseconds(Offset) + std::chrono::milliseconds(stamp));
        return at < arrival ? at : arrival;
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // A shortcut's key reaches the focus widget as ShortcutOverride before the command
        // runs; its own time is kept for the command.
        if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                LastKey = {key->key(), Map(key)};
        } else if (event->isInputEvent()) {
            const auto* input = static_cast<const QInputEvent*>(event);
            if (input->timestamp() != 0)
                Learn(input->timestamp(), Clock::now());
        }
        return QObject::eventFilter(watched, event);
    }

    Instant TakeKey(int key) {
        const Instant now = Clock::now();
        const auto [last, at] = LastKey;
        LastKey = {0, Instant{}};
        return last == key && now - at < std::chrono::seconds(1) ? at : now;
    }

private:
    void Learn(quint64 stamp, Instant arrival) {
        const long long offset =
            std::chrono::duration_cast<std::chrono::nanoseconds>(arrival.time_since_epoch())
                .count() -
            static_cast<long long>(stamp) * 1000000;
        // Event times that went back (a new window system, its clock wrapped) start afresh.
        if (stamp + 60000 < Last)
            Offset = std::numeric_limits<long long>::max();
        Last = stamp;
        if (offset < Offset)
            Offset = offset;
    }

    long long Offset = std::numeric_limits<long long>::max();
    quint64 Last = 0;
    std::pair<int, Instant> LastKey{0, Instant{}};
};

EventTimes& Times() {
    static EventTimes times;
    return times;
}

} // namespace

void WatchEventTimes() {
    static bool watching = false;
    if (watching || !QCoreApplication::instance())
        return;
    watching = true;
    QCoreApplication::instance()->installEventFilter(&Times());
}

salvo::sound::Instant EventInstant(const QInputEvent* event) {
    return Times().Map(event);
}

salvo::sound::Instant KeyPressInstant(int key) {
    return Times().TakeKey(key);
}
