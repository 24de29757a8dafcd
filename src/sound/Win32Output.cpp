// The Windows output: WASAPI in shared mode, fed by a render thread of its own. What is heard
// is read from the stream's audio clock, whose position comes with the performance counter
// instant it was true at.
#include "sound/Sound.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace salvo::sound {
namespace {

// Declared here rather than taken from libuuid, whose mingw-w64 copy lacks some of them.
const CLSID ClsidEnumerator = {0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
const IID IidEnumerator = {0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
const IID IidAudioClient = {0x1cb9ad4c, 0xdbfa, 0x4c32, {0xb1, 0x78, 0xc2, 0xf5, 0x68, 0xa7, 0x03, 0xb2}};
const IID IidRenderClient = {0xf294acfc, 0x3146, 0x4483, {0xa7, 0xbf, 0xad, 0xdc, 0xa7, 0xc2, 0x60, 0xe2}};
const IID IidAudioClock = {0xcd63314f, 0x3fba, 0x4a1b, {0x81, 0x2c, 0xef, 0x96, 0x35, 0x87, 0x28, 0xe7}};
const GUID SubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID SubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

constexpr DWORD AutoConvertPcm = 0x80000000;     // AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM
constexpr DWORD SrcDefaultQuality = 0x08000000;  // AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY
// 50 ms, in 100 ns units. Longer does not help under Wine: a starved PulseAudio stream waits
// for its whole buffer to fill again before it goes on.
constexpr REFERENCE_TIME BufferLength = 500000;

template <class T> struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    void** Out() { return reinterpret_cast<void**>(&p); }
};

std::string Reason(const char* what, HRESULT hr) {
    char text[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             DWORD(hr), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ')) text[--n] = 0;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(hr));
    return std::string(what) + ": " + (n > 0 ? std::string(text) + " (" + code + ")" : code);
}

// How the stream's samples are laid out.
enum class Kind { Int16, Int24, Int32, Float32 };
struct Layout {
    Kind kind = Kind::Int16;
    int channels = 0;
    int bytes = 0;  // per sample
    int rate = 0;
};

bool Understood(const WAVEFORMATEX* f, Layout& out) {
    out.channels = f->nChannels;
    out.rate = int(f->nSamplesPerSec);
    out.bytes = f->wBitsPerSample / 8;
    bool isFloat = f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    bool isPcm = f->wFormatTag == WAVE_FORMAT_PCM;
    if (f->wFormatTag == WAVE_FORMAT_EXTENSIBLE && f->cbSize >= 22) {
        const GUID& sub = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f)->SubFormat;
        isFloat = IsEqualGUID(sub, SubtypeFloat);
        isPcm = IsEqualGUID(sub, SubtypePcm);
    }
    if (isFloat && f->wBitsPerSample == 32) out.kind = Kind::Float32;
    else if (isPcm && f->wBitsPerSample == 16) out.kind = Kind::Int16;
    else if (isPcm && f->wBitsPerSample == 24) out.kind = Kind::Int24;
    else if (isPcm && f->wBitsPerSample == 32) out.kind = Kind::Int32;
    else return false;
    return out.channels > 0 && out.rate > 0;
}

void Put(Kind kind, int16_t v, BYTE* at) {
    switch (kind) {
    case Kind::Int16: std::memcpy(at, &v, 2); break;
    case Kind::Int24: {
        int32_t w = int32_t(v) * 256;
        at[0] = BYTE(w), at[1] = BYTE(w >> 8), at[2] = BYTE(w >> 16);
        break;
    }
    case Kind::Int32: {
        int32_t w = int32_t(uint32_t(int32_t(v)) << 16);
        std::memcpy(at, &w, 4);
        break;
    }
    case Kind::Float32: {
        float f = float(v) / 32768.0f;  // exact: the mixer gives back the same 16-bit value
        std::memcpy(at, &f, 4);
        break;
    }
    }
}

// The sound's sample of channel c at frame i as the stream's channel c hears it: mono goes to
// every channel, channels the sound lacks are silent, and a mono stream hears the mean.
int16_t Sample(const Samples& s, int64_t i, int c, int streamChannels) {
    const int16_t* frame = s.Data.data() + i * s.Channels;
    if (streamChannels == 1 && s.Channels > 1) {
        int sum = 0;
        for (int k = 0; k < s.Channels; ++k) sum += frame[k];
        return int16_t(sum / s.Channels);
    }
    if (s.Channels == 1) return frame[0];
    return c < s.Channels ? frame[c] : 0;
}

class WasapiOutput final : public Output {
public:
    ~WasapiOutput() override { Stop(); }

    bool Play(std::shared_ptr<const Samples> sound, double fromSeconds, std::string& why) override {
        Stop();
        if (!sound || sound->Rate <= 0 || sound->Channels <= 0) {
            why = "no sound";
            return false;
        }
        double end = sound->Duration();
        fromSeconds = std::clamp(fromSeconds, 0.0, end);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            start_ = fromSeconds;
            clockSeconds_ = 0;
            clockAt_ = std::chrono::steady_clock::now();
            pace_ = 0;
            lastAsked_ = Instant{};
            lastAnswer_ = 0;
            running_ = false;
        }
        stop_ = false;
        // The thread keeps the promise: it may still be inside set_value when Play returns.
        auto opened = std::make_shared<std::promise<std::string>>();
        std::future<std::string> result = opened->get_future();
        thread_ = std::thread([this, sound, fromSeconds, opened] {
            Render(sound, fromSeconds, *opened);
        });
        why = result.get();
        if (!why.empty()) {
            thread_.join();
            return false;
        }
        return true;
    }

    void Pause() override { Stop(); }

    double Latency() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return latency_;
    }

