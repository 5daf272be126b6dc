#pragma once

#include <QString>

// Where a row of a batch stands. The Status column shows it in the texts users have always
// seen: "ready" before a row's turn, its percentage while (and after an interrupted) conversion,
// "100%" once converted and " -  -  -  " when it failed or was refused.
enum class RowState {
    Ready, // not part of a running batch
    Waiting, // in the running batch, its turn not come yet
    Converting, // its transcoder runs
    Stopped, // its conversion was given up with the batch; converts again at the next Start
    Done,
    Failed, // the transcoder failed, or its transcoder could not be started
    Refused, // judged unconvertible before any transcoder ran
};

struct RowStatus
{
    RowState state = RowState::Ready;
    int percent = 0; // Converting and Stopped: the last percentage reached
    QString reason; // Failed and Refused: why, in the transcoder's or the engine's words

    static RowStatus converting(int percent) { return { RowState::Converting, percent, {} }; }
    static RowStatus failed(const QString &why) { return { RowState::Failed, 0, why }; }
    static RowStatus refused(const QString &why) { return { RowState::Refused, 0, why }; }

    bool isDone() const { return state == RowState::Done; }
    // In the batch that runs now, started or not.
    bool isPending() const { return state == RowState::Waiting || state == RowState::Converting; }
    QString text() const;

    friend bool operator==(const RowStatus &, const RowStatus &) = default;
};
