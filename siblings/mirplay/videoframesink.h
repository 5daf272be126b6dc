#pragma once

#include "media/gstptr.h"

#include <QImage>
#include <QObject>

#include <mutex>

// The video end of the preview: converts decoded frames to 32-bit RGB and hands the newest
// one to the GUI thread as a QImage that shares the decoder's memory. Older frames that the
// GUI thread has not taken yet are dropped, so a slow paint never builds a queue.
class VideoFrameSink : public QObject
{
    Q_OBJECT

public:
    explicit VideoFrameSink(QObject *parent = nullptr);

    // The bin to give playbin as its video sink; null if an element is missing.
    GstElement *element() const { return m_bin.get(); }

Q_SIGNALS:
    // aspect is the picture's display width over its height.
    void frameReady(const QImage &frame, double aspect);

private:
    static GstFlowReturn onNewPreroll(GstElement *appSink, gpointer self);
    static GstFlowReturn onNewSample(GstElement *appSink, gpointer self);
    void offer(media::SamplePtr sample);
    void takeNewest();

    media::ElementPtr m_bin;
    std::mutex m_mutex; // guards the two below: offer() runs on a GStreamer streaming thread
    media::SamplePtr m_newest;
    bool m_takeQueued = false;
};
