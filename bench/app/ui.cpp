// In-process figures on the real windows, offscreen:
//   loop_us       one empty turn of the event loop (a queued call delivered), the baseline
//   open_ms       File > Open of a 30-channel program until its grid has been painted
//   open_long_ms  the same for a program whose 30 descriptions hold 1 MB of text each
//   commit_ms     Enter in a delay cell that moves 28 automatic channels, until repainted
//   commit_timeline_ms  the same in a wide window whose timeline is shown, until the grid and
//                       the timeline have both been repainted
//   timeline_redraw_ms  the timeline alone laid out and painted again after such a commit
//   transfer      a whole 30-channel transfer in the transfer dialog against the simulated
//                 device on a line paced at 9600 baud 8E1, from "Connecter" to the success box,
//                 with the tick times read from the device's byte log
//   read_ms       "Lire l'appareil" of a 30-channel program on the same paced line, from the
//                 device's answer to the connect request (its 0x81 in the log) until the new
//                 window is filled; read_bytes the bytes on the line in that time;
//                 read_bare_ms the same exchanges made by plain protocol calls in a loop, the
//                 baseline that shows what the line and the machine cost by themselves
//   bench_ui RUNS FILE_30 FILE_28_AUTOMATIC
//   bench_ui long RUNS      open_long_ms alone
#include "Boxes.h"
#include "Driver.h"
#include "IgnivelleSim.h"
#include "Probe.h"
#include "ScriptedDialogs.h"
#include "device/port/PosixSerialLine.h"
#include "model/program/TimeText.h"
#include "ui/common/Messages.h"
#include "ui/dialogs/TDlgGestionConnection.h"
#include "ui/dialogs/TDlgLecture.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"
#include "ui/timeline/TChronologie.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

using bench::Median;
using bench::Report;

