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
#include "core/siblingcommands.h"
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
#include <QHash>
#include <QSet>
#include <QStandardPaths>

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
    , m_engine(std::make_unique<ConversionEngine>(m_model, *m_log))
{
    for (const BatchSource &source : sources) {
        BatchRow row;
        row.caption = source.shown;
        row.job = job;
        row.job.SourcePath = source.path;
        row.status.state = RowState::Examining;
        m_model.appendRow(std::move(row));
        m_sources.push_back(source);
    }
    m_probes->setSimultaneous(m_jobs);
    m_engine->setSimultaneous(m_jobs);
    connect(m_probes.get(), &ProbeQueue::probed, this, &BatchRun::probed);
    connect(m_probes.get(), &ProbeQueue::idle, this, [this] {
        m_probes->closeIdleWorkers(); // a run adds no files later
        QTimer::singleShot(0, this, &BatchRun::convert);
    });
    connect(m_engine.get(), &ConversionEngine::rowEnded, this, &BatchRun::rowEnded);
    connect(m_engine.get(), &ConversionEngine::startFailed, this, [this](const QString &why) { m_startFailure = why; });
    connect(m_engine.get(), &ConversionEngine::queueFinished, this, [this] {
        if (m_phase == Phase::Converting)
            finish(ExitStatus::Converted);
    });
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &BatchRun::refresh);
}

BatchRun::~BatchRun() = default;

std::vector<QueueRows::RowId> BatchRun::rowsIn(RowState state) const
{
    std::vector<QueueRows::RowId> ids;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (m_model.status(row).state == state)
            ids.push_back(m_model.rowId(row));
    }
    return ids;
}

void BatchRun::start()
{
    QStringList toProbe;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        // --skip needs no probe for a file whose output is there already.
        if (m_options.clash == ClashRule::Skip) {
            const QString name = BatchOutputName(source(row), m_job.Extension);
            if (OutputNames::exists(source(row).outputFolder, name)) {
                m_model.job(row).OutputPath = JoinFolder(source(row).outputFolder, name);
                endRow(row, RowStatus::in(RowState::Skipped));
                continue;
            }
        }
        m_probeOrder.push_back(row);
        toProbe << source(row).path;
    }
    m_refresh.start();
    if (toProbe.isEmpty()) {
        QTimer::singleShot(0, this, &BatchRun::convert);
        return;
    }
    // The album's values need every file, and a dry run shows every command at the end.
    m_streaming = !m_options.dryRun && m_options.replayGain != ReplayGainChoice::Album;
    if (m_streaming) {
        m_names
            = std::make_unique<OutputNames>(m_options.clash, QList<BatchSource>(m_sources.begin(), m_sources.end()));
        for (std::size_t i = 0; i < m_probeOrder.size(); ++i) {
            if (const auto &track = source(m_probeOrder[i]).track)
                m_sheetEnd.insert(track->sheetPath, i);
        }
        m_engine->setMoreToCome(true);
        m_engine->start({});
    }
    m_probes->add(toProbe);
}

void BatchRun::probed(const QString &, const ProbeRun &run)
{
    if (m_nextProbed >= m_probeOrder.size())
        return;
    const int row = m_probeOrder[m_nextProbed++];
    judgeProbe(row, run);
    if (!m_streaming)
        return;
    if (m_model.status(row).state == RowState::Failed && source(row).track)
        m_failedSheets.insert(source(row).track->sheetPath);
    settleProbed();
}

void BatchRun::settleProbed()
{
    while (m_phase != Phase::Done && m_nextSettled < m_nextProbed) {
        const int row = m_probeOrder[m_nextSettled];
        if (const auto &track = source(row).track) {
            // A track waits for its sheet's last one: a track that cannot be cut fails the rest.
            if (m_nextProbed <= m_sheetEnd.value(track->sheetPath))
                return;
            if (m_model.status(row).state == RowState::Ready && m_failedSheets.contains(track->sheetPath))
                fail(row, u"another track of its CUE sheet cannot be cut"_s);
        }
        ++m_nextSettled;
        if (m_model.status(row).state != RowState::Ready)
            continue;
        settleRow(row, *m_names);
        if (m_model.status(row).state == RowState::Ready && !QDir().mkpath(source(row).outputFolder))
            fail(row, u"cannot create the folder "_s + source(row).outputFolder);
        if (m_model.status(row).state == RowState::Ready)
            m_engine->append({ m_model.rowId(row) });
    }
}

