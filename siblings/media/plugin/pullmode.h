#pragma once

#include <gst/gst.h>

// Shared by our demuxers, which read their input in pull mode from a task on the sink pad.

// Activates the sink pad in pull mode when upstream gives random access; FALSE otherwise,
// so decodebin can go on to a demuxer that reads in order.
inline gboolean activatePullMode(GstPad *sinkPad)
{
    GstQuery *query = gst_query_new_scheduling();
    const gboolean pull = gst_pad_peer_query(sinkPad, query)
        && gst_query_has_scheduling_mode_with_flags(query, GST_PAD_MODE_PULL, GST_SCHEDULING_FLAG_SEEKABLE);
    gst_query_unref(query);
    return pull && gst_pad_activate_mode(sinkPad, GST_PAD_MODE_PULL, TRUE);
}

// A seek's first half: a flushing seek flushes both ways, which makes the task stop where
// it is; otherwise the task is paused. Then the stream lock is taken, so the task is not
// running while the caller moves the position. Seeks come in through srcPad, so it exists.
inline void beginSeek(GstPad *sinkPad, GstPad *srcPad, gboolean flushing, guint32 seqnum)
{
    if (flushing) {
        GstEvent *flushStart = gst_event_new_flush_start();
        gst_event_set_seqnum(flushStart, seqnum);
        gst_pad_push_event(srcPad, gst_event_ref(flushStart));
        gst_pad_push_event(sinkPad, flushStart);
    } else {
        gst_pad_pause_task(sinkPad);
    }
    GST_PAD_STREAM_LOCK(sinkPad);
}

// Ends the flush begun by beginSeek, still under the stream lock.
inline void endFlush(GstPad *sinkPad, GstPad *srcPad, guint32 seqnum)
{
    GstEvent *flushStop = gst_event_new_flush_stop(TRUE);
    gst_event_set_seqnum(flushStop, seqnum);
    gst_pad_push_event(srcPad, gst_event_ref(flushStop));
    gst_pad_push_event(sinkPad, flushStop);
}

// A seek event's values, as gst_event_parse_seek gives them.
struct SeekRequest
{
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType startType, stopType;
    gint64 start, stop;
};

inline SeekRequest parseSeek(GstEvent *event)
{
    SeekRequest seek;
    gst_event_parse_seek(
        event, &seek.rate, &seek.format, &seek.flags, &seek.startType, &seek.start, &seek.stopType, &seek.stop);
    return seek;
}

// Moves the segment as the seek asks.
inline void applySeek(GstSegment *segment, const SeekRequest &seek)
{
    gboolean update;
    gst_segment_do_seek(
        segment, seek.rate, seek.format, seek.flags, seek.startType, seek.start, seek.stopType, seek.stop, &update);
}

// A seek's last half: the task starts again from the new position, the stream lock goes.
inline void endSeek(GstPad *sinkPad, GstTaskFunction loop, gpointer demux)
{
    gst_pad_start_task(sinkPad, loop, demux, nullptr);
    GST_PAD_STREAM_UNLOCK(sinkPad);
}

// The source pad's events: a seek is the demuxer's own (performSeek), the rest go the
// default way.
template <typename Demux, gboolean (*performSeek)(Demux *, GstEvent *)>
gboolean seekingSrcEvent(GstPad *pad, GstObject *parent, GstEvent *event)
{
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
        const gboolean done = performSeek(reinterpret_cast<Demux *>(parent), event);
        gst_event_unref(event);
        return done;
    }
    return gst_pad_event_default(pad, parent, event);
}

// Drops what a demuxer made for its input: the tags it read and its source pad.
inline void removeOutput(GstElement *demux, GstPad **srcPad, GstTagList **tags)
{
    if (*tags)
        gst_tag_list_unref(*tags);
    *tags = nullptr;
    if (*srcPad) {
        gst_element_remove_pad(demux, *srcPad);
        *srcPad = nullptr;
    }
}
