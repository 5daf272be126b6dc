#include "mp4movie.h"
#include "media/alac/alacformat.h"

#include <cstring>

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.
// Every size and count read from the file is checked against the box that holds it, and
// that box against the file, before anything relies on it.

namespace {

constexpr guint kMaxTopLevelBoxes = 10000;
constexpr guint kMaxChildren = 4096;
constexpr guint kMaxSmallBox = 64 * 1024; // stsd and the like, read whole

constexpr guint32 fourcc(const char (&name)[5])
{
    return (guint32(guint8(name[0])) << 24) | (guint32(guint8(name[1])) << 16) | (guint32(guint8(name[2])) << 8)
        | guint32(guint8(name[3]));
}

guint16 be16(const guint8 *p)
{
    return guint16((p[0] << 8) | p[1]);
}

guint32 be32(const guint8 *p)
{
    return (guint32(p[0]) << 24) | (guint32(p[1]) << 16) | (guint32(p[2]) << 8) | p[3];
}

guint64 be64(const guint8 *p)
{
    return (guint64(be32(p)) << 32) | be32(p + 4);
}

struct Box
{
    guint32 type;
    guint64 payload; // first byte after the header
    guint64 end; // one past the last byte
};

enum class Header { Ok, End, Bad, ReadFailed };

// The box whose header starts at offset, which must end by limit (past it only where
// allowed: a cut-off 'mdat' at the end of a truncated file).
Header readHeader(Mp4Input *input, guint64 offset, guint64 limit, Box *box, gboolean mayPassLimit = FALSE)
{
    if (offset + 8 > limit)
        return Header::End; // a few bytes of slack are no box
    guint8 header[16];
    if (!mp4Read(input, offset, 8, header))
        return Header::ReadFailed;
    guint64 size = be32(header);
    guint64 headerSize = 8;
    box->type = be32(header + 4);
    if (size == 1) {
        if (offset + 16 > limit)
            return Header::Bad;
        if (!mp4Read(input, offset + 8, 8, header + 8))
            return Header::ReadFailed;
        size = be64(header + 8);
        headerSize = 16;
    } else if (size == 0) {
        size = limit - offset; // runs to the end of what holds it
    }
    if (size < headerSize || size > G_MAXUINT64 - offset)
        return Header::Bad;
    box->payload = offset + headerSize;
    box->end = offset + size;
    if (box->end > limit && !mayPassLimit)
        return Header::Bad;
    return Header::Ok;
}

// Calls visit(box) for each child box in [from, to); visit returns Ok to go on.
template <typename Visit> Mp4Verdict eachChild(Mp4Input *input, guint64 from, guint64 to, Visit visit)
{
    guint64 offset = from;
    for (guint n = 0; n < kMaxChildren; ++n) {
        Box box;
        switch (readHeader(input, offset, to, &box)) {
        case Header::End:
            return Mp4Verdict::Ok;
        case Header::Bad:
            return Mp4Verdict::Refused;
        case Header::ReadFailed:
            return Mp4Verdict::ReadFailed;
        case Header::Ok:
            break;
        }
        const Mp4Verdict verdict = visit(box);
        if (verdict != Mp4Verdict::Ok)
            return verdict;
        offset = box.end;
    }
    return Mp4Verdict::Refused;
}

// The first bytes of a box's payload; FALSE if the box is shorter.
Mp4Verdict readPayload(Mp4Input *input, const Box &box, guint size, guint8 *destination)
{
    if (box.end - box.payload < size)
        return Mp4Verdict::Refused;
    return mp4Read(input, box.payload, size, destination) ? Mp4Verdict::Ok : Mp4Verdict::ReadFailed;
}

// A table box: version and flags, [a constant size,] the entry count, then the entries,
// which must all lie within the box.
Mp4Verdict readTable(Mp4Input *input, const Box &box, guint32 entrySize, gboolean hasConstantSize, Mp4Table *table,
    guint32 *constantSize = nullptr)
{
    guint8 head[12];
    const guint headSize = hasConstantSize ? 12 : 8;
    const Mp4Verdict verdict = readPayload(input, box, headSize, head);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    guint32 count = be32(head + headSize - 4);
    if (hasConstantSize)
        *constantSize = be32(head + 4);
    table->offset = box.payload + headSize;
    table->count = count;
    table->entrySize = entrySize;
    if (hasConstantSize && *constantSize != 0)
        return Mp4Verdict::Ok; // no entries follow; the count is the number of samples
    if (guint64(count) * entrySize > box.end - table->offset)
        return Mp4Verdict::Refused;
    return Mp4Verdict::Ok;
}

// Reads bits from a byte string, most significant first; zeros past its end.
struct BitReader
{
    const guint8 *data;
    guint size;
    guint position;
    gboolean overrun;