void BatchRun::judgeProbe(int row, const ProbeRun &run)
{
    const BatchSource &from = source(row);
    if (!run.started) {
        fail(row, ProbeStartFailedMessage(from.path) + u" ("_s + run.errorText + u')');
        return;
    }
    if (run.timedOut) {
        fail(row, u"the transcoder took too long to examine the file"_s);
        return;
    }
    const ProbeVerdict verdict = JudgeProbeRun(run);
    // Unlike the window, a file without a duration is refused: a terminal run cannot be
    // trimmed by hand afterwards.
    if (!verdict.accepted || verdict.duration == kDurationPlaceholder) {
        QString reason = FailureReason(run.text);
        if (reason.isEmpty())
            reason = run.text.isEmpty() ? u"the transcoder said nothing about it"_s : u"no duration could be found"_s;
        fail(row, u"not valid and fails to load: "_s + reason);
        return;
    }

    TStartRecord &job = m_model.job(row);
    SetProbedTimes(job, verdict);
    // A track of an album image: its own stretch of the image, times and tags.
    if (from.track && !ApplyCueTrack(job, *from.track, verdict.exactNs)) {
        fail(row, CueTrackBeyondImageMessage(from.track->sheetPath, *from.track));
        return;
    }
    job.Volume = m_options.volume.value_or(kUnchangedVolume);
    int duration = 0;
    try {
        duration = TimeCodeToSeconds(job.Duration);
    } catch (const ConversionFailure &failure) {
        fail(row, failure.message());
        return;
    }

    // A range as the trim dialog stores it: the start, and the length up to the end, which the
    // dialog never lets pass the file's end.
    const int start = m_options.start.value_or(0);
    if (start >= duration && start > 0) {
        fail(row, u"--start %1 is not before the end of the file (%2)"_s.arg(SecondsToTimeCode(start), job.Duration));
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
    m_model.setStatus(row, {});
}

void BatchRun::settleOutputs()
{
    // A CUE sheet is converted whole or not at all: a track that cannot be cut fails the rest.
    QSet<QString> failedSheets;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (m_model.status(row).state == RowState::Failed && source(row).track)
            failedSheets.insert(source(row).track->sheetPath);
    }
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (m_model.status(row).state == RowState::Ready && source(row).track
            && failedSheets.contains(source(row).track->sheetPath))
            fail(row, u"another track of its CUE sheet cannot be cut"_s);
    }

    OutputNames names(m_options.clash, QList<BatchSource>(m_sources.begin(), m_sources.end()));
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (m_model.status(row).state == RowState::Ready)
            settleRow(row, names);
    }
}

void BatchRun::settleRow(int row, OutputNames &names)
{
    TStartRecord &job = m_model.job(row);
    const QString name = BatchOutputName(source(row), job.Extension);
    const QString path = names.reserve(source(row).outputFolder, name, job.Extension);
    // Names are shortened to fit; a folder deep enough to pass a whole path's size is not.
    if (FileSystemBytes(path) > kMaxPathBytes) {
        fail(row, u"the output path is longer than %1 bytes: "_s.arg(kMaxPathBytes) + path);
        return;
    }
    job.OutputPath = path;
    m_model.setDestination(row, QFileInfo(path).fileName());
    // An existing file --overwrite may replace, as it is now: should it change before the
    // conversion starts, the conversion takes the "-1" name instead (as the window does).
    if (m_options.clash == ClashRule::Overwrite)
        job.Replace = ReplaceMark::of(path);
    if (m_options.dryRun) {
        TStartRecord shown = job;
        shown.OutputPath = FreeOutputPath(shown);
        m_view.line(WithOutputCheck(BuildConversionCommand(shown)).text);
    }
}

void BatchRun::convert()
{
    if (m_phase != Phase::Probing)
        return;
    if (m_streaming) {
        settleProbed();
        m_phase = Phase::Converting;
        m_view.refresh(m_model, false, true);
        m_engine->setMoreToCome(false);
        return;
    }
    settleOutputs();
    if (m_options.dryRun) {
        finish(ExitStatus::Converted);
        return;
    }
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (m_model.status(row).state == RowState::Ready && !QDir().mkpath(source(row).outputFolder))
            fail(row, u"cannot create the folder "_s + source(row).outputFolder);
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
    m_view.refresh(m_model, false, true);
    m_engine->start(rowsIn(RowState::Ready));
}

// --replaygain album: the one place the albums' loudness is measured (AlbumGroups does the
// work, polled with the redraws) and handed to the rows before the engine starts.
bool BatchRun::startAlbumMeasurement()
{
    if (m_options.replayGain != ReplayGainChoice::Album)
        return false;
    for (const QueueRows::RowId id : rowsIn(RowState::Ready)) {
        const int row = m_model.rowOfId(id);
        const BatchSource &from = source(row);
        m_albums.add(row, AlbumGroups::albumOf(from.path, from.track ? from.track->sheetPath : QString()), from.path);
    }
    if (m_albums.isEmpty())
        return false;
    m_albums.start(m_jobs);
    return true;
}

