#include "mp4demux.h"

#include "mp4movie.h"
#include "mp4samples.h"
#include "mp4tags.h"
#include "pullmode.h"

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.
// Threads: the file is read when the sink pad activates (on the thread changing the state)
// and then on the sink pad's task, which sends the samples; a seek from downstream stops
// the task (taking its stream lock) before it moves.

namespace {

// Read ahead of the samples, so a frame of a few hundred bytes does not cost a read each.
constexpr guint kReadAhead = 64 * 1024;
// Far more than any AAC frame can hold (768 bytes a channel): a larger one is corrupt.
constexpr guint32 kMaxSampleSize = 256 * 1024;
// Frames sent ahead of where the output starts: the decoder gives the first frame after a
// start or a flush as silence, and its overlap needs the one before.
constexpr guint32 kLeadInFrames = 2;

struct TolmMp4Demux
{
    GstElement parent;
    GstPad *sinkPad;
    GstPad *srcPad; // created once the movie is read
    Mp4Input input;
    Mp4Movie movie;
    Mp4Samples samples;
    gboolean ready; // movie read, samples set up
    gboolean atEnd; // no samples left
    Mp4Step failure; // why the samples stopped, when not by their end

    GstClockTime mediaStart; // where the presentation starts, on the media's clock
    GstClockTime mediaStop; // and where it ends
    GstClockTime duration; // of the presentation
    GstSegment segment; // the presentation's timeline, as seeks set it
    GstSegment output; // the same on the media's clock, as the samples are stamped
    gboolean needSegment;
    gboolean discont;
    gboolean pushed; // a sample went out since the element started
    guint32 seqnum; // of the seek the current segment comes from

    GstBuffer *cache; // read ahead of the samples
    guint64 cacheOffset;
    GstTagList *tags;
};

struct TolmMp4DemuxClass
{
    GstElementClass parent;
};

GType tolm_mp4_demux_get_type();
G_DEFINE_TYPE(TolmMp4Demux, tolm_mp4_demux, GST_TYPE_ELEMENT)

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/quicktime; audio/x-m4a; application/x-3gp"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("audio/mpeg, mpegversion = (int) { 2, 4 }, stream-format = (string) raw, "
                    "framed = (boolean) true; audio/mpeg, mpegversion = (int) 1; audio/x-alac"));

TolmMp4Demux *self(gpointer object)
{
    return reinterpret_cast<TolmMp4Demux *>(object);
}

GstClockTime mediaToNs(const TolmMp4Demux *demux, guint64 time)
{
    return gst_util_uint64_scale(time, GST_SECOND, demux->movie.audio.timescale);
}

// The presentation's place on the media's clock: the edit list's, or the whole media.
// Converted to nanoseconds the way GStreamer's own MP4 reader does, so both cut the
// decoded audio at the same samples.
gboolean setTimeline(TolmMp4Demux *demux)
{
    const Mp4Track &track = demux->movie.audio;
    guint64 total = track.mediaDuration;
    if (total == 0 || (track.hasEdit && track.editDuration == 0))
        if (mp4SamplesTotalTime(&demux->samples, &total) != Mp4Step::Ok)
            return FALSE;
    if (track.hasEdit) {
        demux->mediaStart = mediaToNs(demux, track.editMediaTime);
        if (track.editDuration > 0)
            demux->duration = gst_util_uint64_scale(track.editDuration, GST_SECOND, track.movieTimescale);
        else
            demux->duration = total > track.editMediaTime ? mediaToNs(demux, total - track.editMediaTime) : 0;
    } else {
        demux->mediaStart = 0;
        demux->duration = mediaToNs(demux, total);
    }
    demux->mediaStop = demux->mediaStart + demux->duration;
    gst_segment_init(&demux->segment, GST_FORMAT_TIME);
    demux->segment.duration = demux->duration;
    return TRUE;
}

