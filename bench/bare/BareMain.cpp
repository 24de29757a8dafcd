// The baseline: a bare Qt Widgets main window, shown as Salvodesk shows its own. Built a
// second time with BARE_WITH_TEXT: the same window with a one-item menu bar and a status line,
// so that it starts the font system, as any window that shows a word does.
//   bench_bare paint    prints the monotonic time of the first paint, then exits
//   bench_bare memory   prints the resident size once the window is painted and settled
#include "Probe.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool memory = argc > 1 && std::strcmp(argv[1], "memory") == 0;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
#ifdef BARE_WITH_TEXT
    window.menuBar()->addMenu(QStringLiteral("&Fichier"))->addAction(QStringLiteral("&Quitter"));
    window.statusBar()->showMessage(QStringLiteral("Prêt"));
#endif
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
