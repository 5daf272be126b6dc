#pragma once

#include "media/gstptr.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class VideoFrameSink;

// Plays one file from an offset, on playbin: video frames go to a VideoFrameSink, the
// sound to the desktop (or a silent real-time sink), and for files without a picture a
// spectrum of the sound is reported instead. All its signals come on the GUI thread.
class PreviewPipeline : public QObject
{
    Q_OBJECT

public:
    enum class Phase { Idle, Starting, Seeking, Playing, Paused, Ended, Failed };
    Q_ENUM(Phase)

    explicit PreviewPipeline(QObject *parent = nullptr);
    ~PreviewPipeline() override;

    void start(const QString &file, double startSeconds);
    // Playing and paused swap; a pause asked for while starting holds once it can play.
    void togglePause();

    Phase phase() const { return m_phase; }
    double positionSeconds() const;
    bool soundToDevice() const { return m_soundToDevice; }

Q_SIGNALS:
    void phaseChanged(PreviewPipeline::Phase phase);
    // Known once the file is open: true when there is video we can decode.
    void pictureKnown(bool video);
    void frameReady(const QImage &frame, double aspect);
    // Band levels from 0 (silent) to 1, low frequencies first.
    void spectrumReady(const QList<float> &levels);
    // A reason for the debug channel; the window only says the file cannot be played.
    void failed(const QString &reason);

private:
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);
    void handleMessage(GstMessage *message);
    void handleAsyncDone();
    void handleError(GstMessage *message);
    void handleSpectrum(const GstStructure *structure);
    void build(bool silent);
    void tearDown();
    void play();
    void setPhase(Phase phase);
    void fail(const QString &reason);

    QString m_file;
    double m_startSeconds = 0.0;
    Phase m_phase = Phase::Idle;
    // Counts pipelines built, so a message or check queued for an earlier one is dropped.
    // Read on GStreamer threads, written only while no pipeline runs.
    std::atomic<int> m_generation = 0;
    bool m_pauseWanted = false;
    bool m_hasVideo = false;
    bool m_soundToDevice = false;
    media::ElementPtr m_playbin;
    GstElement *m_audioSink = nullptr; // owned by m_playbin
    GstElement *m_spectrum = nullptr; // owned by m_playbin
    VideoFrameSink *m_videoSink = nullptr; // child QObject, rebuilt with the pipeline
    QTimer m_openWatchdog;
};
