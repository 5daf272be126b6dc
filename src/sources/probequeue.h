#pragma once

#include "sources/mediaprobe.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <deque>
#include <memory>

class ChildProcess;

// Probes files without waiting for them: up to N transcoder probes at once, each writing its
// own scratch file, and their results handed on strictly in the order the files were given,
// whichever probe ends first. Widget-free; the window and tolm-convert both add through it.
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
    // Drops every file not handed on yet and ends the running probes (ours only).
    void cancel();

    bool isBusy() const { return !m_items.empty(); }
    // Files handed on, and files given, since the queue was last idle.
    int handedOn() const { return m_handedOn; }
    int given() const { return m_given; }

Q_SIGNALS:
    // One file's probe, in the order given.
    void probed(const QString &absolutePath, const ProbeRun &run);
    // Every file given has been handed on (or the queue was cancelled).
    void idle();

private:
    struct Item;
    void tick();
    void startProbes();
    void follow(Item &item);
    void handOn();
    void removeScratch(const QString &path);

    QString m_scratchFolder;
    int m_simultaneous = 1;
    int m_timeoutMs = kProbeTimeoutMs;
    std::deque<std::unique_ptr<Item>> m_items;
    QTimer m_timer;
    quint64 m_scratchCount = 0;
    int m_handedOn = 0;
    int m_given = 0;
    bool m_handingOn = false;
    bool m_busy = false;
    // Scratch files are removed here, off the window's thread: on a file system that
    // discards freed blocks at once, removing a file can wait a tenth of a second or more.
    QThreadPool m_sweeper;
};
