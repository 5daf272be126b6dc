#include "sndfiledemux.h"

#include "pullmode.h"

#include <gst/audio/audio.h>
#include <gst/tag/tag.h>
#include <sndfile.h>

#include <cstring>

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.
// Threads: the loop, libsndfile's reads and seeks all run on the sink pad's task; a seek
// arriving from downstream stops the task (taking its stream lock) before it moves.

namespace {

constexpr sf_count_t kBlockFrames = 4096;

struct TolmSndfileDemux
{
    GstElement parent;
    GstPad *sinkPad;
    GstPad *srcPad; // created once the file is open
    SNDFILE *file;
    SF_INFO info;
    GstAudioFormat format; // what the source pad gives
    guint64 offset; // read position in the input, for libsndfile's virtual I/O
    GstFlowReturn lastPull;
    sf_count_t position; // next frame to read
    GstSegment segment;
    gboolean needSegment;
    GstTagList *tags;
};

struct TolmSndfileDemuxClass
{
    GstElementClass parent;
};

GType tolm_sndfile_demux_get_type();
G_DEFINE_TYPE(TolmSndfileDemux, tolm_sndfile_demux, GST_TYPE_ELEMENT)

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-aiff; audio/x-caf; audio/x-w64"));

// The samples go out in the file's own resolution, so what reads them can keep it.
#define TOLM_SNDFILE_FORMATS                                                                                           \
    "{ " GST_AUDIO_NE(S16) ", " GST_AUDIO_NE(S24_32) ", " GST_AUDIO_NE(S32) ", " GST_AUDIO_NE(F32) " }"
GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("audio/x-raw, format = (string) " TOLM_SNDFILE_FORMATS ", layout = (string) interleaved, "
                    "rate = (int) [ 1, MAX ], channels = (int) [ 1, MAX ]"));

// 8 and 16-bit PCM as 16-bit, 24-bit as 24 (in 32), 32-bit as 32, float as float; Apple
// Lossless likewise by the size it codes.
// Codings that are not plain PCM (A-law, ADPCM and the like) come out as 16-bit.
GstAudioFormat outputFormatOf(int sndfileFormat)
{
    switch (sndfileFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_ALAC_20: // Apple Lossless in CAF keeps what it was made from
    case SF_FORMAT_ALAC_24:
        return GST_AUDIO_FORMAT_S24_32;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32:
        return GST_AUDIO_FORMAT_S32;
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        return GST_AUDIO_FORMAT_F32;
    default:
        return GST_AUDIO_FORMAT_S16;
    }
}

TolmSndfileDemux *self(gpointer object)
{
    return reinterpret_cast<TolmSndfileDemux *>(object);
}

// libsndfile's virtual I/O over the upstream pad.
sf_count_t ioLength(void *data)
{
    gint64 length = -1;
    if (!gst_pad_peer_query_duration(self(data)->sinkPad, GST_FORMAT_BYTES, &length) || length < 0)
        return 0;
    return length;
}

sf_count_t ioSeek(sf_count_t offset, int whence, void *data)
{
    TolmSndfileDemux *demux = self(data);
    gint64 target = offset;
    if (whence == SEEK_CUR)
        target += static_cast<gint64>(demux->offset);
    else if (whence == SEEK_END)
        target += ioLength(data);
    if (target < 0)
        return -1;
    demux->offset = static_cast<guint64>(target);
    return target;
}

sf_count_t ioRead(void *destination, sf_count_t count, void *data)
{
    TolmSndfileDemux *demux = self(data);
    GstBuffer *buffer = nullptr;
    demux->lastPull = gst_pad_pull_range(demux->sinkPad, demux->offset, static_cast<guint>(count), &buffer);
    if (demux->lastPull != GST_FLOW_OK)
        return 0;
    const gsize size = gst_buffer_extract(buffer, 0, destination, static_cast<gsize>(count));
    gst_buffer_unref(buffer);
    demux->offset += size;
    return static_cast<sf_count_t>(size);
}

sf_count_t ioWrite(const void *, sf_count_t, void *)
{
    return 0;
}

