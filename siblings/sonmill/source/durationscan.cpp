#include "sonmill/source/durationscan.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace sonmill {
namespace {

constexpr std::size_t kBlock = 64 * 1024;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A forward-only reader over the file with a small window.
class Reader
{
public:
    explicit Reader(std::FILE *file)
        : m_file(file)
        , m_buffer(kBlock)
    { }

    // Makes at least count bytes from offset available; false at the end of the file.
    bool ensure(std::uint64_t offset, std::size_t count)
    {
        if (offset >= m_start && offset + count <= m_start + m_length)
            return true;
        if (offset < m_start || offset > m_start + m_length) {
            if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0)
                return false;
            m_start = offset;
            m_length = 0;
        } else {
            const std::size_t keep = static_cast<std::size_t>(m_start + m_length - offset);
            std::memmove(m_buffer.data(), m_buffer.data() + (offset - m_start), keep);
            m_start = offset;
            m_length = keep;
        }
        m_length += std::fread(m_buffer.data() + m_length, 1, m_buffer.size() - m_length, m_file);
        return offset + count <= m_start + m_length;
    }

    const unsigned char *at(std::uint64_t offset) const { return m_buffer.data() + (offset - m_start); }

private:
    std::FILE *m_file;
    std::vector<unsigned char> m_buffer;
    std::uint64_t m_start = 0;
    std::size_t m_length = 0;
};

struct Frame
{
    std::uint32_t length = 0;
    std::uint32_t samples = 0;
    std::uint32_t rate = 0;
};

