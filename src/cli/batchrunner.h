#pragma once

#include "cli/batchitem.h"
#include "cli/batchsources.h"
#include "cli/convertoptions.h"
#include "engine/albumloudness.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class ProgressView;

// Converts the files of one run with up to `jobs` transcoders at once, each file by its own
// sonmill child (which writes its own temporary file): first every file is examined by the
// probe, then the output names are settled in file order, then the conversions run. Children
// are followed from a 100 ms timer and judged by the window's text rules, line by line.
class BatchRunner : public QObject
{
    Q_OBJECT

public:
    // job: a record with the profile, quality and settings already applied.
    BatchRunner(const QList<BatchSource> &sources, const TStartRecord &job, const ConvertOptions &options, int jobs,
        const QString &scratchFolder, ProgressView &view, QObject *parent = nullptr);
    ~BatchRunner() override;

    void start();
    // Ends every child of ours (by its process, never by name), removes what they were writing
    // and finishes with 128 + signal.
    void interrupt(int signal);

    const std::deque<BatchItem> &items() const { return m_items; }

Q_SIGNALS:
    void finished(int exitStatus);

private:
    void tick();
    bool startNextProbe();
    void followProbe(BatchItem &item);
    void judgeProbe(BatchItem &item);
    void settleOutputs();
    bool startNextConversion();
    void followConversion(BatchItem &item);
    void judgeLine(BatchItem &item, const QString &line);
    void endItem(BatchItem &item, BatchItem::State state, const QString &reason = {});
    void finish(int exitStatus);
    int running() const;
    std::unique_ptr<ChildProcess> startedChild();
    bool startAlbumMeasurement();
    void takeAlbumValues();

    ConvertOptions m_options;
    TStartRecord m_job;
    int m_jobs;
    QString m_scratchFolder;
    ProgressView &m_view;
    std::deque<BatchItem> m_items;
    QTimer m_timer;
    enum class Phase { Probing, Measuring, Converting, Done } m_phase = Phase::Probing;
    AlbumLoudness m_album; // --replaygain album: every examined file measured first
    int m_probeCount = 0;
};
