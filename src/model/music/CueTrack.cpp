#include "model/music/CueTrack.h"

#include "model/io/SafeFile.h"
#include "model/io/Wave.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>

namespace salvo {

const char* const MsgCueConflict =
    "Ces départs sont trop proches pour un décompte de %2 secondes :\n\n%1\n"
    "Le décompte d'une séquence commencerait avant le « feu » de la précédente.";

namespace {

int16_t Clamp(int32_t v) {
    return static_cast<int16_t>(std::min<int32_t>(32767, std::max<int32_t>(-32768, v)));
}

const std::vector<int16_t>& ClipOf(const CuePlacement& p, const CueVoice& voice,
                                   const std::vector<int16_t>& beep,
                                   const std::vector<int16_t>& longBeep) {
    static const std::vector<int16_t> none;
    switch (p.Word) {
    case CueWord::Sequence:
        return voice.Sequence;
    case CueWord::Number:
        return p.Number >= 1 && p.Number <= MaxSpokenNumber
                   ? voice.Numbers[static_cast<size_t>(p.Number)]
                   : none;
    case CueWord::Three:
        return voice.Three;
    case CueWord::Two:
        return voice.Two;
    case CueWord::One:
        return voice.One;
    case CueWord::Fire:
        return voice.Fire;
    case CueWord::Beep:
        return beep;
    case CueWord::LongBeep:
        return longBeep;
    }
    return none;
}

} // namespace

std::vector<int16_t> TrimSilence(const std::vector<int16_t>& samples, int threshold) {
    auto loud = [threshold](int16_t s) { return std::abs(int(s)) >= threshold; };
    auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
        return {};
    auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    return std::vector<int16_t>(first, last);
}

std::vector<int16_t> Resample(const std::vector<int16_t>& samples, int from, int to) {
    if (from == to || samples.empty() || from <= 0 || to <= 0)
        return samples;
    const auto count =
        static_cast<size_t>((static_cast<int64_t>(samples.size()) - 1) * to / from + 1);
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i) {
        const int64_t num = static_cast<int64_t>(i) * from; // position = num / to
        const auto k = static_cast<size_t>(num / to);
        const double f = double(num % to) / to;
        const double a = samples[k];
        const double b = k + 1 < samples.size() ? samples[k + 1] : a;
        out[i] = Clamp(static_cast<int32_t>(std::lround(a + (b - a) * f)));
    }
    return out;
}

bool MonoSamplesOfWave(const std::string& bytes, std::vector<int16_t>& samples, int& rate) {
    WaveMemoryInput input(bytes);
    WaveChunks chunks(input);
    if (!chunks.ReadHead())
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    int channels = 0, bits = 0, tag = 0;
    WaveChunk chunk;
    while (chunks.Next(chunk)) {
        const auto body = static_cast<size_t>(chunk.Body);
        const auto length = static_cast<size_t>(chunk.Length);
        if (length > bytes.size() - body)
            return false;
        if (chunk.Is("fmt ") && length >= 16) {
            const WaveFormatChunk format = DecodeFormatChunk(p + body, chunk.Length);
            tag = format.Tag;
            channels = format.Channels;
            rate = format.SampleRate;
            bits = format.Bits;
        } else if (chunk.Is("data")) {
            if (tag != 1 || channels < 1 || rate <= 0 || (bits != 8 && bits != 16))
                return false;
            const size_t block = static_cast<size_t>(channels * bits / 8);
            samples.clear();
            samples.reserve(length / block);
            for (size_t f = body; f + block <= body + length; f += block) {
                int32_t sum = 0;
                for (int c = 0; c < channels; ++c)
                    sum += Sample16(p + f + size_t(c * bits / 8), bits, false);
                samples.push_back(static_cast<int16_t>(sum / channels));
            }
            return true;
        }
    }
    return false;
}

int64_t SampleAt(double seconds, int rate) {
    return std::llround(seconds * rate);
}

std::vector<CueConflict> CueConflicts(const std::vector<CueStart>& starts, int leadSeconds) {
    std::vector<CueConflict> out;
    for (size_t s = 1; s < starts.size(); ++s) {
        const double gap = starts[s].Planned - starts[s - 1].Planned;
        if (gap < leadSeconds)
            out.push_back({static_cast<int>(s - 1), static_cast<int>(s), gap});
    }
    return out;
}

std::string ConflictText(const std::vector<CueStart>& starts,
                         const std::vector<CueConflict>& conflicts, int leadSeconds,
                         char separator) {
    std::string pairs;
    for (const CueConflict& c : conflicts) {
        const CueStart& a = starts[static_cast<size_t>(c.First)];
        const CueStart& b = starts[static_cast<size_t>(c.Second)];
        pairs += "Séquence " + std::to_string(a.Number) + " (" +
                 FormatMilliseconds(a.Planned, separator) + " s) et séquence " +
                 std::to_string(b.Number) + " (" + FormatMilliseconds(b.Planned, separator) +
                 " s) : " + FormatResidual(c.Gap, separator, false) + " s d'écart\n";
    }
    std::string text = MsgCueConflict;
    text.replace(text.find("%2"), 2, std::to_string(leadSeconds));
    text.replace(text.find("%1"), 2, pairs);
    return text;
}

