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
