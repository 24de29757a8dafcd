#include "model/io/Wave.h"

namespace salvo {

namespace {

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xff);
}
void Put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xff);
}
void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}

// What the "fmt " chunk describes, judged once the samples are reached (or the file ends).
WaveRead Judge(int tag, const WaveFormat& format) {
    if (format.Channels < 1 || format.SampleRate < 1 || format.Bits < 1)
        return WaveRead::NotWave; // a header that describes no sound at all
    const bool pcm = (tag == 1 && (format.Bits == 8 || format.Bits == 16 || format.Bits == 24 ||
                                   format.Bits == 32)) ||
                     (tag == 3 && format.Bits == 32);
    if (!pcm)
        return WaveRead::Unsupported;
    if (format.Channels > MaxWaveChannels)
        return WaveRead::TooManyChannels;
    if (format.SampleRate < MinWaveRate || format.SampleRate > MaxWaveRate)
        return WaveRead::UnsupportedRate;
    return WaveRead::Read;
}

} // namespace

bool WaveMemoryInput::ReadAt(int64_t offset, unsigned char* into, size_t size) {
    if (offset < 0 || offset > Size() || size > Bytes.size() - static_cast<size_t>(offset))
        return false;
    std::memcpy(into, Bytes.data() + offset, size);
    return true;
}

bool WaveChunks::ReadHead() {
    unsigned char head[12];
    if (!Input.ReadAt(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    Position = 12;
    return true;
}

bool WaveChunks::Next(WaveChunk& chunk) {
    unsigned char h[8];
    if (!Input.ReadAt(Position, h, 8))
        return false;
    std::memcpy(chunk.Id, h, 4);
    chunk.Length = LittleEndian32(h + 4);
    chunk.Body = Position + 8;
    // Chunks keep an even length: an odd one is followed by a pad byte.
    Position = chunk.Body + chunk.Length + (chunk.Length & 1);
    return true;
}

WaveFormatChunk DecodeFormatChunk(const unsigned char* f, int64_t length) {
    WaveFormatChunk c;
    c.Tag = c.Encoding = LittleEndian16(f);
    if (c.Tag == 0xFFFE && length >= 26)
        c.Encoding = LittleEndian16(f + 24); // the sub-format of an extensible header
    c.Channels = LittleEndian16(f + 2);
    c.SampleRate = static_cast<int>(LittleEndian32(f + 4));
    c.Bits = LittleEndian16(f + 14);
    return c;
}

WaveRead ReadWaveFormat(const std::string& path, WaveFormat& format) {
    format = WaveFormat();
    InputFile file(path);
    if (!file.IsOpen())
        return WaveRead::NotAccessible;
    WaveFileInput input(file);
    const int64_t size = input.Size();
    WaveChunks chunks(input);
    if (!chunks.ReadHead())
        return WaveRead::NotWave;
    bool haveFormat = false;
    int tag = 0;
    // Chunks until the samples: "fmt " says what they are, "data" holds them.
    for (int count = 0; count < 1000; ++count) {
        WaveChunk chunk;
        if (!chunks.Next(chunk)) {
            // A header that ends without its samples, as a recorder stopped at once leaves it.
            const int64_t at = chunks.At();
            if (!haveFormat || at < size - 7)
                return WaveRead::NotWave;
            format.Float = tag == 3;
            const WaveRead judged = Judge(tag, format);
            format.DataOffset = std::min(at, size);
            return judged == WaveRead::Read ? WaveRead::NoSound : judged;
        }
        if (chunk.Is("fmt ")) {
            unsigned char f[40] = {};
            if (chunk.Length < 16 ||
                !input.ReadAt(chunk.Body, f,
                              static_cast<size_t>(std::min<int64_t>(chunk.Length, 40))))
                return WaveRead::NotWave;
            const WaveFormatChunk fmt = DecodeFormatChunk(f, chunk.Length);
            tag = fmt.Encoding;
            format.Channels = fmt.Channels;
            format.SampleRate = fmt.SampleRate;
            format.Bits = fmt.Bits;
            haveFormat = true;
        } else if (chunk.Is("data")) {
            if (!haveFormat)
                return WaveRead::NotWave;
            format.Float = tag == 3;
            const WaveRead judged = Judge(tag, format);
            if (judged != WaveRead::Read)
                return judged;
            format.DataOffset = chunk.Body;
            // A length past the end (a recording cut short, or a streaming header) stops there.
            int64_t bytes =
                std::min<int64_t>(chunk.Length, std::max<int64_t>(0, size - chunk.Body));
            format.DataBytes = bytes / format.BlockAlign() * format.BlockAlign();
            return format.DataBytes > 0 ? WaveRead::Read : WaveRead::NoSound;
        }
    }
    return WaveRead::NotWave;
}

std::string WaveHeader(int channels, int sampleRate, uint32_t dataBytes) {
    std::string out = "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(channels));
    Put32(out, static_cast<uint32_t>(sampleRate));
    Put32(out, static_cast<uint32_t>(sampleRate * channels * 2));
    Put16(out, static_cast<uint16_t>(channels * 2));
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    return out;
}

std::string WaveBytes(const std::vector<int16_t>& samples, int channels, int sampleRate) {
    std::string out = WaveHeader(channels, sampleRate, static_cast<uint32_t>(samples.size() * 2));
    for (int16_t s : samples)
        Put16(out, static_cast<uint16_t>(s));
    return out;
}

bool WavWriter::Open(const std::string& path, int channels, int rate) {
    Channels = channels;
    DataBytes = 0;
    // The sizes are written on closing, once known.
    const std::string head = WaveHeader(channels, rate, 0);
    Failed = !File.Open(path) || !File.Write(head.data(), head.size());
    return !Failed;
}

bool WavWriter::Write(const int16_t* interleaved, size_t frames) {
    if (Failed)
        return false;
    const size_t count = frames * static_cast<size_t>(Channels);
    // Little-endian on every machine we build for: the samples go out as they are.
    Failed = !File.Write(interleaved, count * 2);
    DataBytes += count * 2;
    // A RIFF file cannot describe more than 4 GiB.
    Failed = Failed || DataBytes > 0xFFFFFFFFull - 36;
    return !Failed;
}

bool WavWriter::Close() {
    unsigned char size[4];
    if (!Failed) {
        Put32(size, static_cast<uint32_t>(36 + DataBytes));
        Failed = !File.Patch(4, size, 4);
        Put32(size, static_cast<uint32_t>(DataBytes));
        Failed = Failed || !File.Patch(40, size, 4);
    }
    Failed = Failed || !File.Commit();
    if (Failed)
        File.Abandon();
    return !Failed;
}

void WavWriter::Abandon() {
    File.Abandon();
    Failed = true;
}

} // namespace salvo
