#pragma once

#include "cli/batchsources.h"
#include "cli/convertoptions.h"
#include "cli/sync/syncmanifest.h"
#include "cli/sync/syncplan.h"
#include "core/startrecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QProcessEnvironment>
#include <QSet>

#include <optional>

#include <memory>

class BatchRun;
class ProgressView;

// Which share of the albums a run looks after (--shard); count 1 is all of them.
struct SyncShard
{
    int index = 0;
    int count = 1;

    // The share an album (an output folder relative to the destination) falls into: the same
    // on every machine and in every run.
    static int of(const QString &album, int count);
    bool owns(const QString &album) const { return count <= 1 || of(album, count) == index; }
    QString name() const { return count <= 1 ? QString() : QStringLiteral("%1of%2").arg(index).arg(count); }

    // --shard auto: a Slurm array task's place (less the array's first id), or a Kubernetes
    // Indexed Job's completion index with the count given (givenCount, else TOLM_SHARD_COUNT).
    static std::optional<SyncShard> fromEnvironment(
        const QProcessEnvironment &environment, int givenCount, QString *error);
};

// tolm-convert --sync: plans (PlanSync), then moves, removes and retags outputs itself and
// hands the files to convert to a BatchRun over the same engine as any run. Every finished
// step goes to the journal at once and to --results.
class SyncRun : public QObject
{
    Q_OBJECT

public:
    struct Setup
    {
        QList<BatchSource> sources;
        QStringList inputs; // as given, for the guard of --delete-orphans
        TStartRecord job; // profile, quality and settings applied
        ConvertOptions options;
        QString destination;
        int jobs = 1;
        QString scratchFolder;
        SyncShard shard;
    };

    SyncRun(Setup setup, ProgressView &view, QObject *parent = nullptr);
    ~SyncRun() override;

    // The settings fingerprint of a job and the options that shape its output.
    static QString settingsFingerprint(const TStartRecord &job, const ConvertOptions &options);
    // Size and modification time of the files a source is read from.
    static QString stampOf(const BatchSource &source);

    void start();
    void interrupt(int signal);

Q_SIGNALS:
    void finished(int exitStatus);

private:
    QList<SyncSource> syncSources() const;
    bool orphansMayGo(QString *why) const;
    void sweepLeftovers();
    void printPlan();
    bool runDirectSteps();
    bool retag(const SyncSource &source, const QString &output, QString *why);
    void startConversions();
    void conversionRowChanged(int row);
    void conversionsEnded(int exitStatus);
    void record(const SyncStep &step, const QString &status, double seconds, const QString &reason);
    void complete(int exitStatus);
    QString absolute(const QString &relative) const;
    void say(const QString &text); // to standard output, unless --quiet
    void removeOutput(const QString &relative);

    Setup m_setup;
    ProgressView &m_view;
    QList<SyncSource> m_sources;
    QList<SyncStep> m_steps;
    std::unique_ptr<SyncJournal> m_journal;
    QFile m_results;
    std::unique_ptr<BatchRun> m_batch;
    QList<int> m_convertSteps; // the steps the batch's rows stand for, by row
    QHash<int, QElapsedTimer> m_started; // batch rows converting, since when
    QSet<int> m_ended; // batch rows told
    QHash<QString, int> m_counts; // by action name, of the steps done
    int m_failed = 0;
    bool m_done = false;
};
