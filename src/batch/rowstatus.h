#pragma once

#include <QString>

// Where a row of a batch stands. The Status column shows it in the texts users have always
// seen: "ready" before a row's turn, its percentage while (and after an interrupted) conversion,
// "100%" once converted (or skipped: its output is there) and " -  -  -  " when it failed or
// was refused.
enum class RowState {
    Examining, // tolm-convert: its source is being examined, before it can be converted
    Ready, // not part of a running batch
    Waiting, // in the running batch, its turn not come yet
    Converting, // its transcoder runs
    Stopped, // its conversion was given up with the batch; converts again at the next Start
    Done,
    Failed, // the transcoder failed, or its transcoder could not be started
    Refused, // judged unconvertible before any transcoder ran
    Skipped, // tolm-convert --skip: its output was there already
};

struct RowStatus
{
    RowState state = RowState::Ready;
    int percent = 0; // Converting and Stopped: the last percentage reached
    QString reason; // Failed and Refused: why, in the transcoder's or the engine's words
    int position = 0; // Converting and Stopped: the seconds of output written

    static RowStatus in(RowState state) { return { state, 0, {}, 0 }; }
    static RowStatus converting(int percent, int position = 0)
    {
        return { RowState::Converting, percent, {}, position };
    }
    static RowStatus failed(const QString &why) { return { RowState::Failed, 0, why, 0 }; }
    static RowStatus refused(const QString &why) { return { RowState::Refused, 0, why, 0 }; }

    bool isDone() const { return state == RowState::Done; }
    // Converted, failed, refused or skipped: nothing more happens to it in this batch.
    bool hasEnded() const
    {
        return state == RowState::Done || state == RowState::Failed || state == RowState::Refused
            || state == RowState::Skipped;
    }
    QString text() const;

    friend bool operator==(const RowStatus &, const RowStatus &) = default;
};
