#include "mp4samples.h"

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.

namespace {

constexpr guint32 kWindowEntries = 512;
// Times past this are no real file's: the tables are taken as corrupt rather than let sums wrap.
constexpr guint64 kTimeLimit = G_MAXUINT64 / 4;

guint32 be32(const guint8 *p)
{
    return (guint32(p[0]) << 24) | (guint32(p[1]) << 16) | (guint32(p[2]) << 8) | p[3];
}

void cursorInit(Mp4TableCursor *cursor, const Mp4Table &table)
{
    cursor->table = table;
    cursor->window = static_cast<guint8 *>(g_malloc(kWindowEntries * MAX(table.entrySize, 1u)));
    cursor->first = 0;
    cursor->filled = 0;
}

void cursorClear(Mp4TableCursor *cursor)
{
    g_free(cursor->window);
    cursor->window = nullptr;
    cursor->filled = 0;
}

// Entry i's bytes, valid until the next call on this cursor; null when it cannot be read.
const guint8 *entryAt(Mp4Input *input, Mp4TableCursor *cursor, guint32 i, Mp4Step *step)
{
    const Mp4Table &table = cursor->table;
    if (i >= table.count) {
        *step = Mp4Step::Corrupt;
        return nullptr;
    }
    if (i < cursor->first || i - cursor->first >= cursor->filled) {
        const guint32 n = MIN(kWindowEntries, table.count - i);
        cursor->filled = 0;
        if (!mp4Read(input, table.offset + guint64(i) * table.entrySize, n * table.entrySize, cursor->window)) {
            *step = Mp4Step::ReadFailed;
            return nullptr;
        }
        cursor->first = i;
        cursor->filled = n;
    }
    return cursor->window + (i - cursor->first) * table.entrySize;
}

Mp4Step readSize(Mp4Samples *samples, guint32 index, guint32 *size)
{
    if (samples->track->constantSampleSize) {
        *size = samples->track->constantSampleSize;
        return Mp4Step::Ok;
    }
    Mp4Step step = Mp4Step::Ok;
    const guint8 *entry = entryAt(samples->input, &samples->stsz, index, &step);
    if (entry)
        *size = be32(entry);
    return step;
}

Mp4Step readChunkOffset(Mp4Samples *samples, guint32 chunk, guint64 *offset)
{
    if (chunk >= samples->chunks.table.count)
        return Mp4Step::End; // samples the chunk table does not place
    Mp4Step step = Mp4Step::Ok;
    const guint8 *entry = entryAt(samples->input, &samples->chunks, chunk, &step);
    if (entry)
        *offset = samples->chunks.table.entrySize == 8 ? (guint64(be32(entry)) << 32) | be32(entry + 4) : be32(entry);
    return step;
}

// Loads stsc entry e: the chunks it covers and their samples each.
Mp4Step loadChunkEntry(Mp4Samples *samples, guint32 e, guint32 *firstChunk)
{
    Mp4Step step = Mp4Step::Ok;
    const guint8 *entry = entryAt(samples->input, &samples->stsc, e, &step);
    if (!entry)
        return step;
    const guint32 first = be32(entry);
    const guint32 perChunk = be32(entry + 4);
    guint32 next = samples->chunks.table.count + 1;
    if (e + 1 < samples->stsc.table.count) {
        entry = entryAt(samples->input, &samples->stsc, e + 1, &step);
        if (!entry)
            return step;
        next = be32(entry);
    } else if (first > samples->chunks.table.count) {
        return Mp4Step::End;
    }
    if (first == 0 || next <= first)
        return Mp4Step::Corrupt;
    samples->stscEntry = e;
    samples->chunkSamples = perChunk;
    samples->entryEndChunk = next - 1;
    *firstChunk = first - 1;
    return Mp4Step::Ok;
}

// The stts entry e, or the last duration again for samples the table leaves out.
Mp4Step loadTimeEntry(Mp4Samples *samples, guint32 e)
{
    samples->sttsEntry = e;
    if (e >= samples->stts.table.count) {
        samples->sttsLeft = G_MAXUINT32;
        return Mp4Step::Ok;
    }
    Mp4Step step = Mp4Step::Ok;
    const guint8 *entry = entryAt(samples->input, &samples->stts, e, &step);
    if (!entry)
        return step;
    samples->sttsLeft = be32(entry);
    samples->delta = be32(entry + 4);
    return Mp4Step::Ok;
}

} // namespace

void mp4SamplesInit(Mp4Samples *samples, Mp4Input *input, const Mp4Track *track)
{
    *samples = Mp4Samples {};
    samples->input = input;
    samples->track = track;
    cursorInit(&samples->stts, track->stts);
    cursorInit(&samples->stsc, track->stsc);
    cursorInit(&samples->stsz, track->stsz);
    cursorInit(&samples->chunks, track->chunkOffsets);
}

void mp4SamplesClear(Mp4Samples *samples)
{
    cursorClear(&samples->stts);
    cursorClear(&samples->stsc);
    cursorClear(&samples->stsz);
    cursorClear(&samples->chunks);
}