sf_count_t ioTell(void *data)
{
    return static_cast<sf_count_t>(self(data)->offset);
}

SF_VIRTUAL_IO virtualIo = { ioLength, ioSeek, ioRead, ioWrite, ioTell };

guint32 bigEndian32(const guint8 *p)
{
    return (guint32(p[0]) << 24) | (guint32(p[1]) << 16) | (guint32(p[2]) << 8) | p[3];
}

// An AIFF keeps ID3v2 tags in an "ID3 " chunk, which libsndfile does not read.
GstTagList *readId3Chunk(TolmSndfileDemux *demux)
{
    gint64 length = 0;
    if (!gst_pad_peer_query_duration(demux->sinkPad, GST_FORMAT_BYTES, &length))
        return nullptr;
    guint8 header[12];
    GstBuffer *buffer = nullptr;
    if (gst_pad_pull_range(demux->sinkPad, 0, 12, &buffer) != GST_FLOW_OK)
        return nullptr;
    gsize got = gst_buffer_extract(buffer, 0, header, 12);
    gst_buffer_unref(buffer);
    if (got < 12 || std::memcmp(header, "FORM", 4) != 0)
        return nullptr;

    guint64 at = 12;
    for (int chunks = 0; chunks < 64 && at + 8 <= static_cast<guint64>(length); ++chunks) {
        buffer = nullptr;
        if (gst_pad_pull_range(demux->sinkPad, at, 8, &buffer) != GST_FLOW_OK)
            return nullptr;
        got = gst_buffer_extract(buffer, 0, header, 8);
        gst_buffer_unref(buffer);
        if (got < 8)
            return nullptr;
        const guint32 size = bigEndian32(header + 4);
        if (std::memcmp(header, "ID3 ", 4) == 0 || std::memcmp(header, "id3 ", 4) == 0) {
            buffer = nullptr;
            if (size > 16 * 1024 * 1024 || gst_pad_pull_range(demux->sinkPad, at + 8, size, &buffer) != GST_FLOW_OK)
                return nullptr;
            GstTagList *tags = gst_tag_list_from_id3v2_tag(buffer);
            gst_buffer_unref(buffer);
            return tags;
        }
        at += 8 + size + (size & 1);
    }
    return nullptr;
}

GstTagList *readTags(TolmSndfileDemux *demux)
{
    GstTagList *tags = readId3Chunk(demux);
    if (!tags)
        tags = gst_tag_list_new_empty();
    struct Entry
    {
        int kind;
        const char *tag;
    };
    static const Entry kEntries[] = {
        { SF_STR_TITLE, GST_TAG_TITLE },
        { SF_STR_ARTIST, GST_TAG_ARTIST },
        { SF_STR_ALBUM, GST_TAG_ALBUM },
        { SF_STR_COMMENT, GST_TAG_COMMENT },
        { SF_STR_GENRE, GST_TAG_GENRE },
        { SF_STR_COPYRIGHT, GST_TAG_COPYRIGHT },
    };
    for (const Entry &entry : kEntries) {
        const char *value = sf_get_string(demux->file, entry.kind);
        if (value && *value && g_utf8_validate(value, -1, nullptr))
            gst_tag_list_add(tags, GST_TAG_MERGE_KEEP, entry.tag, value, nullptr);
    }
    gst_tag_list_set_scope(tags, GST_TAG_SCOPE_GLOBAL);
    return tags;
}

gboolean srcQuery(GstPad *pad, GstObject *parent, GstQuery *query)
{
    TolmSndfileDemux *demux = self(parent);
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION: {
        GstFormat format;
        gst_query_parse_duration(query, &format, nullptr);
        if (format != GST_FORMAT_TIME || !demux->file)
            return FALSE;
        gst_query_set_duration(query, GST_FORMAT_TIME,
            gst_util_uint64_scale(static_cast<guint64>(demux->info.frames), GST_SECOND, demux->info.samplerate));
        return TRUE;
    }
    case GST_QUERY_POSITION: {
        GstFormat format;
        gst_query_parse_position(query, &format, nullptr);
        if (format != GST_FORMAT_TIME || !demux->file)
            return FALSE;
        gst_query_set_position(query, GST_FORMAT_TIME,
            gst_util_uint64_scale(static_cast<guint64>(demux->position), GST_SECOND, demux->info.samplerate));
        return TRUE;
    }
    case GST_QUERY_SEEKING: {
        GstFormat format;
        gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
        if (format != GST_FORMAT_TIME)
            return FALSE;
        gst_query_set_seeking(query, GST_FORMAT_TIME, demux->file && demux->info.seekable, 0, -1);
        return TRUE;
    }
    default:
        return gst_pad_query_default(pad, parent, query);
    }
}

