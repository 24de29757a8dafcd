// Salvodesk's own start-up, as src/app/main.cpp does it, with a probe on the main window.
//   bench_salvodesk paint            prints the monotonic time of the first paint, then exits
//   bench_salvodesk memory N FILE    opens FILE N times through the File menu, then prints the
//                                    resident size once everything is painted and settled
//   bench_salvodesk libraries        prints, at the first paint, how many of the sound's
//                                    libraries (libpulse, libsndfile) are loaded
// Links what the program links and nothing more (no test library), so that its start-up costs
// what the program's does.
#include "Probe.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Application.h"
#include "ui/shell/Main.h"

#include <QAction>

#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// File > Open answered with the same file each time; nothing else is asked.
class SameFile : public FileDialogProvider {
public:
    QString Path;
    QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return Path;
    }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&,
                         const QString&) override {
        return {};
    }
    bool Print(QWidget*, QPrinter&) override { return false; }
    void PageSetup(QWidget*, QPrinter&) override {}
    bool PrinterInstalled() override { return false; }
};

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    const bool memory = argc > 3 && std::strcmp(argv[1], "memory") == 0;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));

    TMainForm form;
    SameFile dialogs;
    if (memory) {
        dialogs.Path = QString::fromLocal8Bit(argv[3]);
        form.SetDialogProvider(&dialogs);
        // A warning while reading would otherwise wait for a click.
        salvo::ui::SetBoxInterceptor(
            [](const salvo::ui::BoxRecord& r) { return r.Buttons.front(); });
    }
    bench::FirstPaint probe(form, [&] {
        if (argc > 1 && std::strcmp(argv[1], "libraries") == 0) {
            int loaded = 0;
            if (std::FILE* maps = std::fopen("/proc/self/maps", "r")) {
                char line[4096];
                while (std::fgets(line, sizeof line, maps))
                    loaded += std::strstr(line, "libpulse") || std::strstr(line, "libsndfile");
                std::fclose(maps);
            }
            std::printf("sound_library_mappings %d\n", loaded);
            std::fflush(stdout);
            std::_Exit(0);
        }
        if (!memory) {
            std::printf("paint_ns %lld\n", bench::NowNs());
            std::fflush(stdout);
            std::_Exit(0);
        }
        const int documents = std::atoi(argv[2]);
        auto* open = form.findChild<QAction*>(QStringLiteral("FileOpen"));
        for (int i = 0; i < documents; ++i)
            open->trigger();
        QTimer::singleShot(500, [&form, documents] {
            if (form.Editors().size() != documents) {
                std::fprintf(stderr, "%d documents open, not %d\n",
                             static_cast<int>(form.Editors().size()), documents);
                std::_Exit(1);
            }
            std::printf("rss_kib %ld\n", bench::ResidentKiB());
            std::fflush(stdout);
            std::_Exit(0);
        });
    });
    form.showMaximized();
    return TApplication::exec();
}
