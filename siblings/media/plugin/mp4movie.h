#pragma once

#include <gst/gst.h>

// The parts of an MPEG-4 file our demuxer reads: the first AAC or MPEG audio (MP3, MP2)
// track's description and where its sample tables lie. The tables themselves stay in the file (a long track's
// run to megabytes) and are read through small windows as the samples go out.

// Reads from the demuxer's sink pad in pull mode. Runs on whichever thread drives the pad:
// the activation, then the pad's task.
struct Mp4Input
{
    GstPad *pad;
    guint64 size; // length of the file
    GstFlowReturn flow; // why the last read failed
};

// Reads exactly size bytes at offset; FALSE when the file ends first or the read fails.
gboolean mp4Read(Mp4Input *input, guint64 offset, guint size, guint8 *destination);

// A table left in the file: its first entry's offset and how many entries follow.
struct Mp4Table
{
    guint64 offset;
    guint32 count;
    guint32 entrySize;
};

struct Mp4Track
{
    guint32 timescale; // of the media (mdhd)
    guint32 movieTimescale; // of the movie (mvhd), which edit durations count in
    guint64 mediaDuration; // mdhd, in the media timescale
    guint64 movieDuration; // mvhd, in the movie timescale
    gboolean hasEdit;
    guint64 editMediaTime; // where the presentation starts, in the media timescale
    guint64 editDuration; // how long it lasts, in the movie timescale; 0: to the media's end

    guint8 objectType; // 0x40: MPEG-4 audio; 0x66 to 0x68: MPEG-2 AAC; 0x69, 0x6B: MPEG audio
    guint8 config[64]; // the AudioSpecificConfig (AAC), the 'alac' box (Apple Lossless)
    guint configSize;
    gint rate;
    gint channels;
    guint32 maxBitrate;
    guint32 averageBitrate;

    guint32 sampleCount;
    guint32 constantSampleSize; // 0: sizes in stsz
    Mp4Table stts; // (count, delta)
    Mp4Table stsc; // (first chunk, samples per chunk, description)
    Mp4Table stsz; // sizes, when not constant
    Mp4Table chunkOffsets; // stco (4-byte) or co64 (8-byte) entries
};

struct Mp4Movie
{
    Mp4Track audio;
    guint64 ilstOffset; // the iTunes-style tag list's children, 0 if there is none
    guint64 ilstSize;
};

// The object types of the stream descriptor that we hand on.
inline bool mp4IsAac(guint8 objectType)
{
    return objectType == 0x40 || objectType == 0x66 || objectType == 0x67 || objectType == 0x68;
}
// MPEG-1 audio (0x6B) and its MPEG-2 lower rates (0x69): layers 1 to 3, MP3 and MP2.
// Apple Lossless, in a value of the range MPEG-4 leaves to private use: its sample entry is
// 'alac' and its configuration the 'alac' box (36 bytes, header included) kept in config.
inline constexpr guint8 kMp4AlacObjectType = 0xC0;
inline bool mp4IsAlac(guint8 objectType)
{
    return objectType == kMp4AlacObjectType;
}

inline bool mp4IsMpegAudio(guint8 objectType)
{
    return objectType == 0x69 || objectType == 0x6B;
}

enum class Mp4Verdict {
    Ok,
    Refused, // not a layout we read (fragmented, no track of ours, odd boxes): leave it to another demuxer
    ReadFailed, // the input could not be read (Mp4Input::flow says why)
};

// Reads the file's top-level boxes (in any order) and its 'moov', and picks the first AAC
// or MPEG audio track. Anything it does not handle cleanly is refused, so another demuxer can try.
Mp4Verdict mp4ReadMovie(Mp4Input *input, Mp4Movie *movie);