    guint32 bits(guint count)
    {
        guint32 value = 0;
        for (guint i = 0; i < count; ++i) {
            guint bit = 0;
            if (position / 8 < size)
                bit = (data[position / 8] >> (7 - position % 8)) & 1;
            else
                overrun = TRUE;
            value = (value << 1) | bit;
            ++position;
        }
        return value;
    }
};

// Sample rate and channel count from an AudioSpecificConfig; zeros where it does not say.
void readAudioConfig(Mp4Track *track)
{
    static const gint kRates[]
        = { 96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350 };
    BitReader reader { track->config, track->configSize, 0, FALSE };
    guint32 objectType = reader.bits(5);
    if (objectType == 31)
        objectType = 32 + reader.bits(6);
    const guint32 rateIndex = reader.bits(4);
    gint rate = 0;
    if (rateIndex == 15)
        rate = static_cast<gint>(reader.bits(24));
    else if (rateIndex < G_N_ELEMENTS(kRates))
        rate = kRates[rateIndex];
    const guint32 channelConfig = reader.bits(4);
    if (reader.overrun)
        return;
    if (rate > 0)
        track->rate = rate;
    if (channelConfig >= 1 && channelConfig <= 6)
        track->channels = static_cast<gint>(channelConfig);
    else if (channelConfig == 7)
        track->channels = 8;
}

// An MPEG-4 descriptor's tag and length; FALSE if it does not fit in [*p, end).
gboolean readDescriptor(const guint8 **p, const guint8 *end, guint8 *tag, guint32 *length)
{
    if (*p >= end)
        return FALSE;
    *tag = *(*p)++;
    *length = 0;
    for (int i = 0; i < 4; ++i) {
        if (*p >= end)
            return FALSE;
        const guint8 byte = *(*p)++;
        *length = (*length << 7) | (byte & 0x7F);
        if (!(byte & 0x80))
            break;
    }
    return *length <= static_cast<guint32>(end - *p);
}

// The elementary stream descriptor: the decoder's object type, bit rates and configuration.
gboolean readEsds(const guint8 *p, const guint8 *end, Mp4Track *track)
{
    if (end - p < 4)
        return FALSE;
    p += 4; // version and flags
    guint8 tag;
    guint32 length;
    if (!readDescriptor(&p, end, &tag, &length) || tag != 0x03 || length < 3)
        return FALSE;
    const guint8 *esEnd = p + length;
    const guint8 flags = p[2];
    p += 3;
    if (flags & 0x80)
        p += 2; // depends on another stream
    if ((flags & 0x40) && p < esEnd)
        p += 1 + *p; // a URL
    if (flags & 0x20)
        p += 2; // OCR stream
    while (p < esEnd) {
        if (!readDescriptor(&p, esEnd, &tag, &length))
            return FALSE;
        const guint8 *descriptorEnd = p + length;
        if (tag == 0x04 && length >= 13) {
            track->objectType = p[0];
            track->maxBitrate = be32(p + 5);
            track->averageBitrate = be32(p + 9);
            const guint8 *q = p + 13;
            while (q < descriptorEnd) {
                guint32 configLength;
                if (!readDescriptor(&q, descriptorEnd, &tag, &configLength))
                    return FALSE;
                if (tag == 0x05) {
                    if (configLength == 0 || configLength > sizeof track->config)
                        return FALSE;
                    std::memcpy(track->config, q, configLength);
                    track->configSize = configLength;
                    return TRUE;
                }
                q += configLength;
            }
            // AAC without its configuration cannot be decoded raw; MPEG audio frames carry
            // their own headers.
            return mp4IsMpegAudio(track->objectType);
        }
        p = descriptorEnd;
    }
    return FALSE;
}

// Child boxes of a sample entry held in memory: 'esds', possibly inside a QuickTime 'wave'.
gboolean findEsds(const guint8 *p, const guint8 *end, Mp4Track *track, int depth = 0)
{
    while (end - p >= 8) {
        const guint32 size = be32(p);
        const guint32 type = be32(p + 4);
        if (size < 8 || size > static_cast<guint32>(end - p))
            return FALSE;
        if (type == fourcc("esds"))
            return readEsds(p + 8, p + size, track);
        if (type == fourcc("wave") && depth == 0 && findEsds(p + 8, p + size, track, 1))
            return TRUE;
        p += size;
    }
    return FALSE;
}

// Apple Lossless: the 'alac' box among the entry's children holds the configuration, and
// the real rate (the entry's 16.16 field cannot say 88.2 or 96 kHz).
gboolean findAlacConfig(const guint8 *p, const guint8 *end, Mp4Track *track)
{
    while (end - p >= 8) {
        const guint32 size = be32(p);
        if (size < 8 || size > static_cast<guint32>(end - p))
            return FALSE;
        Alac::Config config;
        if (be32(p + 4) == fourcc("alac") && size >= 12 + Alac::kCookieSize && Alac::parseCookie(p, size, config)) {
            std::memcpy(track->config, p, 12 + Alac::kCookieSize);
            track->configSize = 12 + Alac::kCookieSize;
            track->objectType = kMp4AlacObjectType;
            track->channels = config.channels;
            track->rate = static_cast<gint>(config.sampleRate);
            return TRUE;
        }
        p += size;
    }
    return FALSE;
}

// The sample description: one 'mp4a' entry whose stream is AAC or MPEG audio, one '.mp3'
// entry (QuickTime's MP3, without a descriptor) or one 'alac' entry, or this is no track
// of ours.
Mp4Verdict readSampleDescription(Mp4Input *input, const Box &box, Mp4Track *track, gboolean *usable)
{
    *usable = FALSE;
    const guint64 size = box.end - box.payload;
    if (size < 8 + 36 || size > kMaxSmallBox)
        return Mp4Verdict::Ok;
    guint8 *data = static_cast<guint8 *>(g_malloc(size));
    Mp4Verdict verdict = readPayload(input, box, static_cast<guint>(size), data);
    if (verdict == Mp4Verdict::Ok) {
        const guint8 *entry = data + 8;
        const guint32 entrySize = be32(entry);
        // One description only: several could switch formats from one chunk to the next.
        const guint32 format = be32(entry + 4);
        if (be32(data + 4) == 1 && format == fourcc("alac") && entrySize >= 36 && entrySize <= size - 8) {
            *usable = findAlacConfig(entry + 36, entry + entrySize, track);
        } else if (be32(data + 4) == 1 && (format == fourcc("mp4a") || format == fourcc(".mp3")) && entrySize >= 36
            && entrySize <= size - 8) {
            const guint16 version = be16(entry + 16);
            const guint32 childrenAt = version == 1 ? 52 : version == 2 ? 72 : 36;
            track->channels = be16(entry + 24);
            track->rate = static_cast<gint>(be32(entry + 32) >> 16);
            if (format == fourcc(".mp3")) {
                track->objectType = 0x6B;
                *usable = TRUE;
            } else if (childrenAt <= entrySize && findEsds(entry + childrenAt, entry + entrySize, track)) {
                if (mp4IsAac(track->objectType)) {
                    *usable = TRUE;
                    readAudioConfig(track);
                } else {
                    *usable = mp4IsMpegAudio(track->objectType);
                }
            }
        }
    }
    g_free(data);
    return verdict;
}

struct TrackScan
{
    Mp4Track track;
    gboolean sound;
    gboolean usable; // AAC, MPEG audio or Apple Lossless
    guint found; // bit per table
};

enum TableBit : guint { kStts = 1, kStsc = 2, kStsz = 4, kChunks = 8, kMdhd = 16 };

Mp4Verdict readSampleTables(Mp4Input *input, const Box &stbl, TrackScan *scan)
{
    Mp4Track *track = &scan->track;
    return eachChild(input, stbl.payload, stbl.end, [&](const Box &box) {
        switch (box.type) {
        case fourcc("stsd"):
            return readSampleDescription(input, box, track, &scan->usable);
        case fourcc("stts"):
            scan->found |= kStts;
            return readTable(input, box, 8, FALSE, &track->stts);
        case fourcc("stsc"):
            scan->found |= kStsc;
            return readTable(input, box, 12, FALSE, &track->stsc);
        case fourcc("stsz"): {
            scan->found |= kStsz;
            const Mp4Verdict verdict = readTable(input, box, 4, TRUE, &track->stsz, &track->constantSampleSize);
            track->sampleCount = track->stsz.count;
            return verdict;
        }
        case fourcc("stco"):
        case fourcc("co64"):
            if (scan->found & kChunks)
                return Mp4Verdict::Refused;
            scan->found |= kChunks;
            return readTable(input, box, box.type == fourcc("co64") ? 8 : 4, FALSE, &track->chunkOffsets);
        case fourcc("stz2"):
            return Mp4Verdict::Refused; // compact sizes: rare enough to leave to others
        default:
            return Mp4Verdict::Ok;
        }
    });
}

// The timescale and duration of an 'mvhd' or 'mdhd', which lay them out alike: 32-bit
// times in version 0, 64-bit ones in version 1.
Mp4Verdict readTimescaleAndDuration(Mp4Input *input, const Box &box, guint32 *timescale, guint64 *duration)
{
    guint8 head[32];
    Mp4Verdict verdict = readPayload(input, box, 4, head);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    const gboolean wide = head[0] == 1;
    verdict = readPayload(input, box, wide ? 32 : 20, head);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    *timescale = be32(head + (wide ? 20 : 12));
    *duration = wide ? be64(head + 24) : be32(head + 16);
    return Mp4Verdict::Ok;
}

Mp4Verdict readMediaHeader(Mp4Input *input, const Box &box, Mp4Track *track)
{
    const Mp4Verdict verdict = readTimescaleAndDuration(input, box, &track->timescale, &track->mediaDuration);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    return track->timescale > 0 ? Mp4Verdict::Ok : Mp4Verdict::Refused;
}

// One edit that plays the media from a point at normal speed, or none: what audio files
// carry to skip their encoder's delay. Anything more is left to others.
Mp4Verdict readEditList(Mp4Input *input, const Box &box, Mp4Track *track)
{
    guint8 head[28];
    Mp4Verdict verdict = readPayload(input, box, 8, head);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    const gboolean wide = head[0] == 1;
    const guint32 count = be32(head + 4);
    if (count == 0)
        return Mp4Verdict::Ok;
    if (count != 1)
        return Mp4Verdict::Refused;
    verdict = readPayload(input, box, wide ? 28 : 20, head);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    const guint64 duration = wide ? be64(head + 8) : be32(head + 8);
    const gint64 mediaTime = wide ? static_cast<gint64>(be64(head + 16)) : static_cast<gint32>(be32(head + 12));
    const guint32 rate = be32(head + (wide ? 24 : 16));
    if (mediaTime < 0 || rate != 0x00010000)
        return Mp4Verdict::Refused;
    track->hasEdit = TRUE;
    track->editMediaTime = static_cast<guint64>(mediaTime);
    track->editDuration = duration;
    return Mp4Verdict::Ok;
}

Mp4Verdict readTrack(Mp4Input *input, const Box &trak, TrackScan *scan)
{
    Mp4Track *track = &scan->track;
    return eachChild(input, trak.payload, trak.end, [&](const Box &box) {
        switch (box.type) {
        case fourcc("edts"):
            return eachChild(input, box.payload, box.end, [&](const Box &edit) {
                return edit.type == fourcc("elst") ? readEditList(input, edit, track) : Mp4Verdict::Ok;
            });
        case fourcc("mdia"):
            return eachChild(input, box.payload, box.end, [&](const Box &media) {
                guint8 handler[12];
                switch (media.type) {
                case fourcc("mdhd"):
                    scan->found |= kMdhd;
                    return readMediaHeader(input, media, track);
                case fourcc("hdlr"): {
                    const Mp4Verdict verdict = readPayload(input, media, 12, handler);
                    scan->sound = verdict == Mp4Verdict::Ok && be32(handler + 8) == fourcc("soun");
                    return verdict;
                }
                case fourcc("minf"):
                    return eachChild(input, media.payload, media.end, [&](const Box &info) {
                        return info.type == fourcc("stbl") ? readSampleTables(input, info, scan) : Mp4Verdict::Ok;
                    });
                default:
                    return Mp4Verdict::Ok;
                }
            });
        default:
            return Mp4Verdict::Ok;
        }
    });
}

// 'meta' is a full box in MPEG-4 files and a plain one in QuickTime's: its first four
// bytes are zero flags in the one, a child's size in the other.
Mp4Verdict findTagList(Mp4Input *input, const Box &meta, Mp4Movie *movie)
{
    guint8 first[4];
    const Mp4Verdict verdict = readPayload(input, meta, 4, first);
    if (verdict != Mp4Verdict::Ok)
        return verdict == Mp4Verdict::Refused ? Mp4Verdict::Ok : verdict;
    const guint64 from = meta.payload + (be32(first) == 0 ? 4 : 0);
    return eachChild(input, from, meta.end, [&](const Box &box) {
        if (box.type == fourcc("ilst") && movie->ilstSize == 0) {
            movie->ilstOffset = box.payload;
            movie->ilstSize = box.end - box.payload;
        }
        return Mp4Verdict::Ok;
    });
}

Mp4Verdict readMovieBox(Mp4Input *input, const Box &moov, Mp4Movie *movie, gboolean *haveAudio)
{
    guint32 movieTimescale = 0;
    guint64 movieDuration = 0;
    const Mp4Verdict verdict = eachChild(input, moov.payload, moov.end, [&](const Box &box) {
        switch (box.type) {
        case fourcc("mvhd"):
            return readTimescaleAndDuration(input, box, &movieTimescale, &movieDuration);
        case fourcc("trak"): {
            if (*haveAudio)
                return Mp4Verdict::Ok;
            TrackScan scan;
            std::memset(&scan, 0, sizeof scan);
            const Mp4Verdict read = readTrack(input, box, &scan);
            if (read == Mp4Verdict::ReadFailed)
                return read;
            // The first AAC or MPEG audio track is ours; a broken one is not skipped for a
            // later one.
            if (scan.sound && scan.usable) {
                const guint all = kStts | kStsc | kStsz | kChunks | kMdhd;
                if (read != Mp4Verdict::Ok || scan.found != all || scan.track.sampleCount == 0 || scan.track.rate <= 0
                    || scan.track.channels <= 0)
                    return Mp4Verdict::Refused;
                movie->audio = scan.track;
                *haveAudio = TRUE;
            }
            return Mp4Verdict::Ok;
        }
        case fourcc("udta"):
            return eachChild(input, box.payload, box.end, [&](const Box &child) {
                return child.type == fourcc("meta") ? findTagList(input, child, movie) : Mp4Verdict::Ok;
            });
        case fourcc("meta"):
            return findTagList(input, box, movie);
        case fourcc("mvex"): // fragmented: the samples are described outside 'moov'
        case fourcc("cmov"): // a compressed header
            return Mp4Verdict::Refused;
        default:
            return Mp4Verdict::Ok;
        }
    });
    if (verdict != Mp4Verdict::Ok || !*haveAudio)
        return verdict;
    movie->audio.movieTimescale = movieTimescale;
    movie->audio.movieDuration = movieDuration;
    // An edit's duration counts in the movie's timescale.
    if (movie->audio.hasEdit && movie->audio.editDuration > 0 && movieTimescale == 0)
        return Mp4Verdict::Refused;
    return Mp4Verdict::Ok;
}

} // namespace