void loop(gpointer data);

gboolean performSeek(TolmSndfileDemux *demux, GstEvent *event)
{
    const SeekRequest seek = parseSeek(event);
    if (seek.format != GST_FORMAT_TIME || seek.rate <= 0 || !demux->file || !demux->info.seekable)
        return FALSE;

    const gboolean flushing = seek.flags & GST_SEEK_FLAG_FLUSH;
    const guint32 seqnum = gst_event_get_seqnum(event);
    beginSeek(demux->sinkPad, demux->srcPad, flushing, seqnum);

    applySeek(&demux->segment, seek);
    const sf_count_t frame
        = static_cast<sf_count_t>(gst_util_uint64_scale(demux->segment.start, demux->info.samplerate, GST_SECOND));
    if (flushing)
        endFlush(demux->sinkPad, demux->srcPad, seqnum);
    const sf_count_t landed = sf_seek(demux->file, frame < demux->info.frames ? frame : demux->info.frames, SEEK_SET);
    demux->position = landed >= 0 ? landed : 0;
    demux->segment.position = demux->segment.start;
    demux->segment.time = demux->segment.start;
    demux->needSegment = TRUE;
    endSeek(demux->sinkPad, loop, demux);
    return landed >= 0;
}

gboolean openFile(TolmSndfileDemux *demux)
{
    std::memset(&demux->info, 0, sizeof demux->info);
    demux->offset = 0;
    demux->file = sf_open_virtual(&virtualIo, SFM_READ, &demux->info, demux);
    if (!demux->file || demux->info.channels <= 0 || demux->info.samplerate <= 0) {
        GST_ELEMENT_ERROR(demux, STREAM, DEMUX, (nullptr), ("libsndfile cannot read this file"));
        return FALSE;
    }
    demux->tags = readTags(demux);

    demux->format = outputFormatOf(demux->info.format);
    GstAudioInfo audio;
    gst_audio_info_init(&audio);
    GstAudioChannelPosition positions[64];
    const gint channels = demux->info.channels;
    if (channels == 1) {
        positions[0] = GST_AUDIO_CHANNEL_POSITION_MONO;
    } else if (channels <= 64) {
        gst_audio_channel_positions_from_mask(channels, gst_audio_channel_get_fallback_mask(channels), positions);
    }
    gst_audio_info_set_format(
        &audio, demux->format, demux->info.samplerate, channels, channels <= 64 ? positions : nullptr);
    GstCaps *caps = gst_audio_info_to_caps(&audio);

    demux->srcPad = gst_pad_new_from_static_template(&srcTemplate, "src");
    gst_pad_set_query_function(demux->srcPad, srcQuery);
    gst_pad_set_event_function(demux->srcPad, (seekingSrcEvent<TolmSndfileDemux, performSeek>));
    gst_pad_use_fixed_caps(demux->srcPad);
    gst_pad_set_active(demux->srcPad, TRUE);
    gchar *streamId = gst_pad_create_stream_id(demux->srcPad, GST_ELEMENT(demux), nullptr);
    gst_pad_push_event(demux->srcPad, gst_event_new_stream_start(streamId));
    g_free(streamId);
    gst_pad_set_caps(demux->srcPad, caps);
    gst_caps_unref(caps);
    gst_element_add_pad(GST_ELEMENT(demux), demux->srcPad);
    gst_element_no_more_pads(GST_ELEMENT(demux));
    gst_segment_init(&demux->segment, GST_FORMAT_TIME);
    demux->segment.duration
        = gst_util_uint64_scale(static_cast<guint64>(demux->info.frames), GST_SECOND, demux->info.samplerate);
    demux->needSegment = TRUE;
    return TRUE;
}

