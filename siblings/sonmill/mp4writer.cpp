#include "sonmill/mp4writer.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace sonmill {
namespace {

constexpr std::uint32_t kFramesPerChunk = 64;

// Builds boxes in memory: each begin() is closed by an end() that fills in its size. The
// long tables are not built: a hole of known length stands for them, and write() streams
// them into the file in their place, so writing 'moov' needs no memory per frame.
class BoxWriter
{
public:
    using Filler = std::function<void(FileWriter &)>;

    void u8(std::uint32_t v) { m_data.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v)
    {
        u8(v >> 8);
        u8(v);
    }
    void u32(std::uint32_t v)
    {
        u16(v >> 16);
        u16(v);
    }
    void u64(std::uint64_t v)
    {
        u32(static_cast<std::uint32_t>(v >> 32));
        u32(static_cast<std::uint32_t>(v));
    }
    void tag(const char *fourcc)
    {
        for (int i = 0; i < 4; ++i)
            m_data.push_back(static_cast<std::uint8_t>(fourcc[i]));
    }
    void bytes(const std::vector<std::uint8_t> &v) { m_data.insert(m_data.end(), v.begin(), v.end()); }
    void zeros(std::size_t n) { m_data.insert(m_data.end(), n, 0); }
    void hole(std::uint64_t length, Filler filler)
    {
        m_holes.push_back({ m_data.size(), std::move(filler) });
        m_holeBytes += length;
    }