// Turns the event loop until the widget (and the other one, if any) has been painted, then
// once more.
class PaintWait : public QObject {
public:
    explicit PaintWait(QWidget* w, QWidget* other = nullptr) : Watched(w), Other(other) {
        w->installEventFilter(this);
        if (other)
            other->installEventFilter(this);
        else
            OtherPainted = true;
    }
    void Wait() {
        while (!Painted || !OtherPainted)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        bool turned = false;
        QTimer::singleShot(0, this, [&] { turned = true; });
        while (!turned)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    ~PaintWait() override {
        Watched->removeEventFilter(this);
        if (Other)
            Other->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            (watched == Watched ? Painted : OtherPainted) = true;
        return false;
    }

private:
    QWidget* Watched;
    QWidget* Other;
    bool Painted = false;
    bool OtherPainted = false;
};

double LoopTurnUs() {
    bool delivered = false;
    long long t0 = bench::NowNs();
    QMetaObject::invokeMethod(
        qApp, [&] { delivered = true; }, Qt::QueuedConnection);
    while (!delivered)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return static_cast<double>(bench::NowNs() - t0) / 1e3;
}

void CloseAll(TMainForm& form) {
    for (TFenetreEnfant* e : form.Editors()) {
        e->SetModified(false);
        e->close();
    }
    for (int i = 0; i < 20 && !form.Editors().isEmpty(); ++i)
        QCoreApplication::processEvents();
}

double OpenMs(TMainForm& form, ScriptedDialogs& dialogs, const QString& path) {
    dialogs.OpenPaths << path;
    long long t0 = bench::NowNs();
    driver::Trigger(form, "FileOpen");
    TFenetreEnfant* e = form.ActiveEditor();
    if (!e || e->CellText(2, 30).isEmpty()) {
        std::fprintf(stderr, "the file did not open\n");
        std::exit(1);
    }
    PaintWait(driver::Grid(*e)->viewport()).Wait();
    return static_cast<double>(bench::NowNs() - t0) / 1e6;
}

// A program whose 30 descriptions each hold 1 MB of text without a blank (what a cell can
// least wrap), a line as long as the reader takes.
QString WriteLongProgram(const QTemporaryDir& dir) {
    std::string words;
    for (int i = 0; words.size() < 1000000; ++i)
        words += "bouquet" + std::to_string(i);
    words.resize(1000000);
    std::string bytes = "VersionFichier ; 2\nTypeIgnivelle ; 2\nTitreListeTir ; Long\n"
                        "NumeroSerie ; 1\nVersion ; 1\nNumVoie ; TypeVoie ; Retard ; Description\n";
    for (int n = 1; n <= 30; ++n)
        bytes += std::to_string(n) + " ; 0 ; " + std::to_string(n) + " ; " + words + "\n";
    QString path = dir.filePath(QStringLiteral("long.tir"));
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

std::vector<double> OpenLongMs(TMainForm& form, ScriptedDialogs& dialogs, int runs) {
    QTemporaryDir dir;
    QString path = WriteLongProgram(dir);
    std::vector<double> out;
    for (int i = 0; i < runs; ++i) {
        out.push_back(OpenMs(form, dialogs, path));
        if (form.ActiveEditor()->Description(30).size() != 1000000) {
            std::fprintf(stderr, "the long description was not kept whole\n");
            std::exit(1);
        }
        CloseAll(form);
    }
    return out;
}

// The time texts the grid must show after channel 2 went to `manual`: 28 channels 0,2 apart.
bool Moved(TFenetreEnfant& e, double manual) {
    for (int row = 3; row <= 30; ++row)
        if (e.CellText(2, row) !=
            QString::fromStdString(salvo::FormatTime(manual + (row - 2) * salvo::TimeStep, ',')))
            return false;
    return true;
}

// Port names are looked up under home only, so COM1 is the simulated device's link and nothing
// of this machine; returns the folder of the COMn links.
std::string IsolatePorts(const QTemporaryDir& home) {
    std::string ports = home.filePath(QStringLiteral(".config/salvodesk/ports")).toStdString();
    std::filesystem::create_directories(ports);
    std::filesystem::create_directories(home.filePath("dev").toStdString());
    std::filesystem::create_directories(home.filePath("sys").toStdString());
    salvo::SetDefaultPortRoots({home.path().toStdString(), home.filePath("dev").toStdString(),
                                home.filePath("sys").toStdString()});
    return ports;
}

struct TransferFigures {
    double TotalMs = 0;
    std::vector<double> TickStartsMs; // from the click, read from the device's log
    double SerialTickEndMs = 0;
    double BoxMs = 0;
    size_t Bytes = 0;
};

TransferFigures Transfer(TMainForm& form, const QString& file) {
    QTemporaryDir home;
    std::string ports = IsolatePorts(home);
    salvo::sim::DeviceOptions options;
    options.SerialNumber = 3000000000u;
    options.Pace = true;
    salvo::sim::SimulatedDevice device(options);
    if (device.Start() != 0 || device.LinkAs(ports + "/COM1") != 0) {
        std::fprintf(stderr, "no simulated device\n");
        std::exit(1);
    }
    auto* dialogs = static_cast<ScriptedDialogs*>(&form.Dialogs());
    dialogs->OpenPaths << file;
    driver::Trigger(form, "FileOpen");
    TFenetreEnfant* e = form.ActiveEditor();
    e->SetSerialNumber(QStringLiteral("3000000000"));

    TransferFigures f;
    long long t0 = 0, box = 0;
    QString shown;
    QEventLoop wait;
    salvo::ui::SetBoxInterceptor([&](const salvo::ui::BoxRecord& r) {
        box = bench::NowNs();
        shown = r.Text;
        QTimer::singleShot(0, &wait, &QEventLoop::quit);
        return r.Buttons.front();
    });
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TDlgConnection*>(QApplication::activeModalWidget());
        if (!d) {
            std::fprintf(stderr, "no transfer dialog\n");
            std::exit(1);
        }
        device.ClearLog();
        t0 = bench::NowNs();
        d->ButtonConnection->click();
        wait.exec();
        d->ButtonQuitter->click();
    });
    driver::Trigger(form, "ConnectionTransfertItem");
    salvo::ui::SetBoxInterceptor(nullptr);
    if (shown != QString::fromUtf8("La programmation du ignivelle a réussi.")) {
        std::fprintf(stderr, "the transfer ended with: %s\n", shown.toUtf8().constData());
        std::exit(1);
    }
    f.TotalMs = static_cast<double>(box - t0) / 1e6;
    f.BoxMs = f.TotalMs;