void pauseWith(TolmSndfileDemux *demux, GstFlowReturn flow)
{
    gst_pad_pause_task(demux->sinkPad);
    if (flow == GST_FLOW_EOS) {
        if (demux->srcPad)
            gst_pad_push_event(demux->srcPad, gst_event_new_eos());
    } else if (flow == GST_FLOW_NOT_LINKED || flow < GST_FLOW_EOS) {
        GST_ELEMENT_FLOW_ERROR(demux, flow);
        if (demux->srcPad)
            gst_pad_push_event(demux->srcPad, gst_event_new_eos());
    }
}

void loop(gpointer data)
{
    TolmSndfileDemux *demux = self(data);
    if (!demux->file && !openFile(demux)) {
        gst_pad_pause_task(demux->sinkPad);
        return;
    }
    if (demux->needSegment) {
        gst_pad_push_event(demux->srcPad, gst_event_new_segment(&demux->segment));
        if (demux->tags)
            gst_pad_push_event(demux->srcPad, gst_event_new_tag(gst_tag_list_ref(demux->tags)));
        demux->needSegment = FALSE;
    }

    sf_count_t frames = kBlockFrames;
    if (GST_CLOCK_TIME_IS_VALID(demux->segment.stop)) {
        const auto stop
            = static_cast<sf_count_t>(gst_util_uint64_scale(demux->segment.stop, demux->info.samplerate, GST_SECOND));
        frames = MIN(frames, stop - demux->position);
    }
    if (frames <= 0) {
        pauseWith(demux, GST_FLOW_EOS);
        return;
    }
    const gsize channels = static_cast<gsize>(demux->info.channels);
    GstBuffer *buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(frames) * channels * 4, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    demux->lastPull = GST_FLOW_OK;
    sf_count_t read;
    switch (demux->format) {
    case GST_AUDIO_FORMAT_S16:
        read = sf_readf_short(demux->file, reinterpret_cast<short *>(map.data), frames);
        break;
    case GST_AUDIO_FORMAT_S24_32:
    case GST_AUDIO_FORMAT_S32:
        read = sf_readf_int(demux->file, reinterpret_cast<int *>(map.data), frames);
        if (demux->format == GST_AUDIO_FORMAT_S24_32 && read > 0) {
            // libsndfile gives 24-bit samples in the top bits of an int; GStreamer wants
            // them in the low ones.
            auto *samples = reinterpret_cast<gint32 *>(map.data);
            for (gsize i = 0; i < static_cast<gsize>(read) * channels; ++i)
                samples[i] >>= 8;
        }
        break;
    default:
        read = sf_readf_float(demux->file, reinterpret_cast<float *>(map.data), frames);
        break;
    }
    gst_buffer_unmap(buffer, &map);
    if (read <= 0) {
        gst_buffer_unref(buffer);
        // A read cut short by a flush is no end of stream: the seek restarts us.
        pauseWith(demux, demux->lastPull == GST_FLOW_FLUSHING ? GST_FLOW_FLUSHING : GST_FLOW_EOS);
        return;
    }
    const gsize sampleBytes = demux->format == GST_AUDIO_FORMAT_S16 ? 2 : 4;
    gst_buffer_set_size(buffer, static_cast<gsize>(read) * channels * sampleBytes);
    GST_BUFFER_PTS(buffer)
        = gst_util_uint64_scale(static_cast<guint64>(demux->position), GST_SECOND, demux->info.samplerate);
    GST_BUFFER_DURATION(buffer)
        = gst_util_uint64_scale(static_cast<guint64>(demux->position + read), GST_SECOND, demux->info.samplerate)
        - GST_BUFFER_PTS(buffer);
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(demux->position);
    demux->position += read;
    demux->segment.position = GST_BUFFER_PTS(buffer);
    const GstFlowReturn flow = gst_pad_push(demux->srcPad, buffer);
    if (flow != GST_FLOW_OK)
        pauseWith(demux, flow);
}

