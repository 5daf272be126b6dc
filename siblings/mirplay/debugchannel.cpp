#include "debugchannel.h"

#include <QMetaEnum>

#include <cstdio>

namespace {

constexpr int kPositionIntervalMs = 250;

QByteArray seconds(double value)
{
    return QByteArray::number(value, 'f', 3);
}

} // namespace

DebugChannel *DebugChannel::create(PreviewPipeline *pipeline)
{
    if (qEnvironmentVariableIntValue("TOLM_MIRPLAY_DEBUG") == 0)
        return nullptr;
    return new DebugChannel(pipeline);
}

DebugChannel::DebugChannel(PreviewPipeline *pipeline)
    : QObject(pipeline)
    , m_pipeline(pipeline)
{
    m_positionTimer.setInterval(kPositionIntervalMs);
    connect(&m_positionTimer, &QTimer::timeout, this,
        [this] { line("position=" + seconds(m_pipeline->positionSeconds())); });
    connect(pipeline, &PreviewPipeline::phaseChanged, this, &DebugChannel::reportPhase);
    connect(pipeline, &PreviewPipeline::pictureKnown, this,
        [this](bool video) { line(QByteArray("picture=") + (video ? "video" : "audio")); });
    connect(
        pipeline, &PreviewPipeline::failed, this, [this](const QString &reason) { line("failed " + reason.toUtf8()); });
}

void DebugChannel::line(const QByteArray &text)
{
    std::fprintf(stderr, "mirplay: %s\n", text.constData());
    std::fflush(stderr);
}

void DebugChannel::reportPhase(PreviewPipeline::Phase phase)
{
    const char *name = QMetaEnum::fromType<PreviewPipeline::Phase>().valueToKey(int(phase));
    QByteArray text = QByteArray("phase=") + QByteArray(name).toLower();
    if (phase == PreviewPipeline::Phase::Playing || phase == PreviewPipeline::Phase::Paused
        || phase == PreviewPipeline::Phase::Ended) {
        text += " position=" + seconds(m_pipeline->positionSeconds());
        text += m_pipeline->soundToDevice() ? " sound=device" : " sound=silent";
    }
    line(text);
    if (phase == PreviewPipeline::Phase::Playing)
        m_positionTimer.start();
    else
        m_positionTimer.stop();
}
