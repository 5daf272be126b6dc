#pragma once

#include "core/queuerows.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class ChildProcess;
class LogSink;
class QTimer;

// Converts every row that is not done yet, one after another, each by one transcoder child,
// and follows each child's text from the 100 ms timer. Runs on the UI thread: run() waits
// for each row in 100 ms steps that let the window handle its events (dialogs opened
// meanwhile included), so the window stays usable while a batch converts.
class ConversionQueue : public QObject
{
    Q_OBJECT

public:
    // timer1 is the window's 100 ms conversion timer; its timeout must call Timer1Timer().
    ConversionQueue(QueueRows &rows, LogSink &log, QTimer &timer1, QObject *parent = nullptr);
    ~ConversionQueue() override;

    // Works through the rows present now; rows added meanwhile wait for the next run.
    // True when every row had its turn; false when a run was already going on (nothing is
    // done) or when the run was abandoned, so that no after-batch action follows.
    bool run();
    // One tick of the conversion timer: read what the transcoder wrote and act on it.
    void Timer1Timer();

    bool convFinished() const { return m_convFinished; }
    // The index of the row converting now or last; -1 when there is none (or it was removed).
    int convRow() const;
    int convSeconds() const { return m_convSeconds; }
    bool isRunning() const { return m_running; }
    // The last run was abandoned before every row had its turn.
    bool wasAbandoned() const { return m_abandoned; }
    // The running transcoder's process id; 0 when none runs.
    qint64 transcoderProcessId() const;

    // Ends the running transcoder (and only ours) and the run itself, when the user quits in
    // the middle or the application is shutting down.
    void abandon();

Q_SIGNALS:
    void queueStarted();
    // A row's transcoder runs; total is its length in seconds, 0 when not known.
    void rowStarted(int row, int totalSeconds);
    void progressChanged(int position);
    void rowEnded(int row);
    void startFailed(const QString &errorText);
    void queueFinished();

private:
    void startRow(QueueRows::RowId id);
    void setCurrentStatus(const QString &status);
    void endRow(const QString &status);
    void waitForRowEnd();

    QueueRows &m_rows;
    LogSink &m_log;
    QTimer &m_timer1;
    std::unique_ptr<ChildProcess> m_child;
    // Children whose end was read from their text: they end by themselves, and are kept
    // only so that none outlives the program untracked.
    std::vector<std::unique_ptr<ChildProcess>> m_finishing;
    bool m_convFinished = true;
    bool m_running = false;
    bool m_abandoned = false;
    std::optional<QueueRows::RowId> m_convRowId;
    int m_convSeconds = 0;
};
