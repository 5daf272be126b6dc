#include "cli/batchrunner.h"

#include "cli/exitstatus.h"
#include "cli/interruptwatch.h"
#include "cli/leftovers.h"
#include "cli/progressview.h"
#include "core/conversionfailure.h"
#include "core/replacemark.h"
#include "core/siblingcommands.h"
#include "core/timecode.h"
#include "engine/conversioncommand.h"
#include "engine/transcodertext.h"
#include "sources/destinationname.h"
#include "sources/mediaprobe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTickMs = 100;

// The line of the transcoder's text that says what went wrong.
QString reasonIn(const QString &text)
{
    const QStringList lines = text.split(QRegularExpression(u"[\r\n]"_s), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (line.startsWith(u"Error: "_s))
            return line.mid(7).trimmed();
    }
    for (const QString &line : lines) {
        if (ReportsFailure(line))
            return line.trimmed();
    }
    return {};
}

} // namespace

BatchRunner::BatchRunner(const QList<BatchSource> &sources, const TStartRecord &job, const ConvertOptions &options,
    int jobs, const QString &scratchFolder, ProgressView &view, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_job(job)
    , m_jobs(qMax(1, jobs))
    , m_scratchFolder(scratchFolder)
    , m_view(view)
{
    for (const BatchSource &source : sources) {
        BatchItem &item = m_items.emplace_back();
        item.source = source;
        item.job = job;
    }
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &BatchRunner::tick);
}

BatchRunner::~BatchRunner() = default;

void BatchRunner::start()
{
    // --skip needs no probe for a file whose output is there already.
    if (m_options.clash == ClashRule::Skip) {
        for (BatchItem &item : m_items) {
            const QString name = BatchOutputName(item.source, m_job.Extension);
            if (OutputNames::exists(item.source.outputFolder, name)) {
                item.job.OutputPath = JoinFolder(item.source.outputFolder, name);
                endItem(item, BatchItem::State::Skipped);
            }
        }
    }
    m_timer.start();
    QTimer::singleShot(0, this, &BatchRunner::tick); // inside the event loop, which finish() ends
}

std::unique_ptr<ChildProcess> BatchRunner::startedChild()
{
    auto child = std::make_unique<ChildProcess>();
    // A child's end is acted on at once rather than at the next tick, so no slot stands idle.
    connect(child.get(), &ChildProcess::finished, this, [this] { QTimer::singleShot(0, this, &BatchRunner::tick); });
    return child;
}

int BatchRunner::running() const
{
    int count = 0;
    for (const BatchItem &item : m_items)
        count += item.child ? 1 : 0;
    return count;
}

void BatchRunner::tick()
{
    if (m_phase == Phase::Done)
        return;
    // A signal caught meanwhile is handled before any child's last words are read, so an
    // interrupted conversion is not reported as a failure of its own.
    if (const int signal = InterruptWatch::caught()) {
        interrupt(signal);
        return;
    }
    bool phaseChanged = false;
    for (BatchItem &item : m_items) {
        if (item.state == BatchItem::State::Probing)
            followProbe(item);
        else if (item.state == BatchItem::State::Converting)
            followConversion(item);
    }

    if (m_phase == Phase::Probing) {
        while (running() < m_jobs && startNextProbe()) { }
        if (running() == 0) {
            settleOutputs();
            if (m_options.dryRun) {
                finish(ExitStatus::Converted);
                return;
            }
            m_phase = Phase::Converting;
            phaseChanged = true;
        }
    }
    if (m_phase == Phase::Converting) {
        while (running() < m_jobs && startNextConversion()) { }
        if (running() == 0) {
            finish(ExitStatus::Converted);
            return;
        }
    }
    // The totals replace the examination's line at once, however soon the last redraw was.
    m_view.refresh(m_items, m_phase == Phase::Probing, phaseChanged);
}

bool BatchRunner::startNextProbe()
{
    for (BatchItem &item : m_items) {
        if (item.state != BatchItem::State::Waiting)
            continue;
        item.state = BatchItem::State::Probing;
        item.child = startedChild();
        // Every probe writes its own scratch file, so probes can run side by side.
        item.scratchPath = m_scratchFolder + u"/probe-%1.wav"_s.arg(++m_probeCount);
        if (!item.child->start(ProbeCommand(item.source.path, item.scratchPath))) {
            const QString why = item.child->errorText();
            endItem(item, BatchItem::State::Failed, ProbeStartFailedMessage(item.source.path) + u" ("_s + why + u')');
            continue;
        }
        item.clock.start();
        return true;
    }
    return false;
}

void BatchRunner::followProbe(BatchItem &item)
{
    item.probeText += item.child->readPipeText();
    if (item.child->isDrained()) {
        item.child.reset();
        QFile::remove(item.scratchPath);
        judgeProbe(item);
        item.probeText.clear();
    } else if (item.clock.elapsed() > kProbeTimeoutMs) {
        item.child.reset(); // ends it
        endItem(item, BatchItem::State::Failed, u"the transcoder took too long to examine the file"_s);
    }
}

