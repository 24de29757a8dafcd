// The PulseAudio output (PipeWire desktops serve it too). The position is the stream's own
// playback time: the samples the server has played out less what is still in the device, as
// the server reports it and as the client library carries it forward between reports.

#include "sound/PosixLibrary.h"
#include "sound/Sound.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <mutex>

namespace salvo::sound {

namespace {

#define SALVO_PULSE(X)                                                                         \
    X(pa_threaded_mainloop_new) X(pa_threaded_mainloop_free) X(pa_threaded_mainloop_start)     \
    X(pa_threaded_mainloop_stop) X(pa_threaded_mainloop_lock) X(pa_threaded_mainloop_unlock)   \
    X(pa_threaded_mainloop_wait) X(pa_threaded_mainloop_signal)                                \
    X(pa_threaded_mainloop_get_api) X(pa_context_new) X(pa_context_unref)                      \
    X(pa_context_connect) X(pa_context_disconnect) X(pa_context_set_state_callback)            \
    X(pa_context_get_state) X(pa_context_errno) X(pa_strerror) X(pa_stream_new)                \
    X(pa_stream_unref) X(pa_stream_connect_playback) X(pa_stream_disconnect)                   \
    X(pa_stream_set_state_callback) X(pa_stream_set_write_callback) X(pa_stream_get_state)     \
    X(pa_stream_write) X(pa_stream_get_time) X(pa_stream_get_latency) X(pa_stream_trigger)     \
    X(pa_operation_unref) X(pa_channel_map_init_extend) X(pa_usec_to_bytes)

struct Pulse {
#define SALVO_DECLARE(f) decltype(&::f) f = nullptr;
    SALVO_PULSE(SALVO_DECLARE)
#undef SALVO_DECLARE
    bool Loaded = false;
    std::string Why;
};

const Pulse& Api() {
    static Pulse api;
    static std::once_flag once;
    std::call_once(once, [] {
        static Library library;
        if (!library.Open("libpulse.so.0", api.Why))
            return;
        bool all = true;
#define SALVO_LOAD(f) all = library.Get(#f, api.f, api.Why) && all;
        SALVO_PULSE(SALVO_LOAD)
#undef SALVO_LOAD
        api.Loaded = all;
    });
    return api;
}

using Clock = std::chrono::steady_clock;

class PulseOutput : public Output {
public:
    ~PulseOutput() override {
        CloseStream();
        CloseContext();
    }

    bool Play(std::shared_ptr<const Samples> sound, double fromSeconds,
              std::string& why) override {
        CloseStream();
        Stopped = std::max(0.0, fromSeconds);
        if (!sound || sound->Rate <= 0 || sound->Channels <= 0 ||
            sound->Channels > int(PA_CHANNELS_MAX)) {
            why = "son inutilisable";
            return false;
        }
        if (!OpenContext(why))
            return false;
        const Pulse& pa = Api();
        Sound = std::move(sound);
        From = std::min(Stopped, Sound->Duration());
        Next = std::min<int64_t>(static_cast<int64_t>(From * Sound->Rate), Sound->Frames());
        Played = 0;
        Triggered = false;
        pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(Sound->Rate),
                            static_cast<uint8_t>(Sound->Channels)};
        pa_channel_map map;
        pa.pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
        pa.pa_threaded_mainloop_lock(Loop);
        Stream = pa.pa_stream_new(Context, "Musique", &spec, &map);
        if (!Stream) {
            why = pa.pa_strerror(pa.pa_context_errno(Context));
            pa.pa_threaded_mainloop_unlock(Loop);
            return false;
        }
        pa.pa_stream_set_state_callback(Stream, &PulseOutput::StreamState, this);
        pa.pa_stream_set_write_callback(Stream, &PulseOutput::Write, this);
        // A short buffer (the position is exact either way): a pause is heard at once, and a
        // busy machine still keeps it filled.
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = static_cast<uint32_t>(pa.pa_usec_to_bytes(80000, &spec));
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(-1);
        attr.fragsize = uint32_t(-1);
        // Not held monotonic: a correction from the server is taken at once rather than by
        // holding the position still until the sound catches up with it.
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
            PA_STREAM_NOT_MONOTONIC);
        bool ok = pa.pa_stream_connect_playback(Stream, nullptr, &attr, flags, nullptr, nullptr) == 0;
        while (ok) {
            const pa_stream_state_t state = pa.pa_stream_get_state(Stream);
            if (state == PA_STREAM_READY)
                break;
            if (!PA_STREAM_IS_GOOD(state))
                ok = false;
            else
                pa.pa_threaded_mainloop_wait(Loop);
        }
        if (!ok)
            why = pa.pa_strerror(pa.pa_context_errno(Context));
        pa.pa_threaded_mainloop_unlock(Loop);
        if (!ok) {
            CloseStream();
            return false;
        }
        Running = true;
        return true;
    }

    void Pause() override {
        if (!Running)
            return;
        Stopped = Position(Clock::now());
        CloseStream();
    }

    bool Playing() const override {
        return Running && Position(Clock::now()) < Sound->Duration();
    }