// Turns the presentation segment into the output one and moves the samples to where
// they must start. Holds the stream lock, or runs before the task starts.
void placeOutput(TolmMp4Demux *demux)
{
    const GstSegment &presentation = demux->segment;
    GstClockTime stop = demux->mediaStop;
    if (GST_CLOCK_TIME_IS_VALID(presentation.stop))
        stop = MIN(stop, demux->mediaStart + presentation.stop);
    const GstClockTime start = MIN(demux->mediaStart + presentation.start, stop);
    gst_segment_init(&demux->output, GST_FORMAT_TIME);
    demux->output.rate = presentation.rate;
    demux->output.applied_rate = presentation.applied_rate;
    demux->output.flags = presentation.flags;
    demux->output.base = presentation.base;
    demux->output.start = start;
    demux->output.stop = stop;
    demux->output.time = presentation.start;
    demux->output.position = start;

    const guint64 mediaTime = gst_util_uint64_scale(start, demux->movie.audio.timescale, GST_SECOND);
    guint32 index = 0;
    Mp4Step step = mp4SamplesIndexAt(&demux->samples, mediaTime, &index);
    if (step == Mp4Step::Ok)
        step = mp4SamplesSeek(&demux->samples, index > kLeadInFrames ? index - kLeadInFrames : 0);
    demux->atEnd = step != Mp4Step::Ok;
    demux->failure = step == Mp4Step::End ? Mp4Step::Ok : step;
    demux->needSegment = TRUE;
    demux->discont = TRUE;
    gst_clear_buffer(&demux->cache);
}

void releaseMovie(TolmMp4Demux *demux)
{
    if (demux->ready)
        mp4SamplesClear(&demux->samples);
    demux->ready = FALSE;
    gst_clear_buffer(&demux->cache);
    removeOutput(GST_ELEMENT(demux), &demux->srcPad, &demux->tags);
    demux->pushed = FALSE;
}

// Reads the movie while the sink pad activates: a file we do not read cleanly is refused
// here, before any pad exists, so the bin that plugged us can try another demuxer.
gboolean openMovie(TolmMp4Demux *demux)
{
    releaseMovie(demux);
    demux->input.pad = demux->sinkPad;
    gint64 length = -1;
    if (!gst_pad_peer_query_duration(demux->sinkPad, GST_FORMAT_BYTES, &length) || length <= 0)
        return FALSE;
    demux->input.size = static_cast<guint64>(length);
    if (mp4ReadMovie(&demux->input, &demux->movie) != Mp4Verdict::Ok) {
        GST_INFO_OBJECT(demux, "not a file we read; leaving it to another demuxer");
        return FALSE;
    }
    mp4SamplesInit(&demux->samples, &demux->input, &demux->movie.audio);
    demux->ready = TRUE;
    if (!setTimeline(demux)) {
        releaseMovie(demux);
        return FALSE;
    }
    placeOutput(demux);
    if (demux->failure != Mp4Step::Ok) {
        releaseMovie(demux);
        return FALSE;
    }
    demux->tags = mp4ReadTags(&demux->input, &demux->movie);
    return TRUE;
}

gboolean srcQuery(GstPad *pad, GstObject *parent, GstQuery *query)
{
    TolmMp4Demux *demux = self(parent);
    GstFormat format;
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION:
        gst_query_parse_duration(query, &format, nullptr);
        if (format != GST_FORMAT_TIME || !demux->ready)
            return FALSE;
        gst_query_set_duration(query, GST_FORMAT_TIME, static_cast<gint64>(demux->duration));
        return TRUE;
    case GST_QUERY_POSITION:
        gst_query_parse_position(query, &format, nullptr);
        if (format != GST_FORMAT_TIME || !demux->ready)
            return FALSE;
        gst_query_set_position(query, GST_FORMAT_TIME, static_cast<gint64>(demux->segment.position));
        return TRUE;
    case GST_QUERY_SEEKING:
        gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
        if (format != GST_FORMAT_TIME)
            return FALSE;
        gst_query_set_seeking(query, GST_FORMAT_TIME, demux->ready, 0, static_cast<gint64>(demux->duration));
        return TRUE;
    default:
        return gst_pad_query_default(pad, parent, query);
    }
}

