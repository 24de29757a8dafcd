// In-process figures of the model and the protocol code, with Google Benchmark: a 30-channel
// program read and written through the headless document, the delay rules moving 28 automatic
// channels, the time texts, one channel sent to the simulated device's engine in memory, a
// million markers read from a companion file and from a label file, in three orders, and a
// 30-channel chain fitted to beats with lift times (its label gives the effects' largest error,
// fitted by the effects and by the ignitions).

#include "IgnivelleSim.h"
#include "device/Classep02.h"
#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"
#include "model/io/SafeFile.h"
#include "model/music/MusicFile.h"
#include "model/music/MusicFit.h"
#include "model/program/TimeText.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace salvo;

namespace {

// Channel 1 and 2 manual, channels 3 to 30 automatic 0,2 s apart, every description filled.
void Fill30(ProgramDocument& doc) {
    doc.SetTitle("Grand final du 14 juillet");
    doc.SetSerialNumber("3000000000");
    doc.SetVersion("3.1");
    for (int row = 3; row <= 30; ++row)
        doc.ChooseType(row, Automatic);
    for (int row = 1; row <= 30; ++row)
        doc.EditDescription(row, "Bombe " + std::to_string(row) + " ; rouge et or");
}

std::string TempPath(const char* name) {
    return "/tmp/salvodesk-bench-" + std::to_string(::getpid()) + "-" + name;
}

void ReadProgram30(benchmark::State& state) {
    ProgramDocument source;
    Fill30(source);
    const std::string path = TempPath("read.tir");
    std::ofstream(path, std::ios::binary) << ProgramFileBytes(source);
    for (auto _ : state) {
        ProgramDocument doc;
        if (doc.Open(path) != ReadResult::Read)
            state.SkipWithError("not read");
        benchmark::DoNotOptimize(doc.Table.Slots);
    }
    std::remove(path.c_str());
}
BENCHMARK(ReadProgram30);

void WriteProgram30(benchmark::State& state) {
    ProgramDocument doc;
    Fill30(doc);
    const std::string path = TempPath("write.tir");
    for (auto _ : state) {
        if (doc.SaveTo(path) != WriteResult::Written)
            state.SkipWithError("not written");
    }
    std::remove(path.c_str());
    std::remove(BackupName(path).c_str());
}
BENCHMARK(WriteProgram30);

// The bytes alone, without the file system: what the save costs in our own code.
void ProgramBytes30(benchmark::State& state) {
    ProgramDocument doc;
    Fill30(doc);
    for (auto _ : state)
        benchmark::DoNotOptimize(ProgramFileBytes(doc));
}
BENCHMARK(ProgramBytes30);

void ApplyChannelTimeMoving28(benchmark::State& state) {
    auto doc = std::make_unique<ProgramDocument>();
    Fill30(*doc);
    double manual = 0;
    for (auto _ : state) {
        if (manual >= 6000) { // a fresh document, so that every call moves all 28
            state.PauseTiming();
            doc = std::make_unique<ProgramDocument>();
            Fill30(*doc);
            manual = 0;
            state.ResumeTiming();
        }
        manual += 100;
        doc->ApplyChannelTime(1, manual);
    }
    for (int k = 2; k < SlotCount; ++k)
        if (doc->Table.Slots[static_cast<size_t>(k)].Steps != 1)
            state.SkipWithError("the automatic channels did not move");
}
BENCHMARK(ApplyChannelTimeMoving28);

void FormatAndParseTime(benchmark::State& state) {
    double t = 0;
    for (auto _ : state) {
        t += 0.2;
        benchmark::DoNotOptimize(ParseTime(FormatTime(t, ','), ','));
    }
}
BENCHMARK(FormatAndParseTime);

// A line that hands each byte to the simulated device's engine and its answers back.
class EngineLine : public SerialLine {
public:
    sim::DeviceEngine Engine{sim::DeviceOptions{}};
    std::deque<uint8_t> Inbox;
    int Open(const std::string&, PortHandle& h) override {
        h = 3;
        return 0;
    }
    int Configure(PortHandle, const SerialSettings&, const SerialTimeouts&, SavedSerialSettings&,
                  SavedSerialTimeouts&) override {
        return 0;
    }
    int Purge(PortHandle) override {
        Inbox.clear();
        return 0;
    }
    int ReadByte(PortHandle, uint8_t& value, bool& received) override {
        received = !Inbox.empty();
        if (received) {
            value = Inbox.front();
            Inbox.pop_front();
        }
        return 0;
    }
    int WriteByte(PortHandle, uint8_t value) override {
        for (uint8_t b : Engine.Receive(value))
            Inbox.push_back(b);
        return 0;
    }
    int Restore(PortHandle, const SavedSerialSettings&, const SavedSerialTimeouts&) override {
        return 0;
    }
    int Close(PortHandle) override { return 0; }
};

class NoWaitClock : public Clock {
public:
    uint64_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
};

void SendChannelInMemory(benchmark::State& state) {
    CP02 port(std::make_unique<EngineLine>(), std::make_shared<NoWaitClock>());
    if (port.Connect(1) != Success)
        state.SkipWithError("no session");
    int i = 0;
    for (auto _ : state) {
        if (port.SendChannel(i) != Success)
            state.SkipWithError("not acknowledged");
        i = (i + 1) % SlotCount;
    }
}
BENCHMARK(SendChannelInMemory);

// A million markers, 10 ms apart rising or falling, or all at one time with their own texts.
enum class Order { Ascending, Descending, OneTime };
constexpr int MillionMarkers = 1000000;

double MarkerTime(Order order, int i) {
    switch (order) {
    case Order::Ascending:
        return i * 0.01;
    case Order::Descending:
        return (MillionMarkers - i) * 0.01;
    case Order::OneTime:
        break;
    }
    return 12.5;
}

void MusicFileMillionMarkers(benchmark::State& state, Order order) {
    std::string bytes = "SalvodeskMusique ; 1\n";
    for (int i = 0; i < MillionMarkers; ++i)
        bytes += "Repère ; " + FormatTime(MarkerTime(order, i), '.') + " ; coup " +
                 std::to_string(i) + "\n";
    for (auto _ : state) {
        MusicData music;
        if (ParseMusicFile(bytes, "/tmp/show.tir", music).Status != MusicRead::Read ||
            music.Markers.size() != size_t(MillionMarkers))
            state.SkipWithError("not read whole");
        benchmark::DoNotOptimize(music.Markers.data());
    }
}
BENCHMARK_CAPTURE(MusicFileMillionMarkers, ascending, Order::Ascending)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MusicFileMillionMarkers, descending, Order::Descending)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MusicFileMillionMarkers, one_time, Order::OneTime)->Unit(benchmark::kMillisecond);

