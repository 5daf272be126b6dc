#include "sonmill/containers/mp4writer.h"

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

// The numbers every box of 'moov' is written from, worked out once at the end.
struct Layout
{
    std::uint32_t frames = 0;
    std::uint32_t rate = 0;
    std::uint64_t mediaDuration = 0; // in samples: whole frames
    // The movie counts in samples too, so the edit list cuts to the sample. Movie and track
    // length include the skipped lead-in: GStreamer's reader stops early by that much
    // otherwise.
    std::uint64_t movieDuration = 0;
    std::uint64_t primingSamples = 0;
    std::uint64_t validSamples = 0;
    std::uint64_t mdatSize = 0;
    std::uint64_t dataStart = 0; // the first frame's offset
    bool wideOffsets = false; // chunk offsets past 4 GiB
    std::uint32_t chunks = 0;
    std::uint32_t lastChunkFrames = 0;
};

Layout layoutOf(const Mp4Writer::Track &track, std::size_t frameCount, std::uint64_t mdatStart, std::uint64_t mdatEnd,
    std::uint64_t primingSamples, std::uint64_t validSamples)
{
    Layout l;
    l.frames = static_cast<std::uint32_t>(frameCount);
    l.rate = static_cast<std::uint32_t>(track.rate);
    l.mediaDuration = std::uint64_t(l.frames) * track.frameSamples;
    l.movieDuration = primingSamples + validSamples;
    l.primingSamples = primingSamples;
    l.validSamples = validSamples;
    l.mdatSize = mdatEnd - mdatStart;
    l.dataStart = mdatStart + 8;
    l.wideOffsets = mdatEnd > 0xFFFFFFFFu;
    l.chunks = (l.frames + kFramesPerChunk - 1) / kFramesPerChunk;
    l.lastChunkFrames = l.frames - (l.chunks > 0 ? (l.chunks - 1) * kFramesPerChunk : 0);
    return l;
}