void loop(gpointer data);

gboolean performSeek(TolmMp4Demux *demux, GstEvent *event)
{
    const SeekRequest seek = parseSeek(event);
    if (seek.format != GST_FORMAT_TIME || seek.rate <= 0 || !demux->ready)
        return FALSE;

    const gboolean flushing = seek.flags & GST_SEEK_FLAG_FLUSH;
    const guint32 seqnum = gst_event_get_seqnum(event);
    beginSeek(demux->sinkPad, demux->srcPad, flushing, seqnum);

    applySeek(&demux->segment, seek);
    if (flushing)
        endFlush(demux->sinkPad, demux->srcPad, seqnum);
    placeOutput(demux);
    demux->seqnum = seqnum;
    endSeek(demux->sinkPad, loop, demux);
    return TRUE;
}

GstCaps *trackCaps(const Mp4Track &track)
{
    // MPEG audio goes on as not yet parsed: GStreamer's MPEG audio parser in front of its
    // decoder then reads the layer from the frames, and the encoder's delay and padding
    // from the first one, as it does for a plain MP3 file.
    if (mp4IsMpegAudio(track.objectType))
        return gst_caps_new_simple("audio/mpeg", "mpegversion", G_TYPE_INT, 1, "parsed", G_TYPE_BOOLEAN, FALSE, "rate",
            G_TYPE_INT, track.rate, "channels", G_TYPE_INT, track.channels, nullptr);
    GstBuffer *config = gst_buffer_new_memdup(track.config, track.configSize);
    if (mp4IsAlac(track.objectType)) {
        // The whole 'alac' box as codec data, as other MP4 readers give it.
        GstCaps *caps = gst_caps_new_simple("audio/x-alac", "codec_data", GST_TYPE_BUFFER, config, "rate", G_TYPE_INT,
            track.rate, "channels", G_TYPE_INT, track.channels, nullptr);
        gst_buffer_unref(config);
        return caps;
    }
    // MPEG-2 AAC keeps its own version number, as the caps of other MP4 readers say.
    GstCaps *caps = gst_caps_new_simple("audio/mpeg", "mpegversion", G_TYPE_INT, track.objectType == 0x40 ? 4 : 2,
        "framed", G_TYPE_BOOLEAN, TRUE, "stream-format", G_TYPE_STRING, "raw", "codec_data", GST_TYPE_BUFFER, config,
        "rate", G_TYPE_INT, track.rate, "channels", G_TYPE_INT, track.channels, nullptr);
    gst_buffer_unref(config);
    return caps;
}

void addSourcePad(TolmMp4Demux *demux)
{
    GstCaps *caps = trackCaps(demux->movie.audio);

    demux->srcPad = gst_pad_new_from_static_template(&srcTemplate, "audio_0");
    gst_pad_set_query_function(demux->srcPad, srcQuery);
    gst_pad_set_event_function(demux->srcPad, (seekingSrcEvent<TolmMp4Demux, performSeek>));
    gst_pad_use_fixed_caps(demux->srcPad);
    gst_pad_set_active(demux->srcPad, TRUE);
    gchar *streamId = gst_pad_create_stream_id(demux->srcPad, GST_ELEMENT(demux), "audio");
    GstEvent *streamStart = gst_event_new_stream_start(streamId);
    gst_event_set_group_id(streamStart, gst_util_group_id_next());
    gst_pad_push_event(demux->srcPad, streamStart);
    g_free(streamId);
    gst_pad_set_caps(demux->srcPad, caps);
    gst_caps_unref(caps);
    gst_element_add_pad(GST_ELEMENT(demux), demux->srcPad);
    gst_element_no_more_pads(GST_ELEMENT(demux));
}

