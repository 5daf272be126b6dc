#pragma once

#include "media/gstptr.h"

#include <gst/gst.h>

#include <mutex>
#include <vector>

namespace media {

// decodebin holds back the errors of an element it is still plugging in (from setting it to
// PAUSED until the state change returns), so that a reader that refuses a file can make way
// for the next one. When the state change succeeds, what it held back is thrown away: a
// demuxer whose streaming thread failed in that window (GStreamer's MP4 reader on a file
// without its index, its AVI reader pushing video nobody takes) then leaves the pipeline
// waiting with nothing on the bus. This watch sees every error as it is posted, before any
// bin can drop it, and tells which of them were lost that way.
class LostErrors
{
public:
    explicit LostErrors(GstElement *pipeline);
    ~LostErrors();
    LostErrors(const LostErrors &) = delete;
    LostErrors &operator=(const LostErrors &) = delete;

    // An error posted inside the pipeline by an element that is still in it and reached
    // PAUSED all the same: no bin tried anything else, so the error stands. Empty when there
    // is none. An error that did reach the bus is also returned here, which is harmless: the
    // caller fails on it either way.
    MessagePtr standing() const;

    // Runs on whichever thread posts: keeps a reference to an error from our pipeline.
    void notePosted(GstElement *element, GstMessage *message);

private:
    GstElement *m_pipeline; // not owned: the watch lives inside its owner's lifetime
    mutable std::mutex m_mutex;
    std::vector<MessagePtr> m_errors;
};

} // namespace media
