#pragma once

#include "batch/batchmodel.h"
#include "cli/albumgroups.h"
#include "cli/batchsources.h"
#include "cli/convertoptions.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>

class ConversionEngine;
class LogSink;
class ProbeQueue;
class ProgressView;
struct ProbeRun;

// One run of tolm-convert on the window's engine: every file is examined by the probe road (up
// to `jobs` probe workers, at least two), the output names are settled in file order, with
// --replaygain album each album (a folder's files, a CUE sheet's tracks) is measured, then the
// conversion engine converts up to `jobs` files at once. Each file is a row of the run's batch
// model from the start, Examining until its probe has spoken; the engine converts the rows the
// probe accepted. Unless an album is measured or the run is dry, a row is converted as soon as
// it and every row before it have been examined, while the rest are still being examined.
class BatchRun : public QObject
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

    const BatchModel &rows() const { return m_model; }

Q_SIGNALS:
    void finished(int exitStatus);

private:
    const BatchSource &source(int row) const { return m_sources[std::size_t(row)]; }
    void probed(const QString &path, const ProbeRun &run);
    void judgeProbe(int row, const ProbeRun &run);
    void settleOutputs();
    // The output name and folder of a row the probe accepted.
    void settleRow(int row, OutputNames &names);
    // Converting while examining: the rows examined so far, in order, to the engine.
    void settleProbed();
    void convert();
    bool startAlbumMeasurement();
    void takeAlbumValues();
    void startEngine();
    void rowEnded(int row, bool converted);
    // The row's end in this run, told to the user.
    void endRow(int row, const RowStatus &status);
    void fail(int row, const QString &reason) { endRow(row, RowStatus::failed(reason)); }
    // The rows whose status is in the state, in order.
    std::vector<QueueRows::RowId> rowsIn(RowState state) const;
    void refresh();
    // --trash-sources: the sources all of whose outputs passed their check go to the trash;
    // returns how many went.
    int trashSources();
    void finish(int exitStatus);

    ConvertOptions m_options;
    TStartRecord m_job;
    int m_jobs;
    ProgressView &m_view;
    BatchModel m_model; // one row a source, in the sources' order; rows never move
    std::vector<BatchSource> m_sources; // each row's source, by index
    std::vector<int> m_probeOrder; // the rows given to the probe road, in order
    std::size_t m_nextProbed = 0; // the position in m_probeOrder of the next result
    // Converting while examining: the names reserved so far, the position in m_probeOrder of
    // the next row to settle, each CUE sheet's last position there and the sheets with a
    // track that failed (a sheet is converted whole or not at all).
    bool m_streaming = false;
    std::unique_ptr<OutputNames> m_names;
    std::size_t m_nextSettled = 0;
    QHash<QString, std::size_t> m_sheetEnd;
    QSet<QString> m_failedSheets;
    std::unique_ptr<LogSink> m_log;
    std::unique_ptr<ProbeQueue> m_probes;
    std::unique_ptr<ConversionEngine> m_engine;
    QTimer m_refresh;
    enum class Phase { Probing, Measuring, Converting, Done } m_phase = Phase::Probing;
    AlbumGroups m_albums; // --replaygain album: every album to convert measured first
    QString m_startFailure; // why a transcoder could not be started, for the rows it left
};