void pauseWith(TolmMp4Demux *demux, GstFlowReturn flow)
{
    gst_pad_pause_task(demux->sinkPad);
    if (flow == GST_FLOW_EOS) {
        if (demux->segment.flags & GST_SEGMENT_FLAG_SEGMENT) {
            const GstClockTime end = demux->output.stop;
            GstMessage *done = gst_message_new_segment_done(GST_OBJECT(demux), GST_FORMAT_TIME,
                static_cast<gint64>(GST_CLOCK_TIME_IS_VALID(end) ? end - demux->mediaStart : demux->duration));
            gst_message_set_seqnum(done, demux->seqnum);
            gst_element_post_message(GST_ELEMENT(demux), done);
        } else {
            GstEvent *eos = gst_event_new_eos();
            if (demux->seqnum)
                gst_event_set_seqnum(eos, demux->seqnum);
            gst_pad_push_event(demux->srcPad, eos);
        }
    } else if (flow == GST_FLOW_NOT_LINKED || flow < GST_FLOW_EOS) {
        GST_ELEMENT_FLOW_ERROR(demux, flow);
        gst_pad_push_event(demux->srcPad, gst_event_new_eos());
    }
}

void failCorrupt(TolmMp4Demux *demux, const char *what)
{
    GST_ELEMENT_ERROR(demux, STREAM, DEMUX, (nullptr), ("%s", what));
    pauseWith(demux, GST_FLOW_ERROR);
}

// The current sample's bytes, from the read-ahead where it holds them.
GstFlowReturn readSample(TolmMp4Demux *demux, GstBuffer **sample)
{
    const guint64 offset = demux->samples.offset;
    const guint32 size = demux->samples.size;
    if (offset > demux->input.size || size > demux->input.size - offset)
        return GST_FLOW_EOS; // the file ends before the sample does
    if (!demux->cache || offset < demux->cacheOffset
        || offset + size > demux->cacheOffset + gst_buffer_get_size(demux->cache)) {
        gst_clear_buffer(&demux->cache);
        const guint length = static_cast<guint>(MIN(guint64(MAX(size, kReadAhead)), demux->input.size - offset));
        const GstFlowReturn flow = gst_pad_pull_range(demux->sinkPad, offset, length, &demux->cache);
        if (flow != GST_FLOW_OK)
            return flow;
        demux->cacheOffset = offset;
        if (gst_buffer_get_size(demux->cache) < size)
            return GST_FLOW_EOS;
    }
    *sample = gst_buffer_copy_region(demux->cache, GST_BUFFER_COPY_MEMORY, offset - demux->cacheOffset, size);
    return *sample ? GST_FLOW_OK : GST_FLOW_ERROR;
}