void BatchRunner::judgeProbe(BatchItem &item)
{
    const ProbeVerdict verdict = JudgeProbeText(item.probeText);
    if (!verdict.accepted || verdict.duration == kDurationPlaceholder) {
        QString reason = reasonIn(item.probeText);
        if (reason.isEmpty())
            reason = item.probeText.isEmpty() ? u"the transcoder said nothing about it"_s
                                              : u"no duration could be found"_s;
        endItem(item, BatchItem::State::Failed, u"not valid and fails to load: "_s + reason);
        return;
    }

    TStartRecord &job = item.job;
    job.SourcePath = item.source.path;
    SetProbedTimes(job, verdict);
    // A track of an album image: its own stretch of the image, times and tags.
    if (item.source.track && !ApplyCueTrack(job, *item.source.track, verdict.exactNs)) {
        endItem(item, BatchItem::State::Failed, CueTrackBeyondImageMessage(item.source.path, *item.source.track));
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

void BatchRunner::settleOutputs()
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
        // The record holds 255 characters; a longer path would lose its extension or more.
        if (path.size() > FixedText<255>::kCapacity) {
            endItem(item, BatchItem::State::Failed, u"the output path is longer than 255 characters: "_s + path);
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

bool BatchRunner::startNextConversion()
{
    for (BatchItem &item : m_items) {
        if (item.state != BatchItem::State::Probed)
            continue;
        if (!QDir().mkpath(item.source.outputFolder)) {
            endItem(item, BatchItem::State::Failed, u"cannot create the folder "_s + item.source.outputFolder);
            continue;
        }
        // A file that appeared since the names were settled gets the conversion's own "-1"
        // name, as in the window; a marked replacement keeps its name.
        const CommandLine command = BuildConversionCommand(item.job);
        item.child = startedChild();
        if (!item.child->start(command)) {
            const QString why = item.child->errorText();
            item.child.reset();
            endItem(item, BatchItem::State::Failed, why);
            continue;
        }
        item.state = BatchItem::State::Converting;
        item.clock.start();
        return true;
    }
    return false;
}

void BatchRunner::followConversion(BatchItem &item)
{
    item.pending += item.child->readPipeText();
    const bool drained = item.child->isDrained();
    // Judged by whole lines, so a word split between two reads is still found.
    qsizetype end;
    while ((end = item.pending.indexOf(QRegularExpression(u"[\r\n]"_s))) >= 0) {
        const QString line = item.pending.left(end);
        item.pending.remove(0, end + 1);
        judgeLine(item, line);
        if (item.state != BatchItem::State::Converting)
            return;
    }
    if (!drained)
        return;
    if (!item.pending.isEmpty()) {
        judgeLine(item, std::exchange(item.pending, QString()));
        if (item.state != BatchItem::State::Converting)
            return;
    }
    item.child.reset();
    if (item.reportedSuccess)
        endItem(item, BatchItem::State::Converted);
    else
        endItem(item, BatchItem::State::Failed, u"the transcoder ended without finishing the file"_s);
}

void BatchRunner::judgeLine(BatchItem &item, const QString &line)
{
    if (const auto seconds = ProgressSeconds(line))
        item.positionSeconds = *seconds;
    if (ReportsSuccess(line))
        item.reportedSuccess = true;
    if (ReportsFailure(line)) {
        // A transcoder that reported a failure is not left to write on: ended now, it removes
        // its temporary file.
        if (item.child) {
            item.child->end();
            item.child.reset();
        }
        endItem(item, BatchItem::State::Failed, reasonIn(line));
    }
}

void BatchRunner::endItem(BatchItem &item, BatchItem::State state, const QString &reason)
{
    item.state = state;
    item.reason = reason;
    m_view.fileEnded(item);
}

void BatchRunner::interrupt(int signal)
{
    if (m_phase == Phase::Done)
        return;
    int ended = 0;
    for (BatchItem &item : m_items) {
        if (!item.child)
            continue;
        // Should the child have to be ended by force, its temporary file is removed here.
        const QStringList temporary = OpenTemporaryOutputs(item.child->processId(), item.source.outputFolder);
        item.child->end();
        item.child.reset();
        for (const QString &path : temporary)
            QFile::remove(path);
        ++ended;
    }
    m_view.message(u"interrupted: %1 running transcoder(s) ended, nothing partial left"_s.arg(ended));
    finish(128 + signal);
}

void BatchRunner::finish(int exitStatus)
{
    m_phase = Phase::Done;
    m_timer.stop();
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
    if (!m_options.dryRun && exitStatus < 128)
        m_view.summary(converted, skipped, failed);
    Q_EMIT finished(exitStatus);
}
