#include "previewpipeline.h"

#include "audiooutput.h"
#include "videoframesink.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// playbin's flags: decode video and audio; no subtitles, no visualisation of its own (we
// draw the sound ourselves), no software colour balance or deinterlacing stages.
constexpr guint kPlayVideo = 1u << 0;
constexpr guint kPlayAudio = 1u << 1;

// Spectrum: many narrow bands, grouped on screen; 20 pictures a second.
constexpr guint kSpectrumBands = 256;
constexpr int kSpectrumFloorDb = -80;
constexpr guint64 kSpectrumInterval = 50 * GST_MSECOND;

// A local file that has not opened by then will not open: show the message instead of an
// empty window.
constexpr int kOpenTimeoutMs = 15000;

media::ElementPtr makeSpectrumBin(GstElement **spectrum)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description("audioconvert ! spectrum name=spectrum", TRUE, &error);
    media::ErrorPtr errorGuard(error);
    if (!bin)
        return {};
    media::ElementPtr owned(GST_ELEMENT(gst_object_ref_sink(bin)));
    media::ElementPtr element(gst_bin_get_by_name(GST_BIN(bin), "spectrum"));
    g_object_set(element.get(), "bands", kSpectrumBands, "threshold", kSpectrumFloorDb, "interval", kSpectrumInterval,
        "post-messages", TRUE, "message-magnitude", TRUE, "multi-channel", FALSE, nullptr);
    *spectrum = element.get();
    return owned;
}

QString messageText(GstMessage *message)
{
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    media::ErrorPtr errorGuard(error);
    media::CharPtr debugGuard(debug);
    return error ? QString::fromUtf8(error->message) : u"unknown error"_s;
}

} // namespace

PreviewPipeline::PreviewPipeline(QObject *parent)
    : QObject(parent)
{
    m_openWatchdog.setSingleShot(true);
    m_openWatchdog.setInterval(kOpenTimeoutMs);
    connect(&m_openWatchdog, &QTimer::timeout, this, [this] { fail(u"the file did not open in time"_s); });
}

PreviewPipeline::~PreviewPipeline()
{
    tearDown();
}

void PreviewPipeline::start(const QString &file, double startSeconds)
{
    m_file = file;
    m_startSeconds = startSeconds;
    build(false);
}

void PreviewPipeline::build(bool silent)
{
    ++m_generation;
    setPhase(Phase::Starting);
    const QFileInfo info(m_file);
    if (!info.isFile() || !info.isReadable()) {
        fail(info.exists() ? u"not a readable file"_s : u"no such file"_s);
        return;
    }
    GstElement *playbin = gst_element_factory_make("playbin", "preview");
    if (!playbin) {
        fail(u"playbin is missing"_s);
        return;
    }
    m_playbin.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));

    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    media::CharPtr uri(g_filename_to_uri(path.constData(), nullptr, nullptr));
    if (!uri) {
        fail(u"the file name cannot be made a URI"_s);
        return;
    }

    AudioOutput audio = silent ? makeSilentAudioOutput() : makeDesktopAudioOutput();
    m_soundToDevice = audio.toDevice;
    m_audioSink = audio.element.get();
    media::ElementPtr spectrum = makeSpectrumBin(&m_spectrum);
    m_videoSink = new VideoFrameSink(this);
    connect(m_videoSink, &VideoFrameSink::frameReady, this, &PreviewPipeline::frameReady);

    g_object_set(
        playbin, "uri", uri.get(), "flags", kPlayVideo | kPlayAudio, "audio-sink", audio.element.get(), nullptr);
    if (m_videoSink->element())
        g_object_set(playbin, "video-sink", m_videoSink->element(), nullptr);
    if (spectrum)
        g_object_set(playbin, "audio-filter", spectrum.get(), nullptr);

    media::BusPtr bus(gst_element_get_bus(playbin));
    gst_bus_set_sync_handler(bus.get(), &PreviewPipeline::onBusMessage, this, nullptr);

    m_openWatchdog.start();
    const int generation = m_generation;
    if (gst_element_set_state(playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        // The error messages of the failure are queued already; they come first and may
        // still save the preview (a sound output that would not open). Otherwise it failed.
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_generation && m_phase == Phase::Starting)
                    fail(u"the file cannot be opened"_s);
            },
            Qt::QueuedConnection);
    }
}

