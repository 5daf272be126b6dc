#pragma once

#include "batch/queuerows.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ChildProcess;
class LogSink;
class RowConversion;

// Converts the rows of a batch, each by its own transcoder child, up to N of them at once, and
// follows every child from its own 100 ms timer and from the children's end signals. Widget-free
// and never waiting in an event loop of its own: start() returns at once and the batch's end is
// a signal. The window and tolm-convert both convert through it.
//
// With one transcoder at a time (the window's default) it behaves row after row as the queue
// always has: a row is Converting with its percentage, then Done or Failed, the progress of the running row, its
// text copied into the log as it arrives. With more, each row's text is written to the log in
// one piece under a line naming the row once it has ended, so texts never interleave.
class ConversionEngine : public QObject
{
    Q_OBJECT

public:
    ConversionEngine(QueueRows &rows, LogSink &log, QObject *parent = nullptr);
    ~ConversionEngine() override;

    // Ticks on this timer (the window's Timer1) in place of its own; it is started with a
    // batch and stopped at its end, so the timer runs exactly while the engine does.
    void useTickTimer(QTimer *timer);

    // How many transcoders may run side by side (at least 1); applies to rows started from now.
    void setSimultaneous(int count);
    int simultaneous() const { return m_simultaneous; }

    // Whether another row may be started now. The window closes the gate while a modal box is
    // open, so the next row waits for the box as it always has; the running rows go on.
    void setStartGate(std::function<bool()> gate) { m_gate = std::move(gate); }

    // Before a row's transcoder starts: a text that refuses the row (it fails with the text in
    // the log and no transcoder runs), or nothing to let it start. RowRefusal unless set.
    void setRowCheck(std::function<std::optional<QString>(const TStartRecord &)> check)
    {
        m_rowCheck = std::move(check);
    }

    // Begins a batch of the rows present now that are not Done (they are Waiting until their
    // turn); rows added later wait for the next batch. False when a batch runs already (nothing is done).
    bool start();
    // Begins a batch of these rows, in this order (tolm-convert: the rows its probe accepted).
    bool start(const std::vector<QueueRows::RowId> &rows);
    // tolm-convert: rows appended to the running batch, after those waiting, as its probes accept
    // them. While more may come (setMoreToCome) the batch does not end when it runs dry.
    void append(const std::vector<QueueRows::RowId> &rows);
    void setMoreToCome(bool more);
    // Ends the batch at once: no further row starts, the running rows are Stopped and their
    // transcoders (ours, and only ours) are asked to end. Returns without waiting for them;
    // childrenGone() says when they have gone (each removes its temporary file as it goes).
    void abandon();
    // Transcoders no longer following a row that have not gone yet.
    int endingCount() const { return int(m_finishing.size()); }

    bool isRunning() const { return m_running; }
    // No row's conversion in progress. As it always was, a row whose transcoder could not be
    // started leaves this false until a later row's end.
    bool convFinished() const { return m_convFinished; }
    // The index of the first row converting now, else of the row started last; -1 when none.
    int convRow() const;
    // The length in whole seconds of the row converting (or started) last.
    bool wasAbandoned() const { return m_abandoned; }
    int runningCount() const { return int(m_runs.size()); }
    // The process id of the transcoder converting a row (0 when none), and of all of them.
    qint64 transcoderProcessId(int row) const;
    std::vector<qint64> transcoderProcessIds() const;
    // The output folders and process ids of the running transcoders (tolm-convert removes what
    // an interrupted one leaves).
    struct RunningChild
    {
        qint64 processId = 0;
        QString outputPath;
    };
    std::vector<RunningChild> runningChildren() const;

    // The batch's seconds: the lengths of the rows started so far plus those still waiting,
    // and how far they are (ended rows count whole).
    int batchTotalSeconds() const;
    int batchDoneSeconds() const;

    // Reads what the transcoders wrote and acts on it; the engine's timer calls it, a front end
    // may call it too.
    void tick();

Q_SIGNALS:
    void queueStarted();
    // A row's transcoder runs; totalSeconds is the row's length, 0 when not known.
    void rowStarted(int row, int totalSeconds);
    // The running row's position in seconds; with one transcoder at a time also 100 at its
    // summary and 0 at its end, as the progress bar wants.
    void progressChanged(int position);
    void rowProgress(int row, int seconds);
    // A row ended: converted ("100%") or failed. row is -1 when it has left the list.
    void rowEnded(int row, bool converted);
    // Right before a failed row's rowEnded: why, in the transcoder's or the engine's words.
    void rowFailed(int row, const QString &reason);
    void startFailed(const QString &errorText);
    // Every row of the batch had its turn, or the batch was abandoned (wasAbandoned()).
    void queueFinished();
    // The last transcoder that was ended or left to finish by itself has gone.
    void childrenGone();

private:
    void fillSlots();
    bool startRow(QueueRows::RowId id);
    void follow(RowConversion &run);
    void endRun(RowConversion &run, bool converted, const QString &why = {});
    void finishIfDone();
    // The rows whose turn did not come go back to Ready.
    void releaseWaiting();
    bool isTakenByRunningRow(const QString &path) const;
    void keepFinishing(std::unique_ptr<ChildProcess> child);
    // Ends the running rows' transcoders and keeps them until they have gone.
    void endRunningChildren();
    // A row whose transcoder was found but could not be run.
    void forgetUnstarted(RowConversion &run);

    QueueRows &m_rows;
    LogSink &m_log;
    QTimer m_ownTimer;
    QTimer *m_timer = &m_ownTimer;
    int m_simultaneous = 1;
    std::function<bool()> m_gate;
    std::function<std::optional<QString>(const TStartRecord &)> m_rowCheck;
    std::deque<QueueRows::RowId> m_waiting; // the batch's rows whose turn has not come
    bool m_moreToCome = false; // rows may still be appended to the running batch
    std::vector<std::unique_ptr<RowConversion>> m_runs;
    // Children no longer following a row: those whose end was read from their text end by
    // themselves, those of an abandoned batch were asked to; kept until they have gone.
    std::vector<std::unique_ptr<ChildProcess>> m_finishing;
    bool m_running = false;
    bool m_abandoned = false;
    bool m_convFinished = true;
    bool m_inTick = false;
    bool m_abandonPending = false;
    std::optional<QueueRows::RowId> m_lastRowId;
    int m_endedSeconds = 0;
};
