#include "cli/batchrun.h"

#include "cli/exitstatus.h"
#include "cli/interruptwatch.h"
#include "cli/leftovers.h"
#include "cli/progressview.h"
#include "core/conversionfailure.h"
#include "core/filenamefit.h"
#include "core/logsink.h"
#include "core/programtexts.h"
#include "core/replacemark.h"
#include "core/timecode.h"
#include "engine/conversioncommand.h"
#include "engine/conversionengine.h"
#include "engine/transcodertext.h"
#include "sources/destinationname.h"
#include "sources/mediaprobe.h"
#include "sources/probequeue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRefreshMs = 100;

// The transcoders' text has no reader in a terminal run; each failure is told on its own.
class NoLog : public LogSink
{
public:
    void append(const QString &, View) override { }
};

} // namespace

BatchRun::BatchRun(const QList<BatchSource> &sources, const TStartRecord &job, const ConvertOptions &options, int jobs,
    const QString &scratchFolder, ProgressView &view, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_job(job)
    , m_jobs(qMax(1, jobs))
    , m_view(view)
    , m_log(std::make_unique<NoLog>())
    , m_probes(std::make_unique<ProbeQueue>(scratchFolder))
    , m_engine(std::make_unique<ConversionEngine>(static_cast<QueueRows &>(*this), *m_log))
{
    for (const BatchSource &source : sources) {
        BatchItem &item = m_items.emplace_back();
        item.source = source;
        item.job = job;
    }
    m_probes->setSimultaneous(m_jobs);
    m_engine->setSimultaneous(m_jobs);
    connect(m_probes.get(), &ProbeQueue::probed, this, &BatchRun::probed);
    connect(m_probes.get(), &ProbeQueue::idle, this, [this] { QTimer::singleShot(0, this, &BatchRun::convert); });
    connect(m_engine.get(), &ConversionEngine::rowFailed, this,
        [this](int, const QString &reason) { m_lastReason = reason; });
    connect(m_engine.get(), &ConversionEngine::rowEnded, this, &BatchRun::rowEnded);
    connect(m_engine.get(), &ConversionEngine::rowProgress, this, [this](int row, int seconds) {
        if (row >= 0)
            item(row).positionSeconds = seconds;
    });
    connect(m_engine.get(), &ConversionEngine::startFailed, this, [this](const QString &why) { m_lastReason = why; });
    connect(m_engine.get(), &ConversionEngine::queueFinished, this, [this] {
        if (m_phase == Phase::Converting)
            finish(ExitStatus::Converted);
    });
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &BatchRun::refresh);
}

BatchRun::~BatchRun() = default;

int BatchRun::rowOfId(RowId id) const
{
    const auto at = std::find(m_rows.begin(), m_rows.end(), std::size_t(id));
    return at == m_rows.end() ? -1 : int(at - m_rows.begin());
}

void BatchRun::setStatus(int row, const QString &status)
{
    BatchItem &it = item(row);
    it.status = status;
    if (status == kStatusStarted)
        it.state = BatchItem::State::Converting;
}

void BatchRun::start()
{
    QStringList toProbe;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        BatchItem &item = m_items[i];
        // --skip needs no probe for a file whose output is there already.
        if (m_options.clash == ClashRule::Skip) {
            const QString name = BatchOutputName(item.source, m_job.Extension);
            if (OutputNames::exists(item.source.outputFolder, name)) {
                item.job.OutputPath = JoinFolder(item.source.outputFolder, name);
                endItem(item, BatchItem::State::Skipped);
                continue;
            }
        }
        item.state = BatchItem::State::Probing;
        m_probeOrder.push_back(i);
        toProbe << item.source.path;
    }
    m_refresh.start();
    if (toProbe.isEmpty())
        QTimer::singleShot(0, this, &BatchRun::convert);
    else
        m_probes->add(toProbe);
}

void BatchRun::probed(const QString &, const ProbeRun &run)
{
    if (m_nextProbed >= m_probeOrder.size())
        return;
    judgeProbe(m_items[m_probeOrder[m_nextProbed++]], run);
}