void loop(gpointer data)
{
    TolmMp4Demux *demux = self(data);
    if (!demux->srcPad)
        addSourcePad(demux);
    if (demux->needSegment) {
        GstEvent *segment = gst_event_new_segment(&demux->output);
        if (demux->seqnum)
            gst_event_set_seqnum(segment, demux->seqnum);
        gst_pad_push_event(demux->srcPad, segment);
        if (demux->tags && !gst_tag_list_is_empty(demux->tags))
            gst_pad_push_event(demux->srcPad, gst_event_new_tag(gst_tag_list_ref(demux->tags)));
        demux->needSegment = FALSE;
    }

    if (demux->failure == Mp4Step::ReadFailed) {
        pauseWith(demux, demux->input.flow == GST_FLOW_OK ? GST_FLOW_ERROR : demux->input.flow);
        return;
    }
    if (demux->failure == Mp4Step::Corrupt) {
        failCorrupt(demux, "the sample tables contradict themselves");
        return;
    }
    const Mp4Samples &samples = demux->samples;
    const GstClockTime pts = mediaToNs(demux, samples.time);
    if (demux->atEnd || pts >= demux->output.stop) {
        pauseWith(demux, GST_FLOW_EOS);
        return;
    }
    if (samples.size > kMaxSampleSize) {
        failCorrupt(demux, "a sample larger than any audio frame");
        return;
    }

    GstFlowReturn flow = GST_FLOW_OK;
    if (samples.size > 0) {
        GstBuffer *buffer = nullptr;
        flow = readSample(demux, &buffer);
        if (flow == GST_FLOW_EOS && !demux->pushed) {
            failCorrupt(demux, "no sample lies within the file");
            return;
        }
        if (flow != GST_FLOW_OK) {
            pauseWith(demux, flow); // a file cut short ends where its samples do
            return;
        }
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DTS(buffer) = pts;
        GST_BUFFER_DURATION(buffer) = mediaToNs(demux, samples.time + samples.delta) - pts;
        if (demux->discont) {
            GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
            demux->discont = FALSE;
        }
        if (pts >= demux->mediaStart)
            demux->segment.position = pts - demux->mediaStart;
        demux->pushed = TRUE;
        flow = gst_pad_push(demux->srcPad, buffer);
    }

    const Mp4Step step = mp4SamplesNext(&demux->samples);
    if (step == Mp4Step::End)
        demux->atEnd = TRUE;
    else if (step != Mp4Step::Ok)
        demux->failure = step;
    if (flow != GST_FLOW_OK)
        pauseWith(demux, flow);
}

gboolean sinkActivate(GstPad *pad, GstObject *)
{
    // The tables and the samples lie anywhere in the file: without random access, leave
    // the stream to a demuxer that reads in order.
    return activatePullMode(pad);
}

gboolean sinkActivateMode(GstPad *pad, GstObject *parent, GstPadMode mode, gboolean active)
{
    if (mode != GST_PAD_MODE_PULL)
        return FALSE;
    if (!active)
        return gst_pad_stop_task(pad);
    TolmMp4Demux *demux = self(parent);
    return openMovie(demux) && gst_pad_start_task(pad, loop, demux, nullptr);
}

GstStateChangeReturn changeState(GstElement *element, GstStateChange transition)
{
    const GstStateChangeReturn result
        = GST_ELEMENT_CLASS(tolm_mp4_demux_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        releaseMovie(self(element)); // the task has stopped by now
    return result;
}

void tolm_mp4_demux_class_init(TolmMp4DemuxClass *klass)
{
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "MPEG-4 audio reader", "Codec/Demuxer/Audio",
        "Reads the first AAC or MPEG audio track of MPEG-4 files with bounded memory", "TOLM Audio Converter");
    element->change_state = changeState;
}

void tolm_mp4_demux_init(TolmMp4Demux *demux)
{
    demux->sinkPad = gst_pad_new_from_static_template(&sinkTemplate, "sink");
    gst_pad_set_activate_function(demux->sinkPad, sinkActivate);
    gst_pad_set_activatemode_function(demux->sinkPad, sinkActivateMode);
    gst_element_add_pad(GST_ELEMENT(demux), demux->sinkPad);
    demux->srcPad = nullptr;
    demux->ready = FALSE;
    demux->cache = nullptr;
    demux->tags = nullptr;
    demux->seqnum = 0;
    gst_segment_init(&demux->segment, GST_FORMAT_TIME);
    gst_segment_init(&demux->output, GST_FORMAT_TIME);
}

} // namespace

gboolean tolmRegisterMp4Demux(GstPlugin *plugin)
{
    // No rank: players plug GStreamer's own MP4 reader, which also shows video. The
    // transcoder asks for this one by name (see media/demuxerchoice.h).
    return gst_element_register(plugin, "tolmmp4demux", GST_RANK_NONE, tolm_mp4_demux_get_type());
}