    double Position(Instant when) const override {
        if (!Running)
            return Stopped;
        const Pulse& pa = Api();
        pa_usec_t played = 0;
        pa.pa_threaded_mainloop_lock(Loop);
        const bool known = pa.pa_stream_get_time(Stream, &played) == 0;
        const Instant now = Clock::now();
        pa.pa_threaded_mainloop_unlock(Loop);
        // While the server's figures are being renewed (after a write), the last ones carry on.
        if (known && played > 0) {
            Played = played;
            PlayedAt = now;
        } else if (Played > 0) {
            played = Played + static_cast<pa_usec_t>(
                                  std::chrono::duration_cast<std::chrono::microseconds>(now - PlayedAt)
                                      .count());
        }
        double at = From;
        // Before the first sample is heard, the music stays where it starts.
        if (played > 0)
            at += played / 1e6 + std::chrono::duration<double>(when - now).count();
        return std::clamp(at, 0.0, Sound->Duration());
    }

    double Latency() const override {
        if (!Running)
            return 0;
        const Pulse& pa = Api();
        pa_usec_t latency = 0;
        int negative = 0;
        pa.pa_threaded_mainloop_lock(Loop);
        const bool known = pa.pa_stream_get_latency(Stream, &latency, &negative) == 0;
        pa.pa_threaded_mainloop_unlock(Loop);
        return known && !negative ? latency / 1e6 : 0;
    }

private:
    bool OpenContext(std::string& why) {
        const Pulse& pa = Api();
        if (!pa.Loaded) {
            why = pa.Why;
            return false;
        }
        if (Context) {
            pa.pa_threaded_mainloop_lock(Loop);
            const bool ready = pa.pa_context_get_state(Context) == PA_CONTEXT_READY;
            pa.pa_threaded_mainloop_unlock(Loop);
            if (ready)
                return true;
            CloseContext(); // the server went away: try it afresh
        }
        Loop = pa.pa_threaded_mainloop_new();
        if (!Loop || pa.pa_threaded_mainloop_start(Loop) < 0) {
            why = "boucle du serveur de son impossible à démarrer";
            CloseContext();
            return false;
        }
        pa.pa_threaded_mainloop_lock(Loop);
        Context = pa.pa_context_new(pa.pa_threaded_mainloop_get_api(Loop), "Salvodesk");
        bool ok = Context != nullptr;
        if (ok) {
            pa.pa_context_set_state_callback(Context, &PulseOutput::ContextState, this);
            // Never starts a sound server of its own: the desktop's, or none.
            ok = pa.pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
        }
        while (ok) {
            const pa_context_state_t state = pa.pa_context_get_state(Context);
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state))
                ok = false;
            else
                pa.pa_threaded_mainloop_wait(Loop);
        }
        if (!ok)
            why = Context ? pa.pa_strerror(pa.pa_context_errno(Context)) : "pa_context_new";
        pa.pa_threaded_mainloop_unlock(Loop);
        if (!ok)
            CloseContext();
        return ok;
    }

    void CloseStream() {
        Running = false;
        if (!Stream)
            return;
        const Pulse& pa = Api();
        pa.pa_threaded_mainloop_lock(Loop);
        pa.pa_stream_set_state_callback(Stream, nullptr, nullptr);
        pa.pa_stream_set_write_callback(Stream, nullptr, nullptr);
        pa.pa_stream_disconnect(Stream);
        pa.pa_stream_unref(Stream);
        Stream = nullptr;
        pa.pa_threaded_mainloop_unlock(Loop);
    }

    void CloseContext() {
        const Pulse& pa = Api();
        if (Context) {
            pa.pa_threaded_mainloop_lock(Loop);
            pa.pa_context_set_state_callback(Context, nullptr, nullptr);
            pa.pa_context_disconnect(Context);
            pa.pa_context_unref(Context);
            Context = nullptr;
            pa.pa_threaded_mainloop_unlock(Loop);
        }
        if (Loop) {
            pa.pa_threaded_mainloop_stop(Loop);
            pa.pa_threaded_mainloop_free(Loop);
            Loop = nullptr;
        }
    }

    static void ContextState(pa_context*, void* self) {
        Api().pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->Loop, 0);
    }
    static void StreamState(pa_stream*, void* self) {
        Api().pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->Loop, 0);
    }

    // On the server's thread: as many samples as it asks for, from where the last ones ended.
    static void Write(pa_stream* stream, size_t bytes, void* data) {
        auto* self = static_cast<PulseOutput*>(data);
        const Pulse& pa = Api();
        const Samples& s = *self->Sound;
        const size_t frameBytes = static_cast<size_t>(s.Channels) * 2;
        const int64_t frames =
            std::min<int64_t>(static_cast<int64_t>(bytes / frameBytes), s.Frames() - self->Next);
        if (frames > 0) {
            pa.pa_stream_write(stream, s.Data.data() + self->Next * s.Channels,
                               static_cast<size_t>(frames) * frameBytes, nullptr, 0,
                               PA_SEEK_RELATIVE);
            self->Next += frames;
        }
        // A sound shorter than the server's start threshold must still be heard.
        if (self->Next >= s.Frames() && !self->Triggered) {
            self->Triggered = true;
            if (pa_operation* o = pa.pa_stream_trigger(stream, nullptr, nullptr))
                pa.pa_operation_unref(o);
        }
    }

    pa_threaded_mainloop* Loop = nullptr;
    pa_context* Context = nullptr;
    pa_stream* Stream = nullptr;
    std::shared_ptr<const Samples> Sound;
    double From = 0, Stopped = 0;
    mutable pa_usec_t Played = 0; // the last playing time the server gave, and when
    mutable Instant PlayedAt;
    int64_t Next = 0; // the next frame to write, on the server's thread
    bool Triggered = false;
    bool Running = false;
};

} // namespace

std::unique_ptr<Output> MakeOutput() {
    return std::make_unique<PulseOutput>();
}

} // namespace salvo::sound
