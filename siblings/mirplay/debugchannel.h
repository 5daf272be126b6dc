#pragma once

#include "previewpipeline.h"

#include <QObject>
#include <QTimer>

// Lines about the player's state and position on standard error, for tests and for
// finding faults; silent unless TOLM_MIRPLAY_DEBUG is set. While playing it reports the
// position four times a second; paused, at the end or failed it reports nothing more, so it
// wakes nothing up then.
class DebugChannel : public QObject
{
    Q_OBJECT

public:
    // Null unless the environment asks for it.
    static DebugChannel *create(PreviewPipeline *pipeline);

    void line(const QByteArray &text);

private:
    explicit DebugChannel(PreviewPipeline *pipeline);
    void reportPhase(PreviewPipeline::Phase phase);

    PreviewPipeline *m_pipeline;
    QTimer m_positionTimer;
};