gboolean sinkActivate(GstPad *pad, GstObject *)
{
    // libsndfile must seek in its input; without pull mode there is nothing we can do.
    return activatePullMode(pad);
}

gboolean sinkActivateMode(GstPad *pad, GstObject *parent, GstPadMode mode, gboolean active)
{
    if (mode != GST_PAD_MODE_PULL)
        return FALSE;
    if (active)
        return gst_pad_start_task(pad, loop, self(parent), nullptr);
    return gst_pad_stop_task(pad);
}

void releaseFile(TolmSndfileDemux *demux)
{
    if (demux->file)
        sf_close(demux->file);
    demux->file = nullptr;
    removeOutput(GST_ELEMENT(demux), &demux->srcPad, &demux->tags);
    demux->position = 0;
}

GstStateChangeReturn changeState(GstElement *element, GstStateChange transition)
{
    const GstStateChangeReturn result
        = GST_ELEMENT_CLASS(tolm_sndfile_demux_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        releaseFile(self(element)); // the task has stopped by now
    return result;
}

void tolm_sndfile_demux_class_init(TolmSndfileDemuxClass *klass)
{
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "Sound file reader (libsndfile)", "Codec/Demuxer/Audio",
        "Reads AIFF, CAF and Wave64 files with libsndfile", "TOLM Audio Converter");
    element->change_state = changeState;
}

void addSinkPad(TolmSndfileDemux *demux, GstStaticPadTemplate *pattern)
{
    demux->sinkPad = gst_pad_new_from_static_template(pattern, "sink");
    gst_pad_set_activate_function(demux->sinkPad, sinkActivate);
    gst_pad_set_activatemode_function(demux->sinkPad, sinkActivateMode);
    gst_element_add_pad(GST_ELEMENT(demux), demux->sinkPad);
}

void tolm_sndfile_demux_init(TolmSndfileDemux *demux)
{
    addSinkPad(demux, &sinkTemplate);
    demux->srcPad = nullptr;
    demux->file = nullptr;
    demux->tags = nullptr;
    demux->offset = 0;
    demux->position = 0;
    demux->lastPull = GST_FLOW_OK;
    demux->format = GST_AUDIO_FORMAT_F32;
    gst_segment_init(&demux->segment, GST_FORMAT_TIME);
    demux->needSegment = TRUE;
}

// The same reader for the WAV files GStreamer's own reader cannot read. It has no rank, so
// only a bin that asks for it by name uses it (see media/demuxerchoice.h): every other WAV
// file stays with GStreamer's reader, which needs no libsndfile.
struct TolmWavDemux
{
    TolmSndfileDemux parent;
};

struct TolmWavDemuxClass
{
    TolmSndfileDemuxClass parent;
};

GType tolm_wav_demux_get_type();
G_DEFINE_TYPE(TolmWavDemux, tolm_wav_demux, tolm_sndfile_demux_get_type())

GstStaticPadTemplate wavSinkTemplate
    = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-wav"));

void tolm_wav_demux_class_init(TolmWavDemuxClass *klass)
{
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &wavSinkTemplate); // replaces the inherited "sink"
    gst_element_class_set_static_metadata(element, "WAV reader (libsndfile)", "Codec/Demuxer/Audio",
        "Reads WAV files whose chunks do not end with the file", "TOLM Audio Converter");
}

// The parent made its sink pad from its own template; this one takes WAV.
void tolm_wav_demux_init(TolmWavDemux *wav)
{
    TolmSndfileDemux *demux = &wav->parent;
    gst_element_remove_pad(GST_ELEMENT(demux), demux->sinkPad);
    addSinkPad(demux, &wavSinkTemplate);
}

} // namespace

gboolean tolmRegisterSndfileDemux(GstPlugin *plugin)
{
    return gst_element_register(plugin, "tolmsndfiledemux", GST_RANK_PRIMARY, tolm_sndfile_demux_get_type())
        && gst_element_register(plugin, "tolmwavdemux", GST_RANK_NONE, tolm_wav_demux_get_type());
}
