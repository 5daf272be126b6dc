#include "videoframesink.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <memory>

namespace {

// Bytes B, G, R, x in memory are what QImage::Format_RGB32 reads on a little-endian machine.
constexpr const char *kFrameCaps
    = G_BYTE_ORDER == G_LITTLE_ENDIAN ? "video/x-raw,format=BGRx" : "video/x-raw,format=xRGB";

void unmapFrame(void *frame)
{
    auto *mapped = static_cast<GstVideoFrame *>(frame);
    gst_video_frame_unmap(mapped);
    delete mapped;
}

} // namespace

VideoFrameSink::VideoFrameSink(QObject *parent)
    : QObject(parent)
{
    GError *error = nullptr;
    const std::string description = std::string("videoconvert ! appsink name=frames caps=") + kFrameCaps;
    GstElement *bin = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
    media::ErrorPtr errorGuard(error);
    if (!bin)
        return;
    m_bin.reset(GST_ELEMENT(gst_object_ref_sink(bin)));

    media::ElementPtr appSink(gst_bin_get_by_name(GST_BIN(bin), "frames"));
    // Two buffers and drop: a late GUI never delays the decoder; qos lets it skip frames.
    g_object_set(appSink.get(), "max-buffers", 2u, "drop", TRUE, "sync", TRUE, "qos", TRUE, "enable-last-sample", FALSE,
        nullptr);
    GstAppSinkCallbacks callbacks {};
    callbacks.new_preroll = [](GstAppSink *sink, gpointer self) { return onNewPreroll(GST_ELEMENT(sink), self); };
    callbacks.new_sample = [](GstAppSink *sink, gpointer self) { return onNewSample(GST_ELEMENT(sink), self); };
    gst_app_sink_set_callbacks(GST_APP_SINK(appSink.get()), &callbacks, this, nullptr);
}

// Runs on a GStreamer streaming thread: only hand over.
GstFlowReturn VideoFrameSink::onNewPreroll(GstElement *appSink, gpointer self)
{
    if (GstSample *sample = gst_app_sink_pull_preroll(GST_APP_SINK(appSink)))
        static_cast<VideoFrameSink *>(self)->offer(media::SamplePtr(sample));
    return GST_FLOW_OK;
}

// Runs on a GStreamer streaming thread: only hand over.
GstFlowReturn VideoFrameSink::onNewSample(GstElement *appSink, gpointer self)
{
    if (GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(appSink)))
        static_cast<VideoFrameSink *>(self)->offer(media::SamplePtr(sample));
    return GST_FLOW_OK;
}

void VideoFrameSink::offer(media::SamplePtr sample)
{
    std::lock_guard lock(m_mutex);
    m_newest = std::move(sample);
    if (m_takeQueued)
        return;
    m_takeQueued = true;
    QMetaObject::invokeMethod(this, &VideoFrameSink::takeNewest, Qt::QueuedConnection);
}

void VideoFrameSink::takeNewest()
{
    media::SamplePtr sample;
    {
        std::lock_guard lock(m_mutex);
        sample = std::move(m_newest);
        m_takeQueued = false;
    }
    if (!sample)
        return;
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample.get());
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())))
        return;
    auto frame = std::make_unique<GstVideoFrame>();
    if (!gst_video_frame_map(frame.get(), &info, buffer, GST_MAP_READ))
        return;
    // The image reads the mapped frame in place; the frame stays mapped until the image's
    // last copy is gone.
    GstVideoFrame *mapped = frame.get();
    const QImage image(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(mapped, 0)), GST_VIDEO_FRAME_WIDTH(mapped),
        GST_VIDEO_FRAME_HEIGHT(mapped), GST_VIDEO_FRAME_PLANE_STRIDE(mapped, 0), QImage::Format_RGB32, unmapFrame,
        frame.release());
    const double parN = GST_VIDEO_INFO_PAR_N(&info);
    const double parD = GST_VIDEO_INFO_PAR_D(&info) > 0 ? GST_VIDEO_INFO_PAR_D(&info) : 1;
    const double aspect = image.height() > 0 ? image.width() * (parN > 0 ? parN : 1) / (image.height() * parD) : 1.0;
    Q_EMIT frameReady(image, aspect);
}
