#pragma once

#include "cli/batchsources.h"
#include "core/startrecord.h"
#include "platform/childprocess.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

// One file of a run, from its examination by the probe to its end.
struct BatchItem
{
    enum class State { Waiting, Probing, Probed, Converting, Converted, Skipped, Failed };

    BatchSource source;
    State state = State::Waiting;
    TStartRecord job;
    QString reason; // why it failed
    int totalSeconds = 0; // the length to convert
    int positionSeconds = 0; // how far the transcoder is
    std::unique_ptr<ChildProcess> child;
    QString pending; // text of the child not yet judged (the part after the last line end)
    QString probeText; // everything the probe wrote
    QString scratchPath; // the one-millisecond file the probe writes
    bool reportedSuccess = false;
    QElapsedTimer clock; // since the child started

    bool ended() const { return state == State::Converted || state == State::Skipped || state == State::Failed; }
};