std::vector<int16_t> BeepSamples(bool longBeep, int rate) {
    const double frequency = longBeep ? 1320 : 880;
    const auto count = static_cast<size_t>(rate * (longBeep ? 0.4 : 0.15));
    const size_t fade = static_cast<size_t>(rate / 200); // 5 ms each end, no click
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i) {
        double gain = 1;
        if (i < fade)
            gain = double(i + 1) / double(fade);
        else if (count - i <= fade)
            gain = double(count - i) / double(fade);
        out[i] = static_cast<int16_t>(std::lround(
            16000 * gain * std::cos(2 * 3.14159265358979323846 * frequency * double(i) / rate)));
    }
    return out;
}

std::vector<CuePlacement> PlaceCues(const std::vector<CueStart>& starts, int leadSeconds, int rate,
                                    const CueVoice& voice, CueVariant variant) {
    std::vector<CuePlacement> out;
    int64_t earliest = 0; // no countdown before the music, nor before the previous "feu"
    const auto second = static_cast<int64_t>(rate);
    for (const CueStart& s : starts) {
        const int64_t start = SampleAt(s.Planned, rate);
        const int64_t room = start >= earliest ? (start - earliest) / second : -1;
        if (variant == CueVariant::BeepsOnly) {
            for (int k = 3; k >= 1; --k)
                if (k <= room)
                    out.push_back({start - k * second, CueWord::Beep, s.Number});
        } else {
            const int64_t announced = std::min<int64_t>(leadSeconds, room);
            const auto announcement = static_cast<int64_t>(
                voice.Sequence.size() + (s.Number >= 1 && s.Number <= MaxSpokenNumber
                                             ? voice.Numbers[static_cast<size_t>(s.Number)].size()
                                             : 0));
            if (announced > 3 && announcement <= (announced - 3) * second) {
                const int64_t at = start - announced * second;
                out.push_back({at, CueWord::Sequence, s.Number});
                out.push_back(
                    {at + static_cast<int64_t>(voice.Sequence.size()), CueWord::Number, s.Number});
            }
            const CueWord counts[] = {CueWord::One, CueWord::Two, CueWord::Three};
            for (int k = 3; k >= 1; --k)
                if (k <= room)
                    out.push_back({start - k * second, counts[k - 1], s.Number});
        }
        if (start >= 0)
            out.push_back({start,
                           variant == CueVariant::BeepsOnly ? CueWord::LongBeep : CueWord::Fire,
                           s.Number});
        earliest = std::max(earliest, start);
    }
    std::stable_sort(out.begin(), out.end(), [](const CuePlacement& a, const CuePlacement& b) {
        return a.Sample < b.Sample;
    });
    return out;
}

WaveFileSource::WaveFileSource() = default;
WaveFileSource::~WaveFileSource() = default;

bool WaveFileSource::Open(const std::string& path) {
    WaveFormat format;
    // A sound without samples is a music of no length, as before.
    const WaveRead r = ReadWaveFormat(path, format);
    if ((r != WaveRead::Read && r != WaveRead::NoSound) || format.BlockAlign() <= 0)
        return false;
    // Opened as a regular file only, never blocking (a FIFO put in its place meanwhile).
    File = std::make_unique<InputFile>(path);
    if (!File->IsOpen() || !File->Seek(format.DataOffset))
        return false;
    SampleRate = format.SampleRate;
    Channels = format.Channels;
    Bits = format.Bits;
    Float = format.Float;
    TotalFrames = Left = format.DataBytes / format.BlockAlign();
    return true;
}

long long WaveFileSource::ReadMono(int16_t* into, size_t count) {
    const auto frames = static_cast<size_t>(std::min<int64_t>(Left, int64_t(count)));
    const size_t block = static_cast<size_t>(Channels * Bits / 8);
    Buffer.resize(frames * block);
    if (frames == 0)
        return 0;
    if (!File->ReadExactly(Buffer.data(), Buffer.size()))
        return -1;
    Left -= static_cast<int64_t>(frames);
    const unsigned char* p = Buffer.data();
    for (size_t f = 0; f < frames; ++f) {
        int64_t sum = 0;
        for (int c = 0; c < Channels; ++c, p += Bits / 8)
            sum += Sample16(p, Bits, Float);
        into[f] = static_cast<int16_t>(sum / Channels);
    }
    return static_cast<long long>(frames);
}

