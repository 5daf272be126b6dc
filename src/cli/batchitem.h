#pragma once

#include "batch/rowstatus.h"
#include "cli/batchsources.h"
#include "core/startrecord.h"

#include <QString>

// One file of a run, from its examination by the probe to its end.
struct BatchItem
{
    enum class State { Waiting, Probing, Probed, Converting, Converted, Skipped, Failed };

    BatchSource source;
    State state = State::Waiting;
    TStartRecord job;
    RowStatus status; // the row status the engine wrote last
    QString reason; // why it failed
    int totalSeconds = 0; // the length to convert
    int positionSeconds = 0; // how far the transcoder is

    bool ended() const { return state == State::Converted || state == State::Skipped || state == State::Failed; }
};