    bool Playing() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return running_;
    }

    double Position(Instant when) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) return start_ + clockSeconds_;
        // The clock as last read, carried to the asked instant at the pace it was seen to go
        // (still while the first samples travel to the speaker), at most one read interval on.
        double ahead = std::clamp(std::chrono::duration<double>(when - clockAt_).count(), 0.0, 0.03);
        double heard = std::clamp(clockSeconds_ + ahead * pace_, 0.0, writtenSeconds_);
        // Asked again for an instant no earlier, it never answers less.
        if (when >= lastAsked_) {
            heard = std::max(heard, lastAnswer_);
            lastAsked_ = when;
            lastAnswer_ = heard;
        }
        return start_ + heard;
    }

private:
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    // Reads the audio clock; the position's instant, given in 100 ns units of the performance
    // counter, is brought onto steady_clock through a reading of both taken now.
    void ReadClock(IAudioClock* clock, UINT64 frequency, double writtenSeconds) {
        UINT64 position = 0, qpcAt = 0;
        if (FAILED(clock->GetPosition(&position, &qpcAt)) || frequency == 0) return;
        LARGE_INTEGER counter, counterRate;
        QueryPerformanceCounter(&counter);
        auto steadyNow = std::chrono::steady_clock::now();
        QueryPerformanceFrequency(&counterRate);
        double qpcNow = double(counter.QuadPart) / double(counterRate.QuadPart);
        double age = std::max(0.0, qpcNow - double(qpcAt) * 1e-7);
        std::lock_guard<std::mutex> lock(mutex_);
        double seconds = double(position) / double(frequency);
        Instant at = steadyNow - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(age));
        double span = std::chrono::duration<double>(at - clockAt_).count();
        if (span > 0.001) pace_ = std::clamp((seconds - clockSeconds_) / span, 0.0, 1.0);
        clockSeconds_ = seconds;
        clockAt_ = at;
        latency_ = std::max(0.0, writtenSeconds - seconds);
    }

    void Render(std::shared_ptr<const Samples> sound, double fromSeconds,
                std::promise<std::string>& opened) {
        HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::string why = Stream(*sound, fromSeconds, opened);
        if (!why.empty()) opened.set_value(why);
        if (SUCCEEDED(init)) CoUninitialize();
    }

    // Opens the default output, plays until the end is heard or Pause; returns the reason
    // when it could not open (once open, the promise has been kept and it returns "").
    std::string Stream(const Samples& sound, double fromSeconds, std::promise<std::string>& opened) {
        Com<IMMDeviceEnumerator> devices;
        HRESULT hr = CoCreateInstance(ClsidEnumerator, nullptr, CLSCTX_ALL, IidEnumerator, devices.Out());
        if (FAILED(hr)) return Reason("audio devices", hr);
        Com<IMMDevice> device;
        hr = devices->GetDefaultAudioEndpoint(eRender, eConsole, &device.p);
        if (FAILED(hr)) return Reason("default audio output", hr);
        Com<IAudioClient> client;
        hr = device->Activate(IidAudioClient, CLSCTX_ALL, nullptr, client.Out());
        if (FAILED(hr)) return Reason("audio output", hr);

        // Our own 16-bit samples, the system converting them to what its mixer wants: under Wine
        // they reach PulseAudio unchanged (its float conversion scales by 32767, not 32768).
        // Where the system refuses, the mixer's own format, converted here.
        WAVEFORMATEXTENSIBLE own = {};
        own.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        own.Format.nChannels = WORD(sound.Channels);
        own.Format.nSamplesPerSec = DWORD(sound.Rate);
        own.Format.wBitsPerSample = 16;
        own.Format.nBlockAlign = WORD(2 * sound.Channels);
        own.Format.nAvgBytesPerSec = own.Format.nSamplesPerSec * own.Format.nBlockAlign;
        own.Format.cbSize = 22;
        own.Samples.wValidBitsPerSample = 16;
        own.dwChannelMask = sound.Channels == 1   ? SPEAKER_FRONT_CENTER
                            : sound.Channels == 2 ? SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT
                                                  : 0;
        own.SubFormat = SubtypePcm;
        const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
        Layout layout;
        hr = client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags | AutoConvertPcm | SrcDefaultQuality,
                                BufferLength, 0, &own.Format, nullptr);
        if (SUCCEEDED(hr)) {
            Understood(&own.Format, layout);
        } else {
            WAVEFORMATEX* mix = nullptr;
            hr = client->GetMixFormat(&mix);
            if (FAILED(hr)) return Reason("audio output format", hr);
            if (!Understood(mix, layout)) hr = AUDCLNT_E_UNSUPPORTED_FORMAT;
            else hr = client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, BufferLength, 0, mix, nullptr);
            CoTaskMemFree(mix);
        }
        if (FAILED(hr)) return Reason("audio output format", hr);

        HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!wake) return Reason("audio event", HRESULT_FROM_WIN32(GetLastError()));
        struct Closer {
            HANDLE h;
            ~Closer() { CloseHandle(h); }
        } closer{wake};
        hr = client->SetEventHandle(wake);
        if (FAILED(hr)) return Reason("audio event", hr);
        UINT32 capacity = 0;
        hr = client->GetBufferSize(&capacity);
        if (FAILED(hr)) return Reason("audio buffer", hr);
        Com<IAudioRenderClient> render;
        hr = client->GetService(IidRenderClient, render.Out());
        if (FAILED(hr)) return Reason("audio renderer", hr);
        Com<IAudioClock> clock;
        hr = client->GetService(IidAudioClock, clock.Out());
        if (FAILED(hr)) return Reason("audio clock", hr);
        UINT64 frequency = 0;
        hr = clock->GetFrequency(&frequency);
        if (FAILED(hr) || frequency == 0) return Reason("audio clock", FAILED(hr) ? hr : E_FAIL);
        // The clock counts bytes or frames depending on the system: seconds are what we keep.

        // Stream frame k plays the sound at frame first + k * step.
        const double step = double(sound.Rate) / layout.rate;
        const double first = std::round(fromSeconds * sound.Rate);
        const int64_t soundFrames = sound.Frames();
        const int64_t streamFrames =
            std::max<int64_t>(0, int64_t(std::ceil((soundFrames - first) / step)));
        int64_t written = 0;
        auto fill = [&](UINT32 frames) -> HRESULT {
            BYTE* data = nullptr;
            HRESULT h = render->GetBuffer(frames, &data);
            if (FAILED(h)) return h;
            const int frameBytes = layout.bytes * layout.channels;
            for (UINT32 k = 0; k < frames; ++k, ++written) {
                BYTE* at = data + size_t(k) * frameBytes;
                if (written >= streamFrames) {
                    std::memset(at, 0, frameBytes);
                    continue;
                }
                double x = first + double(written) * step;
                int64_t i = int64_t(x);
                double t = x - double(i);
                for (int c = 0; c < layout.channels; ++c) {
                    int16_t v = Sample(sound, i, c, layout.channels);
                    if (t > 0 && i + 1 < soundFrames) {  // only when we convert the rate
                        int16_t w = Sample(sound, i + 1, c, layout.channels);
                        v = int16_t(std::lround(v + (w - v) * t));
                    }
                    Put(layout.kind, v, at + c * layout.bytes);
                }
            }
            return render->ReleaseBuffer(frames, 0);
        };

        hr = fill(capacity);
        if (FAILED(hr)) return Reason("audio buffer", hr);
        hr = client->Start();
        if (FAILED(hr)) return Reason("audio start", hr);
        const double endSeconds = double(streamFrames) / layout.rate;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = true;
            writtenSeconds_ = endSeconds;
        }
        ReadClock(clock.p, frequency, double(written) / layout.rate);
        opened.set_value("");

        bool ended = false;
        while (!stop_) {
            WaitForSingleObject(wake, 10);
            ReadClock(clock.p, frequency, double(written) / layout.rate);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (clockSeconds_ >= endSeconds) {
                    ended = true;
                    break;
                }
            }
            UINT32 padding = 0;
            if (FAILED(client->GetCurrentPadding(&padding))) break;
            if (capacity > padding && FAILED(fill(capacity - padding))) break;
        }
        ReadClock(clock.p, frequency, double(written) / layout.rate);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = false;
            // The sound's own seconds: stream seconds times the rate ratio is one, by construction.
            clockSeconds_ = std::clamp(clockSeconds_, 0.0, endSeconds);
        }
        // A clock may count as heard what still waits in the system's mixer (Wine's does, when
        // the machine is busy); stopping at once would drop the sound's last frames. The end is
        // followed by a little silence before the stream stops.
        for (int i = 0; ended && !stop_ && i < 15; ++i) {
            WaitForSingleObject(wake, 10);
            UINT32 padding = 0;
            if (FAILED(client->GetCurrentPadding(&padding))) break;
            if (capacity > padding && FAILED(fill(capacity - padding))) break;
        }
        client->Stop();
        return "";
    }

    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    bool running_ = false;
    double start_ = 0;          // the second of the sound the stream began at
    double clockSeconds_ = 0;   // the stream's seconds heard, as last read
    Instant clockAt_{};         // when they were heard
    double writtenSeconds_ = 0; // the stream's length, the sound's end
    double latency_ = 0;        // from written to heard, as last read
    double pace_ = 0;           // stream seconds per second between the last two reads
    mutable Instant lastAsked_{};
    mutable double lastAnswer_ = 0;
};

} // namespace

std::unique_ptr<Output> MakeOutput() { return std::make_unique<WasapiOutput>(); }

} // namespace salvo::sound
