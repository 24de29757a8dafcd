#pragma once
// WAV files: their chunks walked and their "fmt " read, whether the bytes come from a file or
// from memory; samples decoded from PCM 8, 16, 24 or 32 bits or 32-bit float; 16-bit PCM files
// written. What a reader accepts is its own; the layout of the bytes is read here only.

#include "model/io/SafeFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace salvo {

struct WaveFormat {
    int Channels = 0;
    int SampleRate = 0;
    int Bits = 0;
    bool Float = false;
    int64_t DataOffset = 0;
    int64_t DataBytes = 0; // whole frames only
    int BlockAlign() const { return Channels * Bits / 8; }
    double Duration() const {
        return SampleRate > 0 && BlockAlign() > 0 ? double(DataBytes / BlockAlign()) / SampleRate
                                                  : 0;
    }
};

constexpr int MaxWaveChannels = 32;
constexpr int MinWaveRate = 1000, MaxWaveRate = 1000000; // Hz

enum class WaveRead {
    Read,
    NotAccessible, // missing, unreadable, or not a regular file (folder, FIFO, device...)
    NotWave,       // not RIFF/WAVE, or its header is broken
    Unsupported,   // samples other than PCM 8, 16, 24, 32 bits or 32-bit float
    Cancelled,
    Failed,          // a read failed part way through the samples
    NoSound,         // a sound's header with no sample after it
    TooManyChannels, // more than MaxWaveChannels
    UnsupportedRate, // a sample rate outside MinWaveRate..MaxWaveRate
};

// Reads the header of a RIFF/WAVE file: its PCM format and where the samples are.
// NoSound still fills format, with DataBytes 0.
WaveRead ReadWaveFormat(const std::string& path, WaveFormat& format);

// RIFF numbers are little-endian.
inline uint16_t LittleEndian16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t LittleEndian32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Where the bytes of a WAV come from.
class WaveInput {
public:
    virtual ~WaveInput() = default;
    virtual int64_t Size() const = 0;
    // Exactly size bytes from offset, or false.
    virtual bool ReadAt(int64_t offset, unsigned char* into, size_t size) = 0;
};

class WaveFileInput : public WaveInput {
public:
    explicit WaveFileInput(InputFile& file) : File(file), Bytes(file.Size()) {}
    int64_t Size() const override { return Bytes; }
    bool ReadAt(int64_t offset, unsigned char* into, size_t size) override {
        return File.Seek(offset) && File.ReadExactly(into, size);
    }

private:
    InputFile& File;
    int64_t Bytes;
};

class WaveMemoryInput : public WaveInput {
public:
    explicit WaveMemoryInput(std::string_view bytes) : Bytes(bytes) {}
    int64_t Size() const override { return static_cast<int64_t>(Bytes.size()); }
    bool ReadAt(int64_t offset, unsigned char* into, size_t size) override;

private:
    std::string_view Bytes;
};

struct WaveChunk {
    char Id[4] = {};
    int64_t Body = 0;   // where its content starts
    int64_t Length = 0; // as its header says, which may run past the end
    bool Is(const char* id) const { return std::memcmp(Id, id, 4) == 0; }
};

// The chunks of a RIFF/WAVE file, one after the other.
class WaveChunks {
public:
    explicit WaveChunks(WaveInput& input) : Input(input) {}
    // The "RIFF" ... "WAVE" opening; false when the bytes are no WAV.
    bool ReadHead();
    // The next chunk; false, staying where it is, when no whole chunk header follows.
    bool Next(WaveChunk& chunk);
    // Where the next chunk header is looked for.
    int64_t At() const { return Position; }

private:
    WaveInput& Input;
    int64_t Position = 0;
};

// What a "fmt " chunk says, from its first 16 bytes (26 for an extensible header's sub-format).
struct WaveFormatChunk {
    int Tag = 0;      // as written: 1 PCM, 3 float, 0xFFFE extensible...
    int Encoding = 0; // the tag, or the sub-format of an extensible header
    int Channels = 0;
    int SampleRate = 0;
    int Bits = 0;
};
WaveFormatChunk DecodeFormatChunk(const unsigned char* body, int64_t length);

// An integer sample at full 32-bit scale; 8-bit samples are unsigned (offset binary).
template <int Bits> int32_t PcmSample(const unsigned char* p) {
    if constexpr (Bits == 8)
        return int32_t(uint32_t(p[0] ^ 0x80) << 24);
    else if constexpr (Bits == 16)
        return int32_t(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 24);
    else if constexpr (Bits == 24)
        return int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
    else
        return int32_t(LittleEndian32(p));
}
inline int32_t PcmSample(const unsigned char* p, int bits) {
    switch (bits) {
    case 8:
        return PcmSample<8>(p);
    case 16:
        return PcmSample<16>(p);
    case 24:
        return PcmSample<24>(p);
    default:
        return PcmSample<32>(p);
    }
}
// A float sample within -1..1: float samples may run past full scale, and NaN is silence.
inline float FloatSample(const unsigned char* p) {
    float v;
    std::memcpy(&v, p, 4);
    if (!(v == v))
        v = 0;
    return std::min(1.0f, std::max(-1.0f, v));
}
// A sample as 16 bits: the top 16 of an integer one, a float one scaled and rounded.
inline int Sample16(const unsigned char* p, int bits, bool isFloat) {
    if (isFloat)
        return static_cast<int>(std::lround(FloatSample(p) * 32767));
    return int16_t(uint16_t(uint32_t(PcmSample(p, bits)) >> 16));
}

// The 44-byte header of a PCM 16-bit WAV file holding dataBytes of samples.
std::string WaveHeader(int channels, int sampleRate, uint32_t dataBytes);
// A PCM 16-bit WAV file's bytes (for tests and benchmarks): channels interleaved.
std::string WaveBytes(const std::vector<int16_t>& samples, int channels, int sampleRate);

// A 16-bit PCM WAV written as it goes; the sizes in the header are filled in by Close.
class WavWriter {
public:
    // A file that exists is replaced only by Close, once the new one is complete.
    bool Open(const std::string& path, int channels, int rate);
    bool Write(const int16_t* interleaved, size_t frames);
    bool Close();
    // After a failure: nothing of the new file is left.
    void Abandon();

private:
    CarefulFile File;
    int Channels = 0;
    uint64_t DataBytes = 0;
    bool Failed = true;
};

} // namespace salvo