void movieHeader(BoxWriter &w, const Layout &l)
{
    w.beginFull("mvhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(l.rate); // the movie's timescale
    w.u32(static_cast<std::uint32_t>(l.movieDuration));
    w.u32(0x00010000); // rate 1.0
    w.u16(0x0100); // volume 1.0
    w.zeros(10);
    matrix(w);
    w.zeros(24);
    w.u32(2); // next track id
    w.end();
}

void trackHeader(BoxWriter &w, const Layout &l)
{
    w.beginFull("tkhd", 0, 7); // enabled, in movie, in preview
    w.u32(0);
    w.u32(0);
    w.u32(1); // track id
    w.u32(0);
    w.u32(static_cast<std::uint32_t>(l.movieDuration));
    w.zeros(8);
    w.u16(0); // layer
    w.u16(0); // alternate group
    w.u16(0x0100); // volume
    w.u16(0);
    matrix(w);
    w.u32(0);
    w.u32(0);
    w.end();
}

void editList(BoxWriter &w, const Layout &l)
{
    w.begin("edts");
    w.beginFull("elst", 0, 0);
    w.u32(1);
    w.u32(static_cast<std::uint32_t>(l.validSamples)); // in the movie's timescale
    w.u32(static_cast<std::uint32_t>(l.primingSamples)); // media time, in the track's timescale
    w.u32(0x00010000);
    w.end();
    w.end();
}

void mediaHeader(BoxWriter &w, const Layout &l)
{
    w.beginFull("mdhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(l.rate);
    w.u32(static_cast<std::uint32_t>(l.mediaDuration));
    w.u16(0x55C4); // language "und"
    w.u16(0);
    w.end();
}

void handler(BoxWriter &w)
{
    w.beginFull("hdlr", 0, 0);
    w.u32(0);
    w.tag("soun");
    w.zeros(12);
    for (char c : std::string_view("SoundHandler"))
        w.u8(static_cast<std::uint8_t>(c));
    w.u8(0);
    w.end();
}

void soundHeaderAndData(BoxWriter &w)
{
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
}

void elementaryStream(BoxWriter &w, const Mp4Writer::Track &track, const Layout &l, std::uint32_t largestFrame)
{
    const std::size_t config = track.decoderConfig.size();
    const std::size_t decoderConfigLength = 13 + 5 + config;
    const std::size_t esLength = 3 + 5 + decoderConfigLength + 5 + 1;
    w.beginFull("esds", 0, 0);
    w.descriptor(0x03, esLength);
    w.u16(1); // ES id
    w.u8(0);
    w.descriptor(0x04, decoderConfigLength);
    w.u8(0x40); // MPEG-4 audio
    w.u8(0x15); // audio stream
    const std::uint32_t bufferSize = std::max<std::uint32_t>(largestFrame, 768u * 2);
    w.u8(bufferSize >> 16);
    w.u16(bufferSize & 0xFFFF);
    const std::uint64_t seconds = std::max<std::uint64_t>(1, l.mediaDuration / l.rate);
    const std::uint64_t average = (l.mdatSize - 8) * 8 / seconds;
    w.u32(static_cast<std::uint32_t>(std::max<std::uint64_t>(average, track.averageBitrate)));
    w.u32(static_cast<std::uint32_t>(std::max<std::uint64_t>(average, track.averageBitrate)));
    w.descriptor(0x05, config);
    w.bytes(track.decoderConfig);
    w.descriptor(0x06, 1);
    w.u8(2); // SL config: MP4 predefined
    w.end();
}

void sampleDescription(BoxWriter &w, const Mp4Writer::Track &track, const Layout &l, std::uint32_t largestFrame)
{
    const bool alac = !track.alacCookie.empty();
    w.beginFull("stsd", 0, 0);
    w.u32(1);
    w.begin(alac ? "alac" : "mp4a");
    w.zeros(6);
    w.u16(1); // data reference index
    w.zeros(8);
    w.u16(static_cast<std::uint32_t>(track.channels));
    w.u16(alac ? static_cast<std::uint32_t>(track.bitsPerSample) : 16);
    w.u16(0);
    w.u16(0);
    w.u32(l.rate > 0xFFFF ? 0 : l.rate << 16);
    if (alac) {
        // The configuration in a full box of its own name; readers find the rate there too.
        w.beginFull("alac", 0, 0);
        w.bytes(track.alacCookie);
        w.end();
    } else {
        elementaryStream(w, track, l, largestFrame);
    }
    w.end(); // mp4a or alac
    w.end(); // stsd
}

void timeToSample(BoxWriter &w, const Mp4Writer::Track &track, const Layout &l)
{
    w.beginFull("stts", 0, 0);
    w.u32(l.frames > 0 ? 1 : 0);
    if (l.frames > 0) {
        w.u32(l.frames);
        w.u32(track.frameSamples);
    }
    w.end();
}

void sampleToChunk(BoxWriter &w, const Layout &l)
{
    w.beginFull("stsc", 0, 0);
    const bool unevenLast = l.chunks > 1 && l.lastChunkFrames != kFramesPerChunk;
    w.u32(l.chunks == 0 ? 0 : (unevenLast ? 2 : 1));
    if (l.chunks > 0) {
        w.u32(1);
        w.u32(l.chunks == 1 ? l.lastChunkFrames : kFramesPerChunk);
        w.u32(1);
        if (unevenLast) {
            w.u32(l.chunks);
            w.u32(l.lastChunkFrames);
            w.u32(1);
        }
    }
    w.end();
}

// The frame sizes are streamed into the file when the box is written: frameSizes must
// outlive the writer.
void sampleSizes(BoxWriter &w, const Layout &l, const std::vector<std::uint16_t> &frameSizes)
{
    w.beginFull("stsz", 0, 0);
    w.u32(0);
    w.u32(l.frames);
    w.hole(4ull * l.frames, [&frameSizes](FileWriter &file) {
        std::uint8_t block[4 * 1024];
        std::size_t used = 0;
        for (std::uint16_t size : frameSizes) {
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
}

// Streamed like sampleSizes, under the same condition.
void chunkOffsets(BoxWriter &w, const Layout &l, const std::vector<std::uint16_t> &frameSizes)
{
    w.beginFull(l.wideOffsets ? "co64" : "stco", 0, 0);
    w.u32(l.chunks);
    w.hole((l.wideOffsets ? 8ull : 4ull) * l.chunks, [l, &frameSizes](FileWriter &file) {
        std::uint64_t offset = l.dataStart;
        for (std::uint32_t chunk = 0; chunk < l.chunks; ++chunk) {
            std::uint8_t entry[8];
            if (l.wideOffsets) {
                putU32(entry, static_cast<std::uint32_t>(offset >> 32));
                putU32(entry + 4, static_cast<std::uint32_t>(offset));
            } else {
                putU32(entry, static_cast<std::uint32_t>(offset));
            }
            file.write(entry, l.wideOffsets ? 8 : 4);
            const std::uint32_t first = chunk * kFramesPerChunk;
            const std::uint32_t last = std::min(l.frames, first + kFramesPerChunk);
            for (std::uint32_t f = first; f < last; ++f)
                offset += frameSizes[f];
        }
    });
    w.end();
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
    closeMediaData(mdatEnd - m_mdatStart);
    const Layout l = layoutOf(m_track, m_frameSizes.size(), m_mdatStart, mdatEnd, primingSamples, validSamples);

    BoxWriter w;
    w.begin("moov");
    movieHeader(w, l);
    w.begin("trak");
    trackHeader(w, l);
    editList(w, l);
    w.begin("mdia");
    mediaHeader(w, l);
    handler(w);
    w.begin("minf");
    soundHeaderAndData(w);
    w.begin("stbl");
    sampleDescription(w, m_track, l, m_largestFrame);
    timeToSample(w, m_track, l);
    sampleToChunk(w, l);
    sampleSizes(w, l, m_frameSizes);
    chunkOffsets(w, l, m_frameSizes);
    w.end(); // stbl
    w.end(); // minf
    w.end(); // mdia
    w.end(); // trak
    w.end(); // moov

    w.write(m_file);
    return m_file.close();
}

void Mp4Writer::closeMediaData(std::uint64_t mdatSize)
{
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
}

} // namespace sonmill
