// Figures of the music, each against its baseline measured in the same run:
//   envelope_ms     the envelope of a 10-minute 44.1 kHz stereo 16-bit WAV (106 MB)
//   plainloop_ms    a plain loop that reads the same file and takes the min/max of its samples
//                   per pixel column (1200 columns): what any waveform needs at the least
//   commit_ms             Enter in a delay cell moving 28 automatic channels, until the grid and
//                         the timeline are repainted, in a window with music and no envelope
//                         being computed
//   commit_during_wave_ms the same while the envelope of that 10-minute WAV is being computed
//   fit_residual_s, naive_drift_s  a 30-channel chain fitted to beats at 128 a minute, and
//                   each delay rounded on its own on the same beats
//   bench_music RUNS FILE_28_AUTOMATIC
#include "Boxes.h"
#include "Driver.h"
#include "Probe.h"
#include "ScriptedDialogs.h"
#include "model/io/Wave.h"
#include "model/music/MusicFit.h"
#include "model/music/SoundEnvelope.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/shell/Main.h"
#include "ui/timeline/TChronologie.h"

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

using bench::Median;
using bench::Report;

// 10 minutes of a 440 Hz tone whose loudness rises and falls every 2 s, left and right apart.
std::string TenMinuteWave() {
    const int rate = 44100;
    const size_t frames = size_t(rate) * 600;
    std::vector<int16_t> samples(frames * 2);
    for (size_t f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        const double level = 0.5 + 0.45 * std::sin(t * 3.14159);
        const auto v = static_cast<int16_t>(20000 * level * std::sin(t * 2 * 3.14159 * 440));
        samples[2 * f] = v;
        samples[2 * f + 1] = static_cast<int16_t>(-v / 2);
    }
    return salvo::WaveBytes(samples, 2, rate);
}

// The baseline: read in the same chunks, one min/max per column, nothing else.
double PlainLoopMs(const std::string& path, std::vector<int16_t>& low, std::vector<int16_t>& high) {
    const long long t0 = bench::NowNs();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 44, SEEK_SET);
    const size_t frames = size_t(44100) * 600, columns = 1200, perColumn = frames / columns;
    low.assign(columns, INT16_MAX);
    high.assign(columns, INT16_MIN);
    std::vector<int16_t> buffer(65536 * 2);
    size_t frame = 0;
    for (;;) {
        const size_t got = std::fread(buffer.data(), 4, 65536, f);
        if (got == 0)
            break;
        for (size_t i = 0; i < got; ++i, ++frame) {
            const size_t c = std::min(frame / perColumn, columns - 1);
            for (int ch = 0; ch < 2; ++ch) {
                const int16_t v = buffer[2 * i + size_t(ch)];
                low[c] = std::min(low[c], v);
                high[c] = std::max(high[c], v);
            }
        }
    }
    std::fclose(f);
    return double(bench::NowNs() - t0) / 1e6;
}

class PaintWait : public QObject {
public:
    PaintWait(QWidget* a, QWidget* b) : A(a), B(b) {
        a->installEventFilter(this);
        b->installEventFilter(this);
    }
    ~PaintWait() override {
        A->removeEventFilter(this);
        B->removeEventFilter(this);
    }
    void Wait() {
        while (!PaintedA || !PaintedB)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            (watched == A ? PaintedA : PaintedB) = true;
        return false;
    }

private:
    QWidget *A, *B;
    bool PaintedA = false, PaintedB = false;
};

} // namespace