void BatchRun::judgeProbe(BatchItem &item, const ProbeRun &run)
{
    if (!run.started) {
        endItem(
            item, BatchItem::State::Failed, ProbeStartFailedMessage(item.source.path) + u" ("_s + run.errorText + u')');
        return;
    }
    if (run.timedOut) {
        endItem(item, BatchItem::State::Failed, u"the transcoder took too long to examine the file"_s);
        return;
    }
    const ProbeVerdict verdict = JudgeProbeRun(run);
    // Unlike the window, a file without a duration is refused: a terminal run cannot be
    // trimmed by hand afterwards.
    if (!verdict.accepted || verdict.duration == kDurationPlaceholder) {
        QString reason = FailureReason(run.text);
        if (reason.isEmpty())
            reason = run.text.isEmpty() ? u"the transcoder said nothing about it"_s : u"no duration could be found"_s;
        endItem(item, BatchItem::State::Failed, u"not valid and fails to load: "_s + reason);
        return;
    }

    TStartRecord &job = item.job;
    job.SourcePath = item.source.path;
    SetProbedTimes(job, verdict);
    // A track of an album image: its own stretch of the image, times and tags.
    if (item.source.track && !ApplyCueTrack(job, *item.source.track, verdict.exactNs)) {
        endItem(item, BatchItem::State::Failed,
            CueTrackBeyondImageMessage(item.source.track->sheetPath, *item.source.track));
        return;
    }
    job.Volume = m_options.volume.value_or(kUnchangedVolume);
    int duration = 0;
    try {
        duration = TimeCodeToSeconds(job.Duration);
    } catch (const ConversionFailure &failure) {
        endItem(item, BatchItem::State::Failed, failure.message());
        return;
    }

    // A range as the trim dialog stores it: the start, and the length up to the end, which the
    // dialog never lets pass the file's end.
    const int start = m_options.start.value_or(0);
    if (start >= duration && start > 0) {
        endItem(item, BatchItem::State::Failed,
            u"--start %1 is not before the end of the file (%2)"_s.arg(SecondsToTimeCode(start), job.Duration));
        return;
    }
    int length = duration - start;
    if (m_options.end)
        length = qMin(*m_options.end, duration) - start;
    else if (m_options.length)
        length = qMin(*m_options.length, duration - start);
    if (m_options.start || m_options.end || m_options.length) {
        job.StartTime = SecondsToTimeCode(start);
        job.Length = SecondsToTimeCode(length);
    }
    item.totalSeconds = length;
    item.state = BatchItem::State::Probed;
}

void BatchRun::settleOutputs()
{
    // A CUE sheet is converted whole or not at all: a track that cannot be cut fails the rest.
    QSet<QString> failedSheets;
    for (const BatchItem &item : m_items) {
        if (item.state == BatchItem::State::Failed && item.source.track)
            failedSheets.insert(item.source.track->sheetPath);
    }
    for (BatchItem &item : m_items) {
        if (item.state == BatchItem::State::Probed && item.source.track
            && failedSheets.contains(item.source.track->sheetPath))
            endItem(item, BatchItem::State::Failed, u"another track of its CUE sheet cannot be cut"_s);
    }

    QList<BatchSource> sources;
    for (const BatchItem &item : m_items)
        sources << item.source;
    OutputNames names(m_options.clash, sources);
    for (BatchItem &item : m_items) {
        if (item.state != BatchItem::State::Probed)
            continue;
        const QString name = BatchOutputName(item.source, item.job.Extension);
        const QString path = names.reserve(item.source.outputFolder, name, item.job.Extension);
        // Names are shortened to fit; a folder deep enough to pass a whole path's size is not.
        if (FileSystemBytes(path) > kMaxPathBytes) {
            endItem(item, BatchItem::State::Failed,
                u"the output path is longer than %1 bytes: "_s.arg(kMaxPathBytes) + path);
            continue;
        }
        item.job.OutputPath = path;
        // An existing file --overwrite may replace, as it is now: should it change before the
        // conversion starts, the conversion takes the "-1" name instead (as the window does).
        if (m_options.clash == ClashRule::Overwrite)
            item.job.Replace = ReplaceMark::of(path);
        if (m_options.dryRun)
            m_view.line(BuildConversionCommand(item.job).text);
    }
}