Mp4Step mp4SamplesSeek(Mp4Samples *s, guint32 index)
{
    if (index >= s->track->sampleCount)
        return Mp4Step::End;
    Mp4Step step = Mp4Step::Ok;

    // Its time: whole stts entries at a time.
    guint64 before = 0;
    guint64 time = 0;
    guint32 e = 0;
    for (; e < s->stts.table.count; ++e) {
        if ((step = loadTimeEntry(s, e)) != Mp4Step::Ok)
            return step;
        if (index < before + s->sttsLeft) {
            s->time = time + (index - before) * guint64(s->delta);
            s->sttsLeft -= static_cast<guint32>(index - before);
            break;
        }
        before += s->sttsLeft;
        time += guint64(s->sttsLeft) * s->delta;
        if (time > kTimeLimit)
            return Mp4Step::Corrupt;
    }
    if (e == s->stts.table.count) {
        if (e == 0)
            return Mp4Step::Corrupt;
        s->time = time + (index - before) * guint64(s->delta);
        loadTimeEntry(s, e);
    }

    // Its chunk: whole stsc entries at a time.
    before = 0;
    gboolean found = FALSE;
    for (e = 0; e < s->stsc.table.count && !found; ++e) {
        guint32 firstChunk;
        if ((step = loadChunkEntry(s, e, &firstChunk)) != Mp4Step::Ok)
            return step;
        const guint64 span = guint64(s->entryEndChunk - firstChunk) * s->chunkSamples;
        if (index < before + span) {
            s->chunk = firstChunk + static_cast<guint32>((index - before) / s->chunkSamples);
            s->inChunk = static_cast<guint32>((index - before) % s->chunkSamples);
            found = TRUE;
        }
        before += span;
    }
    if (!found)
        return Mp4Step::End; // the chunks hold fewer samples than the sizes list

    // Its place in the chunk: the sizes of the samples before it there.
    guint64 offset;
    if ((step = readChunkOffset(s, s->chunk, &offset)) != Mp4Step::Ok)
        return step;
    for (guint32 i = index - s->inChunk; i < index; ++i) {
        guint32 size;
        if ((step = readSize(s, i, &size)) != Mp4Step::Ok)
            return step;
        offset += size;
    }
    s->index = index;
    s->offset = offset;
    return readSize(s, index, &s->size);
}

Mp4Step mp4SamplesNext(Mp4Samples *s)
{
    if (s->index + 1 >= s->track->sampleCount)
        return Mp4Step::End;
    ++s->index;
    Mp4Step step = Mp4Step::Ok;

    s->time += s->delta;
    if (s->time > kTimeLimit)
        return Mp4Step::Corrupt;
    if (s->sttsLeft != G_MAXUINT32)
        --s->sttsLeft;
    while (s->sttsLeft == 0)
        if ((step = loadTimeEntry(s, s->sttsEntry + 1)) != Mp4Step::Ok)
            return step;

    s->offset += s->size;
    if (++s->inChunk >= s->chunkSamples) {
        s->inChunk = 0;
        ++s->chunk;
        // Into the next stsc entry where this one ends; entries without samples are passed.
        while (s->chunk >= s->entryEndChunk || s->chunkSamples == 0) {
            if (s->chunk < s->entryEndChunk)
                s->chunk = s->entryEndChunk;
            if (s->stscEntry + 1 >= s->stsc.table.count)
                return Mp4Step::End;
            guint32 firstChunk;
            if ((step = loadChunkEntry(s, s->stscEntry + 1, &firstChunk)) != Mp4Step::Ok)
                return step;
            if (firstChunk != s->chunk)
                return Mp4Step::Corrupt;
        }
        if ((step = readChunkOffset(s, s->chunk, &s->offset)) != Mp4Step::Ok)
            return step;
    }
    return readSize(s, s->index, &s->size);
}

Mp4Step mp4SamplesIndexAt(Mp4Samples *s, guint64 mediaTime, guint32 *index)
{
    guint64 before = 0;
    guint64 time = 0;
    Mp4Step step = Mp4Step::Ok;
    for (guint32 e = 0; e < s->stts.table.count; ++e) {
        const guint8 *entry = entryAt(s->input, &s->stts, e, &step);
        if (!entry)
            return step;
        const guint32 count = be32(entry);
        const guint32 delta = be32(entry + 4);
        if (delta > 0 && mediaTime < time + guint64(count) * delta) {
            *index = static_cast<guint32>(MIN(before + (mediaTime - time) / delta, guint64(s->track->sampleCount)));
            return Mp4Step::Ok;
        }
        before += count;
        time += guint64(count) * delta;
        if (time > kTimeLimit)
            return Mp4Step::Corrupt;
    }
    *index = s->track->sampleCount;
    return Mp4Step::Ok;
}

Mp4Step mp4SamplesTotalTime(Mp4Samples *s, guint64 *total)
{
    guint64 samples = 0;
    guint64 time = 0;
    guint32 delta = 0;
    Mp4Step step = Mp4Step::Ok;
    for (guint32 e = 0; e < s->stts.table.count && samples < s->track->sampleCount; ++e) {
        const guint8 *entry = entryAt(s->input, &s->stts, e, &step);
        if (!entry)
            return step;
        const guint32 count = static_cast<guint32>(MIN(guint64(be32(entry)), s->track->sampleCount - samples));
        delta = be32(entry + 4);
        samples += count;
        time += guint64(count) * delta;
        if (time > kTimeLimit)
            return Mp4Step::Corrupt;
    }
    *total = time + (s->track->sampleCount - samples) * delta;
    return Mp4Step::Ok;
}