    void begin(const char *fourcc)
    {
        m_open.push_back({ m_data.size(), virtualSize() });
        u32(0);
        tag(fourcc);
    }
    void beginFull(const char *fourcc, std::uint32_t version, std::uint32_t flags)
    {
        begin(fourcc);
        u32((version << 24) | flags);
    }
    void end()
    {
        const Open box = m_open.back();
        m_open.pop_back();
        const auto size = static_cast<std::uint32_t>(virtualSize() - box.virtualStart);
        for (int i = 0; i < 4; ++i)
            m_data[box.index + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    }

    // An MPEG-4 descriptor: tag, then its length in the 4-byte form.
    void descriptor(std::uint8_t descriptorTag, std::size_t length)
    {
        u8(descriptorTag);
        for (int shift = 21; shift > 0; shift -= 7)
            u8(static_cast<std::uint32_t>(((length >> shift) & 0x7F) | 0x80));
        u8(static_cast<std::uint32_t>(length & 0x7F));
    }

    void write(FileWriter &file) const
    {
        std::size_t done = 0;
        for (const Hole &h : m_holes) {
            file.write(m_data.data() + done, h.index - done);
            h.filler(file);
            done = h.index;
        }
        file.write(m_data.data() + done, m_data.size() - done);
    }

    const std::vector<std::uint8_t> &data() const { return m_data; }

private:
    struct Open
    {
        std::size_t index;
        std::uint64_t virtualStart;
    };
    struct Hole
    {
        std::size_t index;
        Filler filler;
    };
    std::uint64_t virtualSize() const { return m_data.size() + m_holeBytes; }

    std::vector<std::uint8_t> m_data;
    std::vector<Open> m_open;
    std::vector<Hole> m_holes;
    std::uint64_t m_holeBytes = 0;
};

void putU32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void matrix(BoxWriter &w)
{
    const std::uint32_t unity[9] = { 0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000 };
    for (std::uint32_t v : unity)
        w.u32(v);
}

} // namespace

bool Mp4Writer::open(const std::string &path, const Track &track)
{
    m_track = track;
    m_frameSizes.reserve(track.expectedFrames + 16);
    if (!m_file.open(path))
        return false;
    BoxWriter w;
    w.begin("ftyp");
    w.tag("M4A ");
    w.u32(0);
    for (const char *brand : { "M4A ", "mp42", "isom" })
        w.tag(brand);
    w.end();
    // A 'free' box in front of 'mdat' becomes the 64-bit size field should the audio pass 4 GiB.
    w.u32(8);
    w.tag("free");
    m_mdatStart = w.data().size();
    w.u32(0);
    w.tag("mdat");
    m_file.write(w.data().data(), w.data().size());
    return true;
}

bool Mp4Writer::addFrame(const std::uint8_t *data, std::size_t size)
{
    m_frameSizes.push_back(static_cast<std::uint16_t>(size));
    m_largestFrame = std::max(m_largestFrame, static_cast<std::uint32_t>(size));
    return m_file.write(data, size);
}

bool Mp4Writer::finish(std::uint64_t primingSamples, std::uint64_t validSamples)
{
    const std::uint64_t mdatEnd = m_file.size();
    const std::uint64_t mdatSize = mdatEnd - m_mdatStart;
    if (mdatSize <= 0xFFFFFFFFu) {
        const std::uint8_t header[4]
            = { static_cast<std::uint8_t>(mdatSize >> 24), static_cast<std::uint8_t>(mdatSize >> 16),
                  static_cast<std::uint8_t>(mdatSize >> 8), static_cast<std::uint8_t>(mdatSize) };
        m_file.writeAt(m_mdatStart, header, 4);
    } else {
        // Take the 'free' box's 8 bytes: size 1, 'mdat', then the 64-bit size.
        const std::uint64_t large = mdatSize + 8;
        std::uint8_t header[16] = { 0, 0, 0, 1, 'm', 'd', 'a', 't' };
        for (int i = 0; i < 8; ++i)
            header[8 + i] = static_cast<std::uint8_t>(large >> (56 - 8 * i));
        m_file.writeAt(m_mdatStart - 8, header, 16);
    }

    const auto frames = static_cast<std::uint32_t>(m_frameSizes.size());
    const std::uint64_t mediaDuration = std::uint64_t(frames) * m_track.frameSamples;
    const auto rate = static_cast<std::uint32_t>(m_track.rate);
    // The movie counts in samples too, so the edit list cuts to the sample. Movie and
    // track length include the skipped lead-in: GStreamer's reader stops early by that
    // much otherwise.
    const std::uint32_t movieTimescale = rate;
    const std::uint64_t movieDuration = primingSamples + validSamples;
    const std::uint64_t dataStart = m_mdatStart + 8;
    const bool wideOffsets = mdatEnd > 0xFFFFFFFFu;

    BoxWriter w;
    w.begin("moov");
    w.beginFull("mvhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(movieTimescale);
    w.u32(static_cast<std::uint32_t>(movieDuration));
    w.u32(0x00010000); // rate 1.0
    w.u16(0x0100); // volume 1.0
    w.zeros(10);
    matrix(w);
    w.zeros(24);
    w.u32(2); // next track id
    w.end();

    w.begin("trak");
    w.beginFull("tkhd", 0, 7); // enabled, in movie, in preview
    w.u32(0);
    w.u32(0);
    w.u32(1); // track id
    w.u32(0);
    w.u32(static_cast<std::uint32_t>(movieDuration));
    w.zeros(8);
    w.u16(0); // layer
    w.u16(0); // alternate group
    w.u16(0x0100); // volume
    w.u16(0);
    matrix(w);
    w.u32(0);
    w.u32(0);
    w.end();

    w.begin("edts");
    w.beginFull("elst", 0, 0);
    w.u32(1);
    w.u32(static_cast<std::uint32_t>(validSamples)); // in the movie's timescale
    w.u32(static_cast<std::uint32_t>(primingSamples)); // media time, in the track's timescale
    w.u32(0x00010000);
    w.end();
    w.end();

    w.begin("mdia");
    w.beginFull("mdhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(rate);
    w.u32(static_cast<std::uint32_t>(mediaDuration));
    w.u16(0x55C4); // language "und"
    w.u16(0);
    w.end();
    w.beginFull("hdlr", 0, 0);
    w.u32(0);
    w.tag("soun");
    w.zeros(12);
    for (char c : std::string_view("SoundHandler"))
        w.u8(static_cast<std::uint8_t>(c));
    w.u8(0);
    w.end();

    w.begin("minf");
    w.beginFull("smhd", 0, 0);
    w.u32(0);
    w.end();
    w.begin("dinf");
    w.beginFull("dref", 0, 0);
    w.u32(1);
    w.beginFull("url ", 0, 1); // the data is in this file
    w.end();
    w.end();
    w.end();

    w.begin("stbl");
    w.beginFull("stsd", 0, 0);
    w.u32(1);
    w.begin("mp4a");
    w.zeros(6);
    w.u16(1); // data reference index
    w.zeros(8);
    w.u16(static_cast<std::uint32_t>(m_track.channels));
    w.u16(16);
    w.u16(0);
    w.u16(0);
    w.u32(rate > 0xFFFF ? 0 : rate << 16);

    const std::size_t config = m_track.decoderConfig.size();
    const std::size_t decoderConfigLength = 13 + 5 + config;
    const std::size_t esLength = 3 + 5 + decoderConfigLength + 5 + 1;
    w.beginFull("esds", 0, 0);
    w.descriptor(0x03, esLength);
    w.u16(1); // ES id
    w.u8(0);
    w.descriptor(0x04, decoderConfigLength);
    w.u8(0x40); // MPEG-4 audio
    w.u8(0x15); // audio stream
    const std::uint32_t bufferSize = std::max<std::uint32_t>(m_largestFrame, 768u * 2);
    w.u8(bufferSize >> 16);
    w.u16(bufferSize & 0xFFFF);
    const std::uint64_t seconds = std::max<std::uint64_t>(1, mediaDuration / rate);
    const std::uint64_t average = (mdatSize - 8) * 8 / seconds;
    w.u32(static_cast<std::uint32_t>(std::max<std::uint64_t>(average, m_track.averageBitrate)));
    w.u32(static_cast<std::uint32_t>(std::max<std::uint64_t>(average, m_track.averageBitrate)));
    w.descriptor(0x05, config);
    w.bytes(m_track.decoderConfig);
    w.descriptor(0x06, 1);
    w.u8(2); // SL config: MP4 predefined
    w.end(); // esds
    w.end(); // mp4a
    w.end(); // stsd

    w.beginFull("stts", 0, 0);
    w.u32(frames > 0 ? 1 : 0);
    if (frames > 0) {
        w.u32(frames);
        w.u32(m_track.frameSamples);
    }
    w.end();

    const std::uint32_t chunks = (frames + kFramesPerChunk - 1) / kFramesPerChunk;
    const std::uint32_t lastChunkFrames = frames - (chunks > 0 ? (chunks - 1) * kFramesPerChunk : 0);
    w.beginFull("stsc", 0, 0);
    const bool unevenLast = chunks > 1 && lastChunkFrames != kFramesPerChunk;
    w.u32(chunks == 0 ? 0 : (unevenLast ? 2 : 1));
    if (chunks > 0) {
        w.u32(1);
        w.u32(chunks == 1 ? lastChunkFrames : kFramesPerChunk);
        w.u32(1);
        if (unevenLast) {
            w.u32(chunks);
            w.u32(lastChunkFrames);
            w.u32(1);
        }
    }
    w.end();

    w.beginFull("stsz", 0, 0);
    w.u32(0);
    w.u32(frames);
    w.hole(4ull * frames, [this](FileWriter &file) {
        std::uint8_t block[4 * 1024];
        std::size_t used = 0;
        for (std::uint16_t size : m_frameSizes) {
            putU32(block + used, size);
            used += 4;
            if (used == sizeof block) {
                file.write(block, used);
                used = 0;
            }
        }
        file.write(block, used);
    });
    w.end();

    w.beginFull(wideOffsets ? "co64" : "stco", 0, 0);
    w.u32(chunks);
    w.hole((wideOffsets ? 8ull : 4ull) * chunks, [this, chunks, frames, dataStart, wideOffsets](FileWriter &file) {
        std::uint64_t offset = dataStart;
        for (std::uint32_t chunk = 0; chunk < chunks; ++chunk) {
            std::uint8_t entry[8];
            if (wideOffsets) {
                putU32(entry, static_cast<std::uint32_t>(offset >> 32));
                putU32(entry + 4, static_cast<std::uint32_t>(offset));
            } else {
                putU32(entry, static_cast<std::uint32_t>(offset));
            }
            file.write(entry, wideOffsets ? 8 : 4);
            const std::uint32_t first = chunk * kFramesPerChunk;
            const std::uint32_t last = std::min(frames, first + kFramesPerChunk);
            for (std::uint32_t f = first; f < last; ++f)
                offset += m_frameSizes[f];
        }
    });
    w.end();

    w.end(); // stbl
    w.end(); // minf
    w.end(); // mdia
    w.end(); // trak
    w.end(); // moov

    w.write(m_file);
    return m_file.close();
}

} // namespace sonmill