// MPEG-1, -2 and -2.5 audio, layers I to III. Free-format frames cannot be walked.
std::optional<Frame> mpegFrame(const unsigned char *h)
{
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (h[1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = (h[1] >> 1) & 3; // 1: III, 2: II, 3: I
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    const int padding = (h[2] >> 1) & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;

    static constexpr int kBitrates[2][3][16] = {
        { // MPEG-1: layer I, II, III
            { 0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0 },
            { 0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0 },
            { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0 } },
        { // MPEG-2 and 2.5
            { 0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0 },
            { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0 },
            { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0 } },
    };
    static constexpr int kRates[3] = { 44100, 48000, 32000 };

    const bool mpeg1 = version == 3;
    const int layerIndex = 3 - layer; // 0: I, 1: II, 2: III
    const int kbps = kBitrates[mpeg1 ? 0 : 1][layerIndex][bitrateIndex];
    int rate = kRates[rateIndex];
    if (version == 2)
        rate /= 2;
    else if (version == 0)
        rate /= 4;

    Frame frame;
    frame.rate = static_cast<std::uint32_t>(rate);
    if (layerIndex == 0) {
        frame.samples = 384;
        frame.length = static_cast<std::uint32_t>((12 * kbps * 1000 / rate + padding) * 4);
    } else {
        frame.samples = (layerIndex == 2 && !mpeg1) ? 576 : 1152;
        const int factor = (layerIndex == 2 && !mpeg1) ? 72 : 144;
        frame.length = static_cast<std::uint32_t>(factor * kbps * 1000 / rate + padding);
    }
    return frame;
}

// The shortest and the longest frame a stream of this first frame's version, layer and
// sample rate can have (the lowest bit rate without padding, the highest with it).
struct FrameLengths
{
    std::uint32_t shortest;
    std::uint32_t longest;
};
FrameLengths mpegFrameLengths(const unsigned char *h)
{
    unsigned char lowest[4] = { h[0], h[1], static_cast<unsigned char>((1 << 4) | (h[2] & 0x0C)), h[3] };
    unsigned char highest[4] = { h[0], h[1], static_cast<unsigned char>((14 << 4) | (h[2] & 0x0C) | 2), h[3] };
    const auto shortest = mpegFrame(lowest);
    const auto longest = mpegFrame(highest);
    return { shortest ? shortest->length : 0, longest ? longest->length : 0 };
}

std::optional<Frame> adtsFrame(const unsigned char *h)
{
    if (h[0] != 0xFF || (h[1] & 0xF6) != 0xF0)
        return std::nullopt;
    static constexpr int kRates[13]
        = { 96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350 };
    const int rateIndex = (h[2] >> 2) & 0xF;
    if (rateIndex >= 13)
        return std::nullopt;
    const std::uint32_t length = ((h[3] & 3u) << 11) | (static_cast<std::uint32_t>(h[4]) << 3) | (h[5] >> 5);
    if (length < 7)
        return std::nullopt;
    Frame frame;
    frame.rate = static_cast<std::uint32_t>(kRates[rateIndex]);
    frame.samples = 1024u * ((h[6] & 3u) + 1);
    frame.length = length;
    return frame;
}

// AC-3 (A/52): 1536 samples a frame, its length from the rate and frmsizecod tables.
std::optional<Frame> ac3Frame(const unsigned char *h)
{
    if (h[0] != 0x0B || h[1] != 0x77)
        return std::nullopt;
    const int fscod = h[4] >> 6;
    const int frmsizecod = h[4] & 0x3F;
    const int bsid = h[5] >> 3;
    // bsid above 10 is Enhanced AC-3, whose frames are laid out otherwise.
    if (fscod == 3 || frmsizecod >= 38 || bsid > 10)
        return std::nullopt;
    static constexpr int kBitRates[19]
        = { 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640 };
    static constexpr int kRates[3] = { 48000, 44100, 32000 };
    const int kbps = kBitRates[frmsizecod / 2];
    // 16-bit words a frame: at 44.1 kHz the rate does not divide evenly, and an odd code
    // adds the padding word.
    const int words = fscod == 0 ? 2 * kbps : fscod == 2 ? 3 * kbps : kbps * 320 / 147 + (frmsizecod & 1);
    Frame frame;
    frame.rate = static_cast<std::uint32_t>(kRates[fscod]);
    frame.samples = 1536;
    frame.length = static_cast<std::uint32_t>(2 * words);
    return frame;
}

// Size of an ID3v2 tag at the start, 0 when there is none.
std::uint64_t id3v2Size(Reader &reader)
{
    if (!reader.ensure(0, 10))
        return 0;
    const unsigned char *h = reader.at(0);
    if (std::memcmp(h, "ID3", 3) != 0)
        return 0;
    const std::uint64_t size = (std::uint64_t(h[6] & 0x7F) << 21) | (std::uint64_t(h[7] & 0x7F) << 14)
        | (std::uint64_t(h[8] & 0x7F) << 7) | std::uint64_t(h[9] & 0x7F);
    const bool footer = h[5] & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

std::uint32_t bigEndian32(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

struct StreamHeader
{
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0; // 0 when the header does not say
    std::uint32_t trimmed = 0; // encoder delay and padding that decoders leave out
};

// A Xing/Info or VBRI header in the first frame, if it has one with a frame count.
std::optional<StreamHeader> streamHeader(Reader &reader, std::uint64_t offset, const Frame &frame)
{
    if (!reader.ensure(offset, frame.length) || frame.length < 40)
        return std::nullopt;
    const unsigned char *h = reader.at(offset);
    const bool mpeg1 = ((h[1] >> 3) & 3) == 3;
    const bool mono = (h[3] >> 6) == 3;
    const std::size_t xing = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (xing + 16 <= frame.length && (std::memcmp(h + xing, "Xing", 4) == 0 || std::memcmp(h + xing, "Info", 4) == 0)) {
        const std::uint32_t flags = bigEndian32(h + xing + 4);
        if (!(flags & 1))
            return std::nullopt;
        StreamHeader header;
        header.frames = bigEndian32(h + xing + 8);
        if (flags & 2)
            header.bytes = bigEndian32(h + xing + 12);
        // LAME's extension names the samples it added at both ends, which decoders drop.
        constexpr std::size_t kLame = 120;
        if (xing + kLame + 24 <= frame.length && std::memcmp(h + xing + kLame, "LAME", 4) == 0) {
            const unsigned char *d = h + xing + kLame + 21;
            header.trimmed = ((std::uint32_t(d[0]) << 4) | (d[1] >> 4)) + (((d[1] & 0xFu) << 8) | d[2]);
        }
        return header;
    }
    constexpr std::size_t kVbri = 4 + 32;
    if (kVbri + 18 <= frame.length && std::memcmp(h + kVbri, "VBRI", 4) == 0)
        return StreamHeader { bigEndian32(h + kVbri + 14), bigEndian32(h + kVbri + 10) };
    return std::nullopt;
}

// A damaged or hand-edited header can state any count (2^32 - 1 frames makes a short file
// last a day). The bytes the frames take (the header's own figure, else the rest of the
// file) divided by the count must lie between the shortest and the longest frame the
// stream can have. The rest of the file may also hold tags after the audio: room for them.
bool plausibleCount(const StreamHeader &header, std::uint64_t bytesLeft, FrameLengths lengths)
{
    if (header.frames == 0 || lengths.shortest == 0)
        return false;
    constexpr std::uint64_t kTrailingTags = 128 * 1024;
    const std::uint64_t bytes = header.bytes ? header.bytes : bytesLeft;
    const std::uint64_t room = header.bytes ? 0 : kTrailingTags;
    return std::uint64_t(header.frames) * lengths.shortest <= bytes + lengths.longest
        && bytes <= (std::uint64_t(header.frames) + 1) * lengths.longest + room;
}

// wholeFramesOnly: a decoder that needs a frame whole (AC-3's, whose check word ends it)
// drops one cut off by the end of the file.
template <typename ParseFrame>
std::optional<std::int64_t> walkFrames(Reader &reader, std::uint64_t offset, std::uint64_t fileSize, ParseFrame parse,
    bool useXing, bool wholeFramesOnly = false)
{
    constexpr std::size_t kHeader = 7;
    // While in step, a header right where the last frame ended counts. To get in step, a
    // header counts only when the next frame also starts right after it (or the file ends
    // there): stray sync bytes in a tag or in garbage do not.
    auto validAt = [&](std::uint64_t at, bool inStep, std::uint32_t stepRate) -> std::optional<Frame> {
        if (!reader.ensure(at, kHeader))
            return std::nullopt;
        const auto frame = parse(reader.at(at));
        if (!frame)
            return std::nullopt;
        if (inStep && frame->rate == stepRate)
            return frame;
        const std::uint64_t next = at + frame->length;
        if (!reader.ensure(next, kHeader))
            return frame; // the last frame of the file
        const auto following = parse(reader.at(next));
        if (!following || following->rate != frame->rate)
            return std::nullopt;
        return frame;
    };

    std::uint64_t samples = 0;
    std::uint32_t rate = 0;
    bool first = true;
    std::uint64_t skipped = 0;
    bool inStep = false;
    constexpr std::uint64_t kMaxSkip = 1 << 20; // this much garbage and it is not a stream
    while (true) {
        if (!reader.ensure(offset, kHeader))
            break;
        auto frame = validAt(offset, inStep, rate);
        if (!frame) {
            inStep = false;
            ++offset;
            if (++skipped > kMaxSkip && rate == 0)
                return std::nullopt;
            continue;
        }
        if (first && useXing) {
            // Trusted unless the file is shorter than the header says (cut off), or its count
            // cannot be (see plausibleCount): then walk.
            const auto header = streamHeader(reader, offset, *frame);
            if (header && (header->bytes == 0 || fileSize - offset + frame->length >= header->bytes)
                && plausibleCount(*header, fileSize - offset, mpegFrameLengths(reader.at(offset)))) {
                const std::uint64_t stated = std::uint64_t(header->frames) * frame->samples;
                return static_cast<std::int64_t>(
                    (stated > header->trimmed ? stated - header->trimmed : stated) * kNsPerSecond / frame->rate);
            }
        }
        first = false;
        inStep = true;
        rate = frame->rate;
        // A frame cut off by the end of the file is still decoded in part (unless the
        // decoder takes whole frames only); count it whole.
        if (!wholeFramesOnly || offset + frame->length <= fileSize)
            samples += frame->samples;
        offset += frame->length;
    }
    if (rate == 0)
        return std::nullopt;
    return static_cast<std::int64_t>(samples * kNsPerSecond / rate);
}

std::uint8_t crc8(const unsigned char *data, std::size_t length)
{
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

// Samples a FLAC frame header at p (with available bytes after it) covers: first and
// count. Only headers whose checksum matches count.
std::optional<std::pair<std::uint64_t, std::uint32_t>> flacFrame(
    const unsigned char *p, std::size_t available, std::uint32_t fixedBlockSize)
{
    if (available < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || (p[3] & 1))
        return std::nullopt;
    const bool variable = p[1] & 1;
    const int sizeCode = p[2] >> 4;
    const int rateCode = p[2] & 0xF;
    if (sizeCode == 0 || rateCode == 15)
        return std::nullopt;
    // The frame or sample number, in the UTF-8 style coding.
    std::size_t at = 4;
    int extra = 0;
    std::uint64_t number = p[at];
    if (number >= 0xFE)
        return std::nullopt;
    for (int bits = 0x80; number & bits && bits > 1; bits >>= 1)
        ++extra;
    if (extra == 1)
        return std::nullopt;
    if (extra > 1)
        number &= (0xFFu >> (extra + 1));
    for (int i = 1; i < extra; ++i) {
        if (at + 1 >= available || (p[at + 1] & 0xC0) != 0x80)
            return std::nullopt;
        number = (number << 6) | (p[++at] & 0x3F);
    }
    ++at;
    std::uint32_t blockSize = 0;
    if (sizeCode == 1)
        blockSize = 192;
    else if (sizeCode <= 5)
        blockSize = 576u << (sizeCode - 2);
    else if (sizeCode == 6 && at < available)
        blockSize = p[at++] + 1u;
    else if (sizeCode == 7 && at + 1 < available) {
        blockSize = ((std::uint32_t(p[at]) << 8) | p[at + 1]) + 1u;
        at += 2;
    } else if (sizeCode >= 8)
        blockSize = 256u << (sizeCode - 8);
    if (rateCode == 12)
        at += 1;
    else if (rateCode == 13 || rateCode == 14)
        at += 2;
    if (blockSize == 0 || at >= available || crc8(p, at) != p[at])
        return std::nullopt;
    const std::uint64_t first = variable ? number : number * fixedBlockSize;
    return std::make_pair(first, blockSize);
}

} // namespace

std::optional<std::int64_t> scanFlacDuration(const std::string &path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    unsigned char head[42];
    if (std::fread(head, 1, sizeof head, file.get()) != sizeof head || std::memcmp(head, "fLaC", 4) != 0
        || (head[4] & 0x7F) != 0)
        return std::nullopt;
    const unsigned char *info = head + 8; // STREAMINFO's body
    const std::uint32_t minBlock = (std::uint32_t(info[0]) << 8) | info[1];
    const std::uint32_t maxBlock = (std::uint32_t(info[2]) << 8) | info[3];
    const std::uint32_t rate = (std::uint32_t(info[10]) << 12) | (std::uint32_t(info[11]) << 4) | (info[12] >> 4);
    const std::uint64_t total = (std::uint64_t(info[13] & 0xF) << 32) | bigEndian32(info + 14);
    if (rate == 0)
        return std::nullopt;

    // The last frame header in the file's tail says where the audio really ends.
    std::fseek(file.get(), 0, SEEK_END);
    const long size = std::ftell(file.get());
    const long tail = std::min<long>(size, 256 * 1024);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(tail));
    std::fseek(file.get(), size - tail, SEEK_SET);
    if (std::fread(buffer.data(), 1, buffer.size(), file.get()) != buffer.size())
        return std::nullopt;
    std::optional<std::uint64_t> end;
    for (std::size_t i = buffer.size() - 1; i-- > 0;) {
        if (const auto frame = flacFrame(buffer.data() + i, buffer.size() - i, minBlock == maxBlock ? minBlock : 0)) {
            end = frame->first + frame->second;
            break;
        }
    }
    std::uint64_t samples = total;
    if (end && (total == 0 || *end + maxBlock < total))
        samples = *end; // cut off: the header still counts what was there before
    if (samples == 0)
        return std::nullopt;
    return static_cast<std::int64_t>(samples * kNsPerSecond / rate);
}

std::optional<std::int64_t> scanElementaryDuration(const std::string &path, ElementaryStream kind)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    std::fseek(file.get(), 0, SEEK_END);
    const auto fileSize = static_cast<std::uint64_t>(std::ftell(file.get()));
    std::rewind(file.get());
    Reader reader(file.get());
    const std::uint64_t start = id3v2Size(reader);
    switch (kind) {
    case ElementaryStream::MpegAudio:
        return walkFrames(reader, start, fileSize, mpegFrame, true);
    case ElementaryStream::Adts:
        return walkFrames(reader, start, fileSize, adtsFrame, false);
    case ElementaryStream::Ac3:
        return walkFrames(reader, start, fileSize, ac3Frame, false, true);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> scanMp3Trim(const std::string &path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    Reader reader(file.get());
    const std::uint64_t start = id3v2Size(reader);
    if (!reader.ensure(start, 4))
        return std::nullopt;
    const auto frame = mpegFrame(reader.at(start));
    if (!frame)
        return std::nullopt;
    const auto header = streamHeader(reader, start, *frame);
    if (!header || header->trimmed == 0)
        return std::nullopt;
    return header->trimmed;
}

} // namespace sonmill
