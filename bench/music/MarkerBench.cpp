// Markers as a user drops them: the program on an X server (Xvfb), a click track attached and
// played into a private PulseAudio null sink whose monitor is recorded, M pressed through the X
// server by xdotool (XTEST) at known instants, and each marker compared with the music heard at
// that instant in the recording. For the first play after attaching and for a later play, then
// for F6 (the menu command's shortcut) pressed with the keyboard in a description cell.
// Prints, per play: mean error, worst error (ms), markers dropped, and the output's latency.
//   bench_markers PRESSES      (on an X server: bench/run starts one)
#include "Driver.h"
#include "NullSink.h"
#include "ProgramUnderTest.h"
#include "model/io/Wave.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/timeline/TChronologie.h"

#include <QApplication>
#include <QFile>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(3, std::atoi(argv[1])) : 100;
    nullsink::Server server;
    if (!server.Ok()) {
        std::fprintf(stderr, "no private PulseAudio server\n");
        return 1;
    }
    ProgramUnderTest program;
    program.StartProgram(QSize(1400, 900));
    const double seconds = 2 + presses * 0.33;
    {
        QFile f(program.P("clicks.wav"));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray::fromStdString(
            salvo::WaveBytes(nullsink::ClickTrack(seconds, 0.5, 0.5), 2, nullsink::Rate)));
    }
    driver::Trigger(*program.Form, "FileNew");
    TFenetreEnfant* editor = program.Form->ActiveEditor();
    program.Dialogs.OpenPaths << program.P("clicks.wav");
    driver::Trigger(*program.Form, "MusiqueAssocierItem");
    TMusique* music = TMusique::Of(editor);
    music->WaitForWave();
    auto* timeline = driver::Control<TChronologie>(*editor, "Chronologie");
    timeline->setFocus();

    // One xdotool for every key, fed on its standard input.
    int fds[2];
    if (::pipe(fds) != 0)
        return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    char* args[] = {const_cast<char*>("xdotool"), const_cast<char*>("-"), nullptr};
    pid_t xdotool = -1;
    if (posix_spawnp(&xdotool, "xdotool", &actions, nullptr, args, environ) != 0) {
        std::fprintf(stderr, "no xdotool\n");
        return 1;
    }
    ::close(fds[0]);
    auto send = [fd = fds[1]](const std::string& line) {
        return ::write(fd, line.data(), line.size()) == ssize_t(line.size());
    };
    const QPoint centre = timeline->mapToGlobal(timeline->rect().center());
    send("windowfocus --sync " + std::to_string(program.Form->winId()) + "\nmousemove " +
         std::to_string(centre.x()) + " " + std::to_string(centre.y()) + "\n");
    QTest::qWait(500);

    std::mt19937 random(29);
    int failures = 0;
    for (const char* play : {"first", "later", "f6"}) {
        const bool f6 = std::string(play) == "f6";
        if (f6) {
            driver::FocusCell(*editor, 3, 2);
            QTest::qWait(100);
        }
        music->Data.Markers.clear();
        music->SetHead(0);
        server.StartRecording();
        driver::Trigger(*program.Form, "MusiqueLectureItem");
        if (!music->Playing()) {
            std::fprintf(stderr, "the music does not play\n");
            return 1;
        }
        const Clock::time_point settled = Clock::now() + std::chrono::milliseconds(300);
        // The keys from a thread of their own, so that the window is busy as it would be.
        std::vector<Clock::time_point> sent(static_cast<size_t>(presses));
        std::atomic<bool> finished{false};
        std::thread keys([&] {
            Clock::time_point at = Clock::now() + std::chrono::milliseconds(400);
            for (int i = 0; i < presses; ++i) {
                at += std::chrono::milliseconds(230 + random() % 90);
                std::this_thread::sleep_until(at);
                sent[size_t(i)] = Clock::now();
                send(f6 ? "key F6\n" : "key m\n");
            }
            finished = true;
        });
        while (!finished)
            QTest::qWait(20);
        keys.join();
        QTest::qWait(300);
        const double latency = music->SoundOutput() ? music->SoundOutput()->Latency() : 0;
        driver::Trigger(*program.Form, "MusiqueLectureItem");
        QTest::qWait(200);
        server.StopRecording();
        const nullsink::Alignment heardAt(server.Clicks(), 0.5, 0.5);
        if (!heardAt.Ok()) {
            std::fprintf(stderr, "no clicks recorded\n");
            return 1;
        }
        const auto& markers = music->Data.Markers;
        double sum = 0, worst = 0;
        const size_t n = std::min(markers.size(), sent.size());
        for (size_t i = 0; i < n; ++i) {
            const double heard = heardAt.Heard(server.FrameAt(sent[i], settled), 0);
            const double error = markers[i].Time - heard;
            sum += error;
            if (std::abs(error) > std::abs(worst))
                worst = error;
        }
        std::printf("markers_%s %d presses, %zu markers: mean %+.2f ms, worst %+.2f ms, "
                    "clicks spread %.2f ms, output latency %.1f ms\n",
                    play, presses, markers.size(), n ? 1000 * sum / double(n) : 0.0, 1000 * worst,
                    1000 * heardAt.Spread, 1000 * latency);
        failures += markers.size() != size_t(presses);
    }
    ::close(fds[1]);
    int status;
    ::waitpid(xdotool, &status, 0);
    program.StopProgram();
    return failures ? 2 : 0;
}
