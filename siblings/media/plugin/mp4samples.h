#pragma once

#include "mp4movie.h"

// Walks a track's samples through its tables, which stay in the file: each table is read
// through a window of a few kilobytes, so the memory used is the same for a minute and for
// a day of audio. Runs on the demuxer's streaming thread (or its activation).

// Entries of one table, a window of them in memory at a time.
struct Mp4TableCursor
{
    Mp4Table table;
    guint8 *window;
    guint32 first; // index of the window's first entry
    guint32 filled; // entries in the window
};

enum class Mp4Step {
    Ok,
    End, // no more samples (or the tables end before the samples do)
    Corrupt, // the tables contradict themselves
    ReadFailed,
};

struct Mp4Samples
{
    Mp4Input *input;
    const Mp4Track *track;
    Mp4TableCursor stts;
    Mp4TableCursor stsc;
    Mp4TableCursor stsz;
    Mp4TableCursor chunks;

    guint32 index; // the current sample
    guint64 time; // its decoding time, in the media timescale
    guint32 delta; // its duration
    guint32 size; // its size in bytes
    guint64 offset; // where it lies in the file

    guint32 sttsEntry; // entry the current sample comes from
    guint32 sttsLeft; // samples of that entry from the current one on
    guint32 stscEntry;
    guint32 entryEndChunk; // first chunk of the next entry (0-based)
    guint32 chunkSamples; // samples per chunk in the current entry
    guint32 chunk; // the current chunk (0-based)
    guint32 inChunk; // the current sample's place in it
};

void mp4SamplesInit(Mp4Samples *samples, Mp4Input *input, const Mp4Track *track);
void mp4SamplesClear(Mp4Samples *samples);

// Moves to sample index (from the tables' start: the cost grows with the tables, not the
// file), or to the next sample.
Mp4Step mp4SamplesSeek(Mp4Samples *samples, guint32 index);
Mp4Step mp4SamplesNext(Mp4Samples *samples);

// The sample whose time span holds mediaTime (the sample count when it lies past the end).
Mp4Step mp4SamplesIndexAt(Mp4Samples *samples, guint64 mediaTime, guint32 *index);

// The end of the last sample, in the media timescale.
Mp4Step mp4SamplesTotalTime(Mp4Samples *samples, guint64 *time);
