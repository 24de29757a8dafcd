// The baseline: a bare Qt Widgets main window, shown as Salvodesk shows its own.
//   bench_bare paint    prints the monotonic time of the first paint, then exits
//   bench_bare memory   prints the resident size once the window is painted and settled
#include "Probe.h"

#include <QMainWindow>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool memory = argc > 1 && std::strcmp(argv[1], "memory") == 0;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    bench::FirstPaint probe(window, [&] {
        if (!memory) {
            std::printf("paint_ns %lld\n", bench::NowNs());
            std::fflush(stdout);
            std::_Exit(0);
        }
        QTimer::singleShot(200, [] {
            std::printf("rss_kib %ld\n", bench::ResidentKiB());
            std::fflush(stdout);
            std::_Exit(0);
        });
    });
    window.showMaximized();
    return QApplication::exec();
}