    // Tick starts: the first byte each tick sends, less the byte's own time on the line.
    auto log = device.Log();
    f.Bytes = log.size();
    const double byteMs = 11.0 / 9600 * 1000;
    auto at = [&](const salvo::sim::ByteRecord& r) {
        long long ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(r.Time.time_since_epoch()).count();
        return static_cast<double>(ns - t0) / 1e6 - byteMs;
    };
    int writes = 0;
    bool seen80 = false, seen86 = false, seen89 = false;
    for (size_t i = 0; i < log.size(); ++i) {
        const auto& r = log[i];
        if (!r.FromProgram)
            continue;
        if (r.Value == 0x80 && !seen80) {
            seen80 = true;
            f.TickStartsMs.push_back(at(r));
        } else if (r.Value == 0x86 && !seen86) {
            seen86 = true;
            f.TickStartsMs.push_back(at(r));
        } else if (r.Value == 0x89 && !seen89) {
            seen89 = true;
            f.TickStartsMs.push_back(at(r));
        } else if (r.Value == 0x8B) {
            if (writes == 0)
                for (size_t j = i; j-- > 0;)
                    if (log[j].FromProgram) {
                        f.SerialTickEndMs = at(log[j]) + byteMs;
                        break;
                    }
            if (writes++ % 2 == 0)
                f.TickStartsMs.push_back(at(r));
        } else if (r.Value == 0x04 && writes == 60) {
            f.TickStartsMs.push_back(at(r));
            break;
        }
    }
    CloseAll(form);
    salvo::ResetDefaultPortRoots();
    return f;
}

struct ReadFigures {
    double Ms = 0;
    double WireMs = 0; // until the last byte of the read was on the line
    size_t Bytes = 0;
};

ReadFigures ReadBack(TMainForm& form, const QString& file) {
    QTemporaryDir home;
    std::string ports = IsolatePorts(home);
    salvo::sim::DeviceOptions options;
    std::string loaded = salvo::sim::LoadProgramFile(file.toStdString(), options);
    options.Pace = true;
    salvo::sim::SimulatedDevice device(options);
    if (!loaded.empty() || options.Words.size() != 30 || device.Start() != 0 ||
        device.LinkAs(ports + "/COM1") != 0) {
        std::fprintf(stderr, "no simulated device holding the program\n");
        std::exit(1);
    }
    TDlgLecture* dialog = form.ReadBackDialog();
    auto deliver = dialog->OnProgramRead;
    long long done = 0;
    QEventLoop wait;
    dialog->OnProgramRead = [&](const salvo::DeviceContents& c) {
        deliver(c);
        done = bench::NowNs();
        QTimer::singleShot(0, &wait, &QEventLoop::quit);
    };
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TDlgLecture*>(QApplication::activeModalWidget());
        if (!d) {
            std::fprintf(stderr, "no read-back dialog\n");
            std::exit(1);
        }
        device.ClearLog();
        d->ButtonConnection->click();
        wait.exec();
        d->ButtonQuitter->click();
    });
    driver::Trigger(form, "ConnectionLireItem");
    dialog->OnProgramRead = deliver;
    TFenetreEnfant* e = form.ActiveEditor();
    for (int i = 0; e && i < 30; ++i)
        if (e->Link().ChannelWord(i) != options.Words[static_cast<size_t>(i)])
            e = nullptr;
    if (!done || !e) {
        std::fprintf(stderr, "the read did not give the device's program\n");
        std::exit(1);
    }

    ReadFigures f;
    auto log = device.Log();
    auto answer = std::find_if(log.begin(), log.end(), [](const salvo::sim::ByteRecord& r) {
        return !r.FromProgram && r.Value == 0x81;
    });
    if (answer == log.end()) {
        std::fprintf(stderr, "no answer in the log\n");
        std::exit(1);
    }
    // Up to the reply to the end of session, the last bytes of the read (those of the quit
    // come later).
    auto end = std::find_if(answer, log.end(), [](const salvo::sim::ByteRecord& r) {
        return r.FromProgram && r.Value == 0x04;
    });
    if (end == log.end() || end + 1 == log.end()) {
        std::fprintf(stderr, "no end of session in the log\n");
        std::exit(1);
    }
    end += 2;
    f.Bytes = static_cast<size_t>(end - answer - 1);
    long long t0 =
        std::chrono::duration_cast<std::chrono::nanoseconds>(answer->Time.time_since_epoch())
            .count();
    f.Ms = static_cast<double>(done - t0) / 1e6;
    f.WireMs = std::chrono::duration<double, std::milli>(end[-1].Time - answer->Time).count();
    CloseAll(form);
    salvo::ResetDefaultPortRoots();
    return f;
}