void PreviewPipeline::tearDown()
{
    m_openWatchdog.stop();
    if (m_playbin) {
        // Going to NULL first joins the streaming threads, so no message or frame can still be
        // on its way to this object once the handler is detached.
        gst_element_set_state(m_playbin.get(), GST_STATE_NULL);
        media::BusPtr bus(gst_element_get_bus(m_playbin.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        m_playbin.reset();
    }
    m_audioSink = nullptr;
    m_spectrum = nullptr;
    delete m_videoSink;
    m_videoSink = nullptr;
}

// Runs on whichever thread posted the message: keep what the GUI thread needs and queue it.
GstBusSyncReply PreviewPipeline::onBusMessage(GstBus *, GstMessage *message, gpointer self)
{
    auto *pipeline = static_cast<PreviewPipeline *>(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ASYNC_DONE:
        break;
    case GST_MESSAGE_ELEMENT:
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(pipeline->m_spectrum))
            return GST_BUS_DROP;
        break;
    default:
        return GST_BUS_DROP;
    }
    std::shared_ptr<GstMessage> queued(gst_message_ref(message), gst_message_unref);
    const int generation = pipeline->m_generation;
    QMetaObject::invokeMethod(
        pipeline,
        [pipeline, queued, generation] {
            // A message of a pipeline that has since been torn down is stale.
            if (generation == pipeline->m_generation)
                pipeline->handleMessage(queued.get());
        },
        Qt::QueuedConnection);
    return GST_BUS_DROP;
}

void PreviewPipeline::handleMessage(GstMessage *message)
{
    if (!m_playbin || m_phase == Phase::Failed)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        handleError(message);
        break;
    case GST_MESSAGE_EOS:
        if (m_phase == Phase::Playing || m_phase == Phase::Paused || m_phase == Phase::Seeking) {
            // Nothing runs in a paused pipeline: the last picture stays and the processor rests.
            gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
            setPhase(Phase::Ended);
        }
        break;
    case GST_MESSAGE_ASYNC_DONE:
        handleAsyncDone();
        break;
    case GST_MESSAGE_ELEMENT:
        if (!m_hasVideo && m_phase == Phase::Playing)
            handleSpectrum(gst_message_get_structure(message));
        break;
    default:
        break;
    }
}

void PreviewPipeline::handleAsyncDone()
{
    if (m_phase == Phase::Starting) {
        m_openWatchdog.stop();
        gint videoStreams = 0;
        gint audioStreams = 0;
        g_object_get(m_playbin.get(), "n-video", &videoStreams, "n-audio", &audioStreams, nullptr);
        if (videoStreams == 0 && audioStreams == 0) {
            fail(u"no stream we can decode"_s);
            return;
        }
        m_hasVideo = videoStreams > 0;
        if (m_hasVideo && m_spectrum) // the video is the picture: no need to analyse the sound
            g_object_set(m_spectrum, "post-messages", FALSE, nullptr);
        Q_EMIT pictureKnown(m_hasVideo);
        if (m_startSeconds > 0.0) {
            // ACCURATE, not KEY_UNIT: the preview must start where the window program's
            // counter starts, not at the key frame before it.
            const auto target = static_cast<gint64>(std::llround(m_startSeconds * GST_SECOND));
            if (gst_element_seek_simple(m_playbin.get(), GST_FORMAT_TIME,
                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), target)) {
                setPhase(Phase::Seeking);
                return;
            }
        }
        play();
    } else if (m_phase == Phase::Seeking) {
        play();
    }
}

void PreviewPipeline::handleError(GstMessage *message)
{
    const bool fromSound = m_audioSink && GST_MESSAGE_SRC(message)
        && (GST_MESSAGE_SRC(message) == GST_OBJECT(m_audioSink)
            || gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(m_audioSink)));
    if (fromSound && m_soundToDevice) {
        // The sound output went away (or never worked): go on silently from where we were.
        const double position = m_phase == Phase::Starting ? m_startSeconds : positionSeconds();
        const bool pauseWanted = m_pauseWanted || m_phase == Phase::Paused;
        tearDown();
        m_startSeconds = position;
        m_pauseWanted = pauseWanted;
        build(true);
        return;
    }
    fail(messageText(message));
}

void PreviewPipeline::handleSpectrum(const GstStructure *structure)
{
    const GValue *magnitudes = structure ? gst_structure_get_value(structure, "magnitude") : nullptr;
    if (!magnitudes || !GST_VALUE_HOLDS_LIST(magnitudes))
        return;
    const guint bands = gst_value_list_get_size(magnitudes);
    QList<float> levels;
    levels.reserve(bands);
    for (guint i = 0; i < bands; ++i) {
        const float db = g_value_get_float(gst_value_list_get_value(magnitudes, i));
        levels.append(std::clamp((db - kSpectrumFloorDb) / -float(kSpectrumFloorDb), 0.0f, 1.0f));
    }
    Q_EMIT spectrumReady(levels);
}

void PreviewPipeline::play()
{
    if (m_pauseWanted) {
        setPhase(Phase::Paused);
        return;
    }
    if (gst_element_set_state(m_playbin.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        fail(u"the file cannot be played"_s);
        return;
    }
    setPhase(Phase::Playing);
}

void PreviewPipeline::togglePause()
{
    switch (m_phase) {
    case Phase::Playing:
        gst_element_set_state(m_playbin.get(), GST_STATE_PAUSED);
        setPhase(Phase::Paused);
        break;
    case Phase::Paused:
        m_pauseWanted = false;
        play();
        break;
    case Phase::Idle:
    case Phase::Starting:
    case Phase::Seeking:
        m_pauseWanted = !m_pauseWanted;
        break;
    case Phase::Ended:
    case Phase::Failed:
        break;
    }
}

double PreviewPipeline::positionSeconds() const
{
    gint64 position = 0;
    if (!m_playbin || !gst_element_query_position(m_playbin.get(), GST_FORMAT_TIME, &position))
        return m_startSeconds;
    return double(position) / GST_SECOND;
}

void PreviewPipeline::setPhase(Phase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged(phase);
}

void PreviewPipeline::fail(const QString &reason)
{
    tearDown();
    setPhase(Phase::Failed);
    Q_EMIT failed(reason);
}