void BatchRun::convert()
{
    if (m_phase != Phase::Probing)
        return;
    settleOutputs();
    if (m_options.dryRun) {
        finish(ExitStatus::Converted);
        return;
    }
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        BatchItem &item = m_items[i];
        if (item.state != BatchItem::State::Probed)
            continue;
        if (!QDir().mkpath(item.source.outputFolder)) {
            endItem(item, BatchItem::State::Failed, u"cannot create the folder "_s + item.source.outputFolder);
            continue;
        }
        m_rows.push_back(i);
    }
    if (startAlbumMeasurement()) {
        m_phase = Phase::Measuring;
        return;
    }
    startEngine();
}

void BatchRun::startEngine()
{
    m_phase = Phase::Converting;
    // The totals replace the examination's line at once, however soon the last redraw was.
    m_view.refresh(m_items, false, true);
    m_engine->start();
}

// --replaygain album: the one place the album's loudness is measured (AlbumLoudness does the
// work, polled with the redraws) and handed to the rows before the engine starts.
bool BatchRun::startAlbumMeasurement()
{
    if (m_options.replayGain != ReplayGainChoice::Album)
        return false;
    QStringList sources;
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        sources << item(int(row)).source.path;
    if (sources.isEmpty())
        return false;
    if (!m_album.start(sources)) {
        takeAlbumValues();
        return false;
    }
    return true;
}

// Without the album's values no file can be tagged as asked: each fails with the reason and
// is no row of the engine's.
void BatchRun::takeAlbumValues()
{
    const AlbumLoudness::Verdict &verdict = m_album.verdict();
    if (!verdict.measured) {
        for (std::size_t row = 0; row < m_rows.size(); ++row)
            endItem(item(int(row)), BatchItem::State::Failed, u"the album could not be measured: "_s + verdict.reason);
        m_rows.clear();
        return;
    }
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        AlbumLoudness::apply(item(int(row)).job.Loudness, verdict.values);
}

void BatchRun::rowEnded(int row, bool converted)
{
    // A signal caught meanwhile is handled before the row's end is told, so a conversion
    // ended by Ctrl-C is not reported as a failure of its own.
    if (const int signal = InterruptWatch::caught()) {
        interrupt(signal);
        return;
    }
    if (row < 0)
        return;
    BatchItem &it = item(row);
    if (converted)
        endItem(it, BatchItem::State::Converted);
    else
        endItem(it, BatchItem::State::Failed, std::exchange(m_lastReason, QString()));
}

void BatchRun::endItem(BatchItem &item, BatchItem::State state, const QString &reason)
{
    item.state = state;
    item.reason = reason;
    m_view.fileEnded(item);
}

void BatchRun::refresh()
{
    if (m_phase == Phase::Done)
        return;
    if (const int signal = InterruptWatch::caught()) {
        interrupt(signal);
        return;
    }
    if (m_phase == Phase::Measuring) {
        if (!m_album.poll()) {
            m_view.refresh(m_items, true);
            return;
        }
        takeAlbumValues();
        startEngine();
        return;
    }
    m_view.refresh(m_items, m_phase == Phase::Probing);
}

void BatchRun::interrupt(int signal)
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_probes->cancel();
    m_album.stop();
    // Should a child have to be ended by force, its temporary file is removed here.
    QStringList temporary;
    const auto running = m_engine->runningChildren();
    for (const auto &child : running)
        temporary << OpenTemporaryOutputs(child.processId, QFileInfo(child.outputPath).path());
    m_engine->abandon();
    for (const QString &path : std::as_const(temporary))
        QFile::remove(path);
    m_view.message(u"interrupted: %1 running transcoder(s) ended, nothing partial left"_s.arg(running.size()));
    finish(128 + signal);
}

void BatchRun::finish(int exitStatus)
{
    const bool interrupted = exitStatus >= 128;
    m_phase = Phase::Done;
    m_refresh.stop();
    int converted = 0;
    int skipped = 0;
    int failed = 0;
    for (const BatchItem &item : m_items) {
        converted += item.state == BatchItem::State::Converted ? 1 : 0;
        skipped += item.state == BatchItem::State::Skipped ? 1 : 0;
        failed += item.state == BatchItem::State::Failed ? 1 : 0;
    }
    if (exitStatus == ExitStatus::Converted && failed > 0)
        exitStatus = ExitStatus::SomeFailed;
    if (!m_options.dryRun && !interrupted)
        m_view.summary(converted, skipped, failed);
    Q_EMIT finished(exitStatus);
}