// The bytes of a read made by plain calls, from the device's answer to the reply to the end of
// session, on the same paced line: no session, no dialog, no event loop.
double BareReadMs(const salvo::sim::DeviceOptions& options) {
    salvo::sim::SimulatedDevice device(options);
    salvo::CP02 port;
    port.PortName = device.Start() == 0 ? device.SlavePath() : std::string();
    if (port.Connect(1) != 0) {
        std::fprintf(stderr, "the bare read found no device\n");
        std::exit(1);
    }
    char code[4];
    int value = 0;
    bool read = port.ReadCheckedTypeCode(code) == 0;
    for (int a : {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6})
        read = read && port.ReadCheckedRegister(a, value) == 0;
    for (int a = 0; a < 60; ++a)
        read = read && port.ReadCheckedRegister(a, value) == 0;
    if (!read || port.EndSession() != 0) {
        std::fprintf(stderr, "the bare read failed\n");
        std::exit(1);
    }
    device.Settle();
    auto log = device.Log();
    auto answer = std::find_if(log.begin(), log.end(), [](const salvo::sim::ByteRecord& r) {
        return !r.FromProgram && r.Value == 0x81;
    });
    return std::chrono::duration<double, std::milli>(log.back().Time - answer->Time).count();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool longOnly = argc == 3 && std::strcmp(argv[1], "long") == 0;
    if (argc < 4 && !longOnly) {
        std::fprintf(stderr, "usage: bench_ui RUNS FILE_30 FILE_28_AUTOMATIC\n"
                             "       bench_ui long RUNS\n");
        return 2;
    }
    const int runs = std::atoi(argv[longOnly ? 2 : 1]);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    TMainForm form;
    ScriptedDialogs dialogs;
    BoxAnswers boxes;
    form.SetDialogProvider(&dialogs);
    driver::ShowActive(form);
    if (longOnly) {
        Report("open_long_ms", OpenLongMs(form, dialogs, runs), "ms");
        return 0;
    }
    const QString file30 = QString::fromLocal8Bit(argv[2]);
    const QString file28 = QString::fromLocal8Bit(argv[3]);

    std::vector<double> loop, open, commit;
    for (int i = 0; i < 20; ++i)
        LoopTurnUs(); // warm-up
    for (int i = 0; i < runs * 10; ++i)
        loop.push_back(LoopTurnUs());

    OpenMs(form, dialogs, file30); // warm-up: the first editor loads fonts and styles
    CloseAll(form);
    for (int i = 0; i < runs; ++i) {
        open.push_back(OpenMs(form, dialogs, file30));
        CloseAll(form);
    }

    // A commit until repainted: the grid, and the timeline when `timeline` is given.
    auto commits = [&](TFenetreEnfant* e, TChronologie* timeline, std::vector<double>& out) {
        for (int i = 0; i <= runs; ++i) {
            double manual = 100.0 * (i + 1);
            driver::FocusCell(*e, 2, 2);
            driver::Type(QString::number(100 * (i + 1)));
            PaintWait typed(driver::Grid(*e)->viewport());
            typed.Wait();
            long long t0 = bench::NowNs();
            driver::Key(Qt::Key_Return);
            PaintWait(driver::Grid(*e)->viewport(), timeline ? timeline->viewport() : nullptr)
                .Wait();
            double ms = static_cast<double>(bench::NowNs() - t0) / 1e6;
            if (!Moved(*e, manual)) {
                std::fprintf(stderr, "the automatic channels did not move to %g\n", manual);
                std::exit(1);
            }
            if (timeline && timeline->Layout().Marks.back().Time != e->Link().GetChannelTime(29)) {
                std::fprintf(stderr, "the timeline did not follow the commit\n");
                std::exit(1);
            }
            if (i > 0) // the first is a warm-up
                out.push_back(ms);
        }
    };
    OpenMs(form, dialogs, file28);
    commits(form.ActiveEditor(), nullptr, commit);
    CloseAll(form);

    // A window wide enough for the timeline beside the grid.
    std::vector<double> commitTimeline, redraw;
    form.resize(1600, 1000);
    QCoreApplication::processEvents();
    OpenMs(form, dialogs, file28);
    TFenetreEnfant* wide = form.ActiveEditor();
    auto* wideTimeline = driver::Control<TChronologie>(*wide, "Chronologie");
    if (!wideTimeline->isVisible()) {
        std::fprintf(stderr, "the timeline is not shown\n");
        return 1;
    }
    commits(wide, wideTimeline, commitTimeline);
    for (int i = 0; i <= runs; ++i) {
        long long t0 = bench::NowNs();
        wideTimeline->ProgramChanged();
        wideTimeline->viewport()->repaint();
        double ms = static_cast<double>(bench::NowNs() - t0) / 1e6;
        if (i > 0)
            redraw.push_back(ms);
    }
    CloseAll(form);

    // Few runs: each reads 30 MB.
    std::vector<double> openLong = OpenLongMs(form, dialogs, std::min(runs, 5));

    Report("loop_us", loop, "us");
    Report("open_ms", open, "ms");
    Report("open_long_ms", openLong, "ms");
    Report("commit_ms", commit, "ms");
    Report("commit_timeline_ms", commitTimeline, "ms");
    Report("timeline_redraw_ms", redraw, "ms");

    TransferFigures t = Transfer(form, file30);
    std::printf("transfer_ms %.1f\n", t.TotalMs);
    std::printf("transfer_bytes %zu\n", t.Bytes);
    std::printf("transfer_serial_tick_end_ms %.2f\n", t.SerialTickEndMs);
    std::printf("transfer_ticks");
    for (double s : t.TickStartsMs)
        std::printf(" %.2f", s);
    std::printf("\n");

    // The reads and their baseline take turns, so both see the same load.
    std::vector<double> reads, wire, bare;
    size_t readBytes = 0;
    salvo::sim::DeviceOptions paced;
    salvo::sim::LoadProgramFile(file30.toStdString(), paced);
    paced.Pace = true;
    for (int i = 0; i < 5; ++i) {
        ReadFigures r = ReadBack(form, file30);
        reads.push_back(r.Ms);
        wire.push_back(r.WireMs);
        readBytes = r.Bytes;
        bare.push_back(BareReadMs(paced));
    }
    Report("read_ms", reads, "ms");
    Report("read_wire_ms", wire, "ms");
    Report("read_bare_ms", bare, "ms");
    std::printf("read_bytes %zu\n", readBytes);
    return 0;
}
