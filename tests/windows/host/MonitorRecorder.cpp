// Records a PulseAudio source (the null sink's monitor) for the Windows sound tests under Wine:
// the raw 16-bit stereo 44.1 kHz samples into <raw>, and after every fragment one line into
// <times>: the CLOCK_MONOTONIC_RAW instant it arrived, in 100 ns units, and the frames recorded
// so far. That clock is the one behind Wine's QueryPerformanceCounter (10 MHz). A frame never
// arrives before it is heard, so the earliest of (arrival - frames / rate) is when the first
// recorded frame was heard (the server's own latency figures proved less steady).
//
//   wine-monitor-recorder <source> <raw> <times>     runs until SIGTERM or SIGINT
#include "RawTicks.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <csignal>
#include <cstdint>
#include <cstdio>

namespace {

constexpr uint32_t Block = 88 * 4; // 2 ms of 16-bit stereo at 44.1 kHz

volatile std::sig_atomic_t stopping = 0;
void Stop(int) { stopping = 1; }

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <source> <raw> <times>\n", argv[0]);
        return 2;
    }
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    // 2 ms: a monitor's latency is asked of its sink, which renders that far ahead of what it
    // plays and hands it to the monitor as it renders; with 20 ms, what was recorded came 20 ms
    // before it was heard.
    attr.fragsize = Block;
    int error = 0;
    pa_simple* in = pa_simple_new(nullptr, "salvodesk-test", PA_STREAM_RECORD, argv[1], "monitor",
                                  &spec, nullptr, &attr, &error);
    if (!in) {
        std::fprintf(stderr, "recorder: %s\n", pa_strerror(error));
        return 1;
    }
    std::FILE* raw = std::fopen(argv[2], "wb");
    std::FILE* times = std::fopen(argv[3], "w");
    if (!raw || !times) {
        std::perror("recorder");
        return 1;
    }
    char block[Block];
    long long frames = 0;
    while (!stopping) {
        if (pa_simple_read(in, block, sizeof block, &error) < 0) {
            std::fprintf(stderr, "recorder: %s\n", pa_strerror(error));
            return 1;
        }
        long long now = Ticks();
        frames += static_cast<long long>(sizeof block / 4);
        std::fwrite(block, 1, sizeof block, raw);
        std::fflush(raw);
        std::fprintf(times, "%lld %lld\n", now, frames);
        std::fflush(times);
    }
    pa_simple_free(in);
    std::fclose(raw);
    std::fclose(times);
    return 0;
}