CueWrite WriteCueTrack(const std::string& path, MusicSource* music,
                       const std::vector<CueStart>& starts, int leadSeconds, const CueVoice& voice,
                       CueVariant variant, int rate) {
    if (music)
        rate = music->Rate();
    const std::vector<CuePlacement> cues = PlaceCues(starts, leadSeconds, rate, voice, variant);
    const std::vector<int16_t> beep = BeepSamples(false, rate), longBeep = BeepSamples(true, rate);
    int64_t total = music ? music->Frames() : 0;
    for (const CuePlacement& c : cues)
        total = std::max(total,
                         c.Sample + static_cast<int64_t>(ClipOf(c, voice, beep, longBeep).size()));

    const int channels = variant == CueVariant::MonoMix ? 1 : 2;
    WavWriter out;
    if (!out.Open(path, channels, rate))
        return CueWrite::NotWritten;
    constexpr size_t Block = 16384;
    std::vector<int16_t> tune(Block);
    std::vector<int32_t> voiceMix(Block);
    std::vector<int16_t> frames(Block * 2);
    size_t firstLive = 0; // cues before it have ended
    for (int64_t at = 0; at < total; at += int64_t(Block)) {
        const auto n = static_cast<size_t>(std::min<int64_t>(int64_t(Block), total - at));
        long long got = 0;
        if (music) {
            got = music->ReadMono(tune.data(), n);
            if (got < 0) {
                out.Abandon();
                return CueWrite::MusicUnreadable;
            }
        }
        std::fill(tune.begin() + got, tune.begin() + static_cast<long>(n), int16_t(0));
        std::fill(voiceMix.begin(), voiceMix.begin() + static_cast<long>(n), 0);
        for (size_t c = firstLive; c < cues.size() && cues[c].Sample < at + int64_t(n); ++c) {
            const std::vector<int16_t>& clip = ClipOf(cues[c], voice, beep, longBeep);
            const int64_t end = cues[c].Sample + static_cast<int64_t>(clip.size());
            if (end <= at) {
                if (c == firstLive)
                    ++firstLive;
                continue;
            }
            const int64_t from = std::max(at, cues[c].Sample), to = std::min(at + int64_t(n), end);
            for (int64_t i = from; i < to; ++i)
                voiceMix[static_cast<size_t>(i - at)] +=
                    clip[static_cast<size_t>(i - cues[c].Sample)];
        }
        if (channels == 2) {
            for (size_t i = 0; i < n; ++i) {
                frames[2 * i] = tune[i];
                frames[2 * i + 1] = Clamp(voiceMix[i]);
            }
        } else {
            for (size_t i = 0; i < n; ++i)
                frames[i] = Clamp(tune[i] / 2 + voiceMix[i]);
        }
        if (!out.Write(frames.data(), n)) {
            out.Abandon();
            return CueWrite::NotWritten;
        }
    }
    return out.Close() ? CueWrite::Written : CueWrite::NotWritten;
}

JoinResult JoinToPreviousSequence(ChannelTable& table, ShownTimeArray& shownTimes,
                                  ChannelServices& services, char separator,
                                  PlannedStartMap& starts, int manualIndex) {
    const std::vector<SequenceSpan> spans = SequencesOf(table);
    const int s = SequenceOfChannel(spans, manualIndex);
    if (s <= 0 || spans[static_cast<size_t>(s)].First != manualIndex)
        return JoinResult::NoSequenceBefore;
    const std::vector<double> planned = PlannedStarts(spans, starts);
    const SequenceSpan& before = spans[static_cast<size_t>(s - 1)];
    const SequenceSpan& joined = spans[static_cast<size_t>(s)];
    const double offset = planned[static_cast<size_t>(s)] - planned[static_cast<size_t>(s - 1)];
    // The manual channel fired its own delay after its press; from the earlier press it fires
    // offset later. Its new delay behind the previous channel, on the step grid:
    const double ownTime = table.GetChannelTime(manualIndex);
    const double wanted = offset + ownTime - before.Duration;
    if (wanted <= 0 || StepCountOf(wanted) == 0)
        return JoinResult::NotAfterPrevious;
    // Past the limit the rules would put the channel right behind the previous one: the
    // sequence would lose its place instead of keeping it.
    if (wanted >= MaxStepDelay)
        return JoinResult::TooFar;
    const uint32_t steps = StepCountOf(wanted);
    // The whole sequence moves by the same whole number of steps, so the rules keep each of its
    // own delays when they recompute them from the shown times.
    const double shift = before.Duration + steps * TimeStep - ownTime;
    for (int k = joined.First; k <= joined.Last; ++k)
        shownTimes[static_cast<size_t>(k)] = table.GetChannelTime(k) + shift;
    DelayRules rules(table, shownTimes, services, separator);
    rules.ChangeChannelType(manualIndex, Automatic);
    starts.erase(manualIndex + 1);
    return JoinResult::Joined;
}

} // namespace salvo