int main(int argc, char** argv) {
    // Headless like the other window figures: no display is needed to paint into a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_music RUNS FILE_28_AUTOMATIC\n");
        return 2;
    }
    const int runs = std::max(3, std::atoi(argv[1]) / 5);
    const QString file28 = QString::fromLocal8Bit(argv[2]);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QTemporaryDir dir;
    const std::string wav = dir.filePath(QStringLiteral("dix-minutes.wav")).toStdString();
    std::ofstream(wav, std::ios::binary) << TenMinuteWave();

    // Envelope against the plain loop, taken in turns so both see the same cache and load.
    std::vector<double> envelope, plain;
    std::vector<int16_t> low, high;
    salvo::Envelope env;
    PlainLoopMs(wav, low, high);
    for (int i = 0; i < runs; ++i) {
        const long long t0 = bench::NowNs();
        if (salvo::ReadWaveEnvelope(wav, env) != salvo::WaveRead::Read)
            return 1;
        envelope.push_back(double(bench::NowNs() - t0) / 1e6);
        plain.push_back(PlainLoopMs(wav, low, high));
    }
    const float envelopeTop = *std::max_element(env.Max.begin(), env.Max.end());
    const int16_t loopTop = *std::max_element(high.begin(), high.end());
    if (env.Frames != 44100LL * 600 || std::abs(envelopeTop * 32768 - loopTop) > 1) {
        std::fprintf(stderr, "the envelope and the plain loop disagree\n");
        return 1;
    }
    Report("envelope_ms", envelope, "ms");
    Report("plainloop_ms", plain, "ms");

    // The window: a commit while no envelope is computed, then while one is.
    TMainForm form;
    ScriptedDialogs dialogs;
    BoxAnswers boxes;
    form.SetDialogProvider(&dialogs);
    form.resize(1600, 1000);
    driver::ShowActive(form);
    dialogs.OpenPaths << file28 << QString::fromStdString(wav);
    driver::Trigger(form, "FileOpen");
    TFenetreEnfant* e = form.ActiveEditor();
    driver::Trigger(form, "MusiqueAssocierItem");
    TMusique* music = TMusique::Of(e, false);
    auto* timeline = e ? driver::Control<TChronologie>(*e, "Chronologie") : nullptr;
    if (!e || !music || !timeline->isVisible()) {
        std::fprintf(stderr, "no window with music\n");
        return 1;
    }
    auto commit = [&](int i) {
        driver::FocusCell(*e, 2, 2);
        driver::Type(QString::number(100 + i));
        QCoreApplication::processEvents();
        const long long t0 = bench::NowNs();
        PaintWait wait(driver::Grid(*e)->viewport(), timeline->viewport());
        driver::Key(Qt::Key_Return);
        wait.Wait();
        return double(bench::NowNs() - t0) / 1e6;
    };
    std::vector<double> during, idle;
    int wavesSeen = 0;
    for (int i = 0; during.size() < size_t(runs * 10) && i < 100000; ++i) {
        if (!music->WaveProgress()) {
            ++wavesSeen;
            driver::Trigger(form, "MusiqueDetacherItem");
            dialogs.OpenPaths << QString::fromStdString(wav);
            driver::Trigger(form, "MusiqueAssocierItem");
        }
        const double ms = commit(i);
        if (music->WaveProgress() && i > 0)
            during.push_back(ms);
    }
    music->WaitForWave();
    for (int i = 0; i <= runs * 10; ++i) {
        const double ms = commit(i);
        if (i > 0)
            idle.push_back(ms);
    }
    Report("commit_ms", idle, "ms");
    Report("commit_during_wave_ms", during, "ms");
    std::printf("waves_computed %d\n", wavesSeen + 1);
    e->SetModified(false);

    // The drift of a 30-channel chain at 128 a minute.
    std::vector<salvo::Marker> beats;
    std::vector<double> times;
    const double start = 12.345;
    for (int k = 1; k <= 29; ++k) {
        beats.push_back({start + k * 60.0 / 128, ""});
        times.push_back(beats.back().Time);
    }
    const salvo::ChainFit fit = salvo::FitChain(start, 0, 29, beats);
    std::printf("fit_residual_s %.4f\n", salvo::LargestResidual(salvo::FitResiduals(
                                             start, fit.Times, beats, fit.MarkerIndexes)));
    std::printf("naive_drift_s %.4f\n",
                salvo::LargestResidual(salvo::FitResiduals(
                    start, salvo::RoundEachDelay(start, 0, times), beats, fit.MarkerIndexes)));
    return 0;
}
