#pragma once

#include "cli/batchitem.h"
#include "cli/batchsources.h"
#include "cli/convertoptions.h"
#include "core/queuerows.h"
#include "engine/albumloudness.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class ConversionEngine;
class LogSink;
class ProbeQueue;
class ProgressView;
struct ProbeRun;

// One run of tolm-convert on the window's engine: every file is examined by the probe road (up
// to `jobs` probes at once), the output names are settled in file order, with --replaygain
// album the files are measured as one album, then the conversion engine converts up to `jobs`
// files at once. The files the engine converts are its rows.
class BatchRun : public QObject, private QueueRows
{
    Q_OBJECT

public:
    // job: a record with the profile, quality and settings already applied.
    BatchRun(const QList<BatchSource> &sources, const TStartRecord &job, const ConvertOptions &options, int jobs,
        const QString &scratchFolder, ProgressView &view, QObject *parent = nullptr);
    ~BatchRun() override;

    void start();
    // Ends every child of ours (by its process, never by name), removes what they were writing
    // and finishes with 128 + signal.
    void interrupt(int signal);

    const std::deque<BatchItem> &items() const { return m_items; }

Q_SIGNALS:
    void finished(int exitStatus);

private:
    // The rows the engine sees: the files that passed the probe, in file order.
    int rowCount() const override { return int(m_rows.size()); }
    RowId rowId(int row) const override { return RowId(m_rows[row]); }
    int rowOfId(RowId id) const override;
    QString status(int row) const override { return item(row).status; }
    void setStatus(int row, const QString &status) override;
    TStartRecord &job(int row) override { return item(row).job; }
    void setDestination(int, const QString &) override { }
    BatchItem &item(int row) { return m_items[m_rows[row]]; }
    const BatchItem &item(int row) const { return m_items[m_rows[row]]; }

    void probed(const QString &path, const ProbeRun &run);
    void judgeProbe(BatchItem &item, const ProbeRun &run);
    void settleOutputs();
    void convert();
    bool startAlbumMeasurement();
    void takeAlbumValues();
    void startEngine();
    void rowEnded(int row, bool converted);
    void endItem(BatchItem &item, BatchItem::State state, const QString &reason = {});
    void refresh();
    // --trash-sources: the sources all of whose outputs passed their check go to the trash;
    // returns how many went.
    int trashSources();
    void finish(int exitStatus);

    ConvertOptions m_options;
    TStartRecord m_job;
    int m_jobs;
    ProgressView &m_view;
    std::deque<BatchItem> m_items;
    std::vector<std::size_t> m_rows;
    std::vector<std::size_t> m_probeOrder; // the items given to the probe road, in order
    std::size_t m_nextProbed = 0; // the position in m_probeOrder of the next result
    std::unique_ptr<LogSink> m_log;
    std::unique_ptr<ProbeQueue> m_probes;
    std::unique_ptr<ConversionEngine> m_engine;
    QTimer m_refresh;
    enum class Phase { Probing, Measuring, Converting, Done } m_phase = Phase::Probing;
    AlbumLoudness m_album; // --replaygain album: every file to convert measured first
    QString m_lastReason;
};