// Without the album's values no file can be tagged as asked: each fails with the reason and
// is no row of the engine's.
void BatchRun::takeAlbumValues()
{
    for (const QueueRows::RowId id : rowsIn(RowState::Ready)) {
        const int row = m_model.rowOfId(id);
        const AlbumLoudness::Verdict &verdict = m_albums.verdictOf(row);
        if (verdict.measured)
            AlbumLoudness::apply(m_model.job(row).Loudness, verdict.values);
        else
            fail(row, u"the album could not be measured: "_s + verdict.reason);
    }
}

void BatchRun::rowEnded(int row, bool)
{
    // A signal caught meanwhile is handled before the row's end is told, so a conversion
    // ended by Ctrl-C is not reported as a failure of its own.
    if (const int signal = InterruptWatch::caught()) {
        interrupt(signal);
        return;
    }
    if (row < 0)
        return;
    // The engine has written the row's end (and why it failed) into the model.
    m_view.fileEnded(m_model.row(row));
}

void BatchRun::endRow(int row, const RowStatus &status)
{
    m_model.setStatus(row, status);
    m_view.fileEnded(m_model.row(row));
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
        if (!m_albums.poll()) {
            m_view.refresh(m_model, true);
            return;
        }
        takeAlbumValues();
        startEngine();
        return;
    }
    m_view.refresh(m_model, m_phase == Phase::Probing);
}

void BatchRun::interrupt(int signal)
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_probes->cancel();
    m_albums.stop();
    // Should a child have to be ended by force, its temporary file is removed here.
    QStringList temporary;
    const auto running = m_engine->runningChildren();
    for (const auto &child : running)
        temporary << OpenTemporaryOutputs(child.processId, QFileInfo(child.outputPath).path());
    m_engine->abandon();
    // Removed once the transcoders have really gone, never while one may still write.
    const auto tidy = [this, temporary, count = running.size(), signal] {
        for (const QString &path : temporary)
            QFile::remove(path);
        m_view.message(u"interrupted: %1 running transcoder(s) ended, nothing partial left"_s.arg(count));
        finish(128 + signal);
    };
    if (m_engine->endingCount() == 0)
        tidy();
    else
        connect(m_engine.get(), &ConversionEngine::childrenGone, this, tidy, Qt::SingleShotConnection);
}

// A file is a source of every item it feeds: an album image and its CUE sheet of each track.
// It goes only when each of those converted, and the transcoder converts only what passed its
// check (the engine always asks for it); one that failed, was skipped or never ran keeps it.
int BatchRun::trashSources()
{
    QStringList order;
    QHash<QString, bool> allConverted;
    const auto note = [&](const QString &path, bool converted) {
        if (path.isEmpty())
            return;
        if (!allConverted.contains(path)) {
            order << path;
            allConverted.insert(path, converted);
        } else if (!converted) {
            allConverted[path] = false;
        }
    };
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const bool converted = m_model.status(row).isDone();
        note(source(row).path, converted);
        if (source(row).track)
            note(source(row).track->sheetPath, converted);
    }
    // The freedesktop.org trash: the file and a .trashinfo saying where it came from. The home
    // trash is made first, as the trash's rules ask: Qt's own fallback where it cannot make it
    // would put the files into the working folder.
    const QString homeTrash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash"_s;
    const bool trashReady = QDir().mkpath(homeTrash + u"/files"_s) && QDir().mkpath(homeTrash + u"/info"_s);
    int trashed = 0;
    for (const QString &path : std::as_const(order)) {
        if (!allConverted.value(path))
            continue;
        if (trashReady && QFile::moveToTrash(path))
            ++trashed;
        else
            m_view.message(u"cannot move the source to the trash, it stays where it is: "_s + path);
    }
    return trashed;
}

void BatchRun::finish(int exitStatus)
{
    const bool interrupted = exitStatus >= 128;
    m_phase = Phase::Done;
    m_refresh.stop();
    // A row whose transcoder could not be started never ended: it failed, for that reason.
    if (exitStatus == ExitStatus::Converted && !m_options.dryRun) {
        for (const QueueRows::RowId id : rowsIn(RowState::Ready))
            fail(m_model.rowOfId(id), m_startFailure);
    }
    int converted = 0;
    int skipped = 0;
    int failed = 0;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        const RowState state = m_model.status(row).state;
        converted += state == RowState::Done ? 1 : 0;
        skipped += state == RowState::Skipped ? 1 : 0;
        failed += state == RowState::Failed || state == RowState::Refused ? 1 : 0;
    }
    if (exitStatus == ExitStatus::Converted && failed > 0)
        exitStatus = ExitStatus::SomeFailed;
    const int trashed = m_options.trashSources && !m_options.dryRun && !interrupted ? trashSources() : 0;
    if (!m_options.dryRun && !interrupted)
        m_view.summary(converted, skipped, failed, m_options.trashSources ? std::optional<int>(trashed) : std::nullopt);
    Q_EMIT finished(exitStatus);
}