void LabelFileMillionMarkers(benchmark::State& state, Order order) {
    std::string bytes;
    for (int i = 0; i < MillionMarkers; ++i) {
        const std::string t = FormatTime(MarkerTime(order, i), '.');
        bytes += t + "\t" + t + "\tcoup " + std::to_string(i) + "\n";
    }
    for (auto _ : state) {
        LabelFile labels = ParseLabels(bytes);
        if (labels.Markers.size() != size_t(MillionMarkers) || !labels.Bad.empty())
            state.SkipWithError("not read whole");
        benchmark::DoNotOptimize(labels.Markers.data());
    }
}
BENCHMARK_CAPTURE(LabelFileMillionMarkers, ascending, Order::Ascending)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LabelFileMillionMarkers, descending, Order::Descending)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LabelFileMillionMarkers, one_time, Order::OneTime)->Unit(benchmark::kMillisecond);

} // namespace

// Beats at 128 a minute, lifts from 0 to 4,2 s along the chain, off the 0,2 s grid.
void FitChainWithLifts30(benchmark::State& state) {
    const int automatic = 29;
    const double start = 12.345, beat = 60.0 / 128;
    std::vector<Marker> beats;
    std::vector<double> lifts;
    for (int k = 1; k <= automatic; ++k) {
        beats.push_back({start + k * beat, ""});
        lifts.push_back(0.15 * (k - 1));
    }
    ChainFit fit;
    for (auto _ : state) {
        fit = FitChain(start, 0, automatic, beats, lifts);
        benchmark::DoNotOptimize(fit.Times.data());
    }
    if (fit.Problem != FitProblem::None) {
        state.SkipWithError("refused");
        return;
    }
    const ChainFit byIgnition = FitChain(start, 0, automatic, beats);
    char label[96];
    std::snprintf(label, sizeof label, "effect_residual_s %.4f by_ignition_s %.4f",
                  LargestResidual(FitResiduals(start, fit.Times, beats, fit.MarkerIndexes, lifts)),
                  LargestResidual(FitResiduals(start, byIgnition.Times, beats,
                                               byIgnition.MarkerIndexes, lifts)));
    state.SetLabel(label);
}
BENCHMARK(FitChainWithLifts30);

BENCHMARK_MAIN();
