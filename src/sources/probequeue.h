#pragma once

#include "sources/mediaprobe.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

class ProbeWorker;

// Probes files without waiting for them: long-lived probe workers (as many as the
// simultaneous setting, at least two) each answer a file at a time, and the results are
// handed on strictly in the order the files were given, whichever worker answers first. A
// worker that dies or passes the time limit costs the file it was on only: that file is
// refused, the worker is replaced and the files it had been given go to the others.
// Widget-free; the window and tolm-convert both add through it.
class ProbeQueue : public QObject
{
    Q_OBJECT

public:
    // scratchFolder holds the probes' one-millisecond outputs (created when missing).
    explicit ProbeQueue(QString scratchFolder, QObject *parent = nullptr);
    ~ProbeQueue() override;

    void setSimultaneous(int count);
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }

    // Appends files to probe, after any still waiting.
    void add(const QStringList &absolutePaths);
    // Drops every file not handed on yet and ends the busy workers (ours only).
    void cancel();

    // Ends the idle workers now rather than after a while (nothing more will be added).
    void closeIdleWorkers();

    bool isBusy() const { return !m_items.empty(); }
    // Files handed on, and files given, since the queue was last idle.
    int handedOn() const { return m_handedOn; }
    int given() const { return m_given; }
    // The workers' process ids, oldest first (for tests that make a worker fail).
    QList<qint64> workerProcessIds() const;

Q_SIGNALS:
    // One file's probe, in the order given.
    void probed(const QString &absolutePath, const ProbeRun &run);
    // Every file given has been handed on (or the queue was cancelled).
    void idle();

private:
    struct Item;
    struct Worker;
    void dispatch();
    Worker *freeWorker();
    Worker *startWorker();
    void answered(ProbeWorker *worker, const QString &text);
    void workerEnded(ProbeWorker *worker);
    // Takes the worker out of service: its files not answered go back to the waiting ones,
    // in their order.
    void retire(Worker &worker);
    void checkTimeLimits();
    void handOn();
    std::vector<std::unique_ptr<Worker>>::iterator find(ProbeWorker *worker);

    QString m_scratchFolder;
    int m_simultaneous = 2;
    int m_timeoutMs = kProbeTimeoutMs;
    std::deque<std::unique_ptr<Item>> m_items; // every file not handed on, in order
    std::deque<Item *> m_waiting; // those no worker has been asked about, in order
    std::vector<std::unique_ptr<Worker>> m_workers;
    QTimer m_limits; // the time limit's watch, while busy
    QTimer m_idleClose; // workers idle this long end
    quint64 m_scratchCount = 0;
    int m_handedOn = 0;
    int m_given = 0;
    bool m_handingOn = false;
    bool m_busy = false;
};
