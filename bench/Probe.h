#pragma once
// What the benchmark programs share: a monotonic clock in nanoseconds (the same clock across
// processes), the resident size, the first paint of a window, and the lines of the results.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <vector>
#ifdef _WIN32
#include <chrono>
#else
#include <unistd.h>
#endif

namespace bench {

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One line of the results table: name, median, minimum, maximum, unit.
inline void Report(const char* name, const std::vector<double>& v, const char* unit) {
    std::printf("%s %.4f %.4f %.4f %s\n", name, Median(v), *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()), unit);
}

#ifdef _WIN32
// Under Wine the start-up is timed from outside (bench/wine-startup): only the paint matters.
inline long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline long ResidentKiB() { return 0; }
#else
inline long long NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

inline long ResidentKiB() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
#endif

// Calls done() once the window has been painted for the first time: after the first paint
// event that reaches it or one of its children, at the next turn of the event loop, so that
// every widget painted in the same pass is included.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget& window, std::function<void()> done)
        : Window(window), Done(std::move(done)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &Window) {
            Seen = true;
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { Done(); });
        }
        return false;
    }

private:
    QWidget& Window;
    std::function<void()> Done;
    bool Seen = false;
};

} // namespace bench
