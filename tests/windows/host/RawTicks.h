#pragma once
// CLOCK_MONOTONIC_RAW in 100 ns units: the clock behind Wine's QueryPerformanceCounter, on which
// the Linux helpers of the Windows tests stamp what they record and send.
#include <ctime>

inline long long Ticks() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return ts.tv_sec * 10000000LL + ts.tv_nsec / 100;
}