gboolean mp4Read(Mp4Input *input, guint64 offset, guint size, guint8 *destination)
{
    if (offset > input->size || size > input->size - offset) {
        input->flow = GST_FLOW_EOS;
        return FALSE;
    }
    GstBuffer *buffer = nullptr;
    input->flow = gst_pad_pull_range(input->pad, offset, size, &buffer);
    if (input->flow != GST_FLOW_OK)
        return FALSE;
    const gsize got = gst_buffer_extract(buffer, 0, destination, size);
    gst_buffer_unref(buffer);
    if (got < size) {
        input->flow = GST_FLOW_EOS;
        return FALSE;
    }
    return TRUE;
}

Mp4Verdict mp4ReadMovie(Mp4Input *input, Mp4Movie *movie)
{
    std::memset(movie, 0, sizeof *movie);
    // The top level in any order; 'moov' once, no fragments.
    gboolean haveMoov = FALSE;
    Box moov {};
    guint64 offset = 0;
    for (guint n = 0;; ++n) {
        if (n == kMaxTopLevelBoxes)
            return Mp4Verdict::Refused;
        Box box;
        const Header header = readHeader(input, offset, input->size, &box, TRUE);
        if (header == Header::ReadFailed)
            return Mp4Verdict::ReadFailed;
        if (header == Header::End)
            break;
        if (header == Header::Bad) {
            if (!haveMoov)
                return Mp4Verdict::Refused;
            break; // trailing bytes after what we need
        }
        if (box.type == fourcc("moof"))
            return Mp4Verdict::Refused;
        if (box.type == fourcc("moov")) {
            if (haveMoov || box.end > input->size)
                return Mp4Verdict::Refused;
            haveMoov = TRUE;
            moov = box;
        }
        if (box.end >= input->size)
            break; // the last box, perhaps cut short
        offset = box.end;
    }
    if (!haveMoov)
        return Mp4Verdict::Refused;
    gboolean haveAudio = FALSE;
    const Mp4Verdict verdict = readMovieBox(input, moov, movie, &haveAudio);
    if (verdict != Mp4Verdict::Ok)
        return verdict;
    return haveAudio ? Mp4Verdict::Ok : Mp4Verdict::Refused;
}
