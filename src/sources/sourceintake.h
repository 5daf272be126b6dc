#pragma once

#include "sources/cuetracks.h"
#include "sources/mediaprobe.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class ProbeQueue;
struct IntakeEntry;
class SourceAdder;
struct ProbeRun;

// The window's one road for adding files (Add dialog, drops, hand-overs, start-up arguments):
// the files are probed N at once without blocking the window, and each result goes to the
// adder in the order the files were given, one at a time, never while a box is open: a file
// given while a box is open, or while an earlier add goes on, waits its turn.
class SourceIntake : public QObject
{
    Q_OBJECT

public:
    SourceIntake(SourceAdder &adder, const QString &scratchFolder, QObject *parent = nullptr);
    ~SourceIntake() override;

    void setSimultaneous(int count);
    // Whether a result may be handed to the adder now (the window: no modal box is open).
    void setGate(std::function<bool()> gate) { m_gate = std::move(gate); }

    // Paths as given (relative ones against the current folder), as PlanIntake plans them: a
    // folder adds every audio and video file below it, each keeping its sub-folders for its
    // output; a CUE sheet (given, or found in a folder) gives one row per track.
    void add(const QStringList &paths);
    // Stops adding: files not added yet are dropped, running probes ended.
    void stop();

    bool isBusy() const;
    int added() const { return m_done; }
    int total() const { return m_total; }
    // Milliseconds since this add began (the window shows its progress only on long adds).
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

Q_SIGNALS:
    // A file was added or refused.
    void progress(int done, int total);
    // Every file given has been added or refused, or adding was stopped.
    void finished();

private:
    // The folders given are walked off the window's thread, one add after another in their
    // order; each plan's entries then queue as if given at once.
    void planNext();
    void planned();
    void take(const QList<IntakeEntry> &plan);
    void received(const QString &path, const ProbeRun &run);
    void deliver();
    void checkFinished();

    SourceAdder &m_adder;
    std::unique_ptr<ProbeQueue> m_probes;
    std::function<bool()> m_gate;
    // Everything given, in order, until it has gone to the adder: a file (with its probe's
    // result once that has ended), a CUE sheet (with its images' probes), a sheet that cannot
    // be used, or a folder with nothing to convert.
    struct Entry
    {
        enum class Kind { File, EmptyFolder, CueSheet, BadSheet };
        Kind kind = Kind::File;
        QString path;
        QString relativeFolder;
        std::unique_ptr<ProbeRun> run;
        QList<CueTrackRow> tracks; // a sheet's
        QStringList images; // a sheet's images, each probed once
        QHash<QString, ProbeRun> imageRuns; // their ended probes
        QString refusal; // a bad sheet's message

        bool waitsForProbe() const;
    };
    // A sheet's entry from the plan: its images to probe, or its refusal.
    static Entry sheetEntry(const IntakeEntry &planned);
    std::deque<Entry> m_order;
    std::deque<QStringList> m_toPlan; // adds whose walk has not begun
    QFutureWatcher<QList<IntakeEntry>> m_planner;
    bool m_planning = false; // a walk runs
    bool m_dropPlan = false; // stopped meanwhile: its plan is not taken
    QTimer m_retry;
    QElapsedTimer m_clock;
    bool m_delivering = false;
    int m_done = 0;
    int m_total = 0;
};
