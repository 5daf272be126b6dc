#include "cli/sync/syncrun.h"

#include "cli/batchrun.h"
#include "cli/exitstatus.h"
#include "cli/interruptwatch.h"
#include "cli/leftovers.h"
#include "cli/progressview.h"
#include "cli/sync/audiofingerprint.h"
#include "cli/sync/childrun.h"
#include "core/siblingcommands.h"
#include "engine/conversioncommand.h"
#include "platform/childprocess.h"
#include "sources/destinationname.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRetagTimeoutMs = 120000;

QString stampOfFile(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return u"-"_s;
    return u"%1:%2.%3"_s.arg(qint64(status.st_size)).arg(qint64(status.st_mtim.tv_sec)).arg(status.st_mtim.tv_nsec);
}

QString relativeTo(const QString &folder, const QString &path)
{
    return QDir(folder).relativeFilePath(path);
}

// Every file some process of this machine holds open, as /proc shows them to us.
QSet<QString> openFiles()
{
    QSet<QString> open;
    for (const QString &process : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!process.front().isDigit())
            continue;
        const QDir descriptors(u"/proc/"_s + process + u"/fd"_s);
        for (const QFileInfo &link : descriptors.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
            open.insert(link.symLinkTarget());
    }
    return open;
}

// A transcoder's temporary file still being written on another machine (a shard sharing the
// folder) is left alone for this long after its last write.
constexpr qint64 kForeignLeftoverSeconds = 600;

} // namespace

int SyncShard::of(const QString &album, int count)
{
    // FNV-1a over the UTF-8 name: the same on every machine, unlike qHash's per-process seed.
    quint64 hash = 14695981039346656037ULL;
    for (const char byte : album.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 1099511628211ULL;
    }
    return count <= 1 ? 0 : int(hash % quint64(count));
}

std::optional<SyncShard> SyncShard::fromEnvironment(
    const QProcessEnvironment &environment, int givenCount, QString *error)
{
    const auto number = [&](const QString &name, int &value) {
        bool ok = false;
        value = environment.value(name).toInt(&ok);
        return environment.contains(name) && ok;
    };
    SyncShard shard;
    int first = 0;
    int id = 0;
    if (number(u"SLURM_ARRAY_TASK_ID"_s, id)) {
        if (!number(u"SLURM_ARRAY_TASK_COUNT"_s, shard.count) && givenCount == 0) {
            *error = u"--shard auto: SLURM_ARRAY_TASK_ID is set but SLURM_ARRAY_TASK_COUNT is not"_s;
            return std::nullopt;
        }
        if (givenCount > 0)
            shard.count = givenCount;
        number(u"SLURM_ARRAY_TASK_MIN"_s, first);
        shard.index = id - first;
    } else if (number(u"JOB_COMPLETION_INDEX"_s, shard.index)) {
        shard.count = givenCount;
        if (shard.count == 0 && !number(u"TOLM_SHARD_COUNT"_s, shard.count)) {
            *error = u"--shard auto: JOB_COMPLETION_INDEX needs the count, as --shard auto/N or in TOLM_SHARD_COUNT"_s;
            return std::nullopt;
        }
    } else {
        *error = u"--shard auto: neither SLURM_ARRAY_TASK_ID nor JOB_COMPLETION_INDEX is set"_s;
        return std::nullopt;
    }
    if (shard.count < 1 || shard.count > kMaxShards || shard.index < 0 || shard.index >= shard.count) {
        *error = u"--shard auto: share %1 of %2 does not exist"_s.arg(shard.index).arg(shard.count);
        return std::nullopt;
    }
    return shard;
}

SyncRun::SyncRun(Setup setup, ProgressView &view, QObject *parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_view(view)
{ }

SyncRun::~SyncRun() = default;

QString SyncRun::settingsFingerprint(const TStartRecord &job, const ConvertOptions &options)
{
    TStartRecord shown = job;
    shown.SourcePath = u"SOURCE"_s;
    shown.OutputPath = u"OUTPUT"_s + job.Extension.text();
    QString text = BuildConversionCommand(shown).text;
    const auto number = [](const std::optional<int> &value) { return value ? QString::number(*value) : u"-"_s; };
    text += u"|start=%1|end=%2|length=%3|volume=%4|replaygain=%5|normalize=%6"_s
                .arg(number(options.start), number(options.end), number(options.length), number(options.volume))
                .arg(int(options.replayGain))
                .arg(number(options.normalizeLufs));
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
}

QString SyncRun::stampOf(const BatchSource &source)
{
    if (source.track)
        return stampOfFile(source.path) + u'|' + stampOfFile(source.track->sheetPath);
    return stampOfFile(source.path);
}

void SyncRun::say(const QString &text)
{
    if (m_view.mode() != ProgressView::Mode::Quiet)
        m_view.line(text);
}

QString SyncRun::absolute(const QString &relative) const
{
    return m_setup.destination + u'/' + relative;
}

QList<SyncSource> SyncRun::syncSources() const
{
    QList<SyncSource> sources;
    const QString extension = m_setup.job.Extension.text();
    for (const BatchSource &source : m_setup.sources) {
        const QString album = relativeTo(m_setup.destination, source.outputFolder);
        if (!m_setup.shard.owns(album))
            continue;
        SyncSource synced;
        synced.source = source;
        synced.key = source.track ? QDir::cleanPath(QDir::current().absoluteFilePath(source.track->sheetPath)) + u'#'
                + QString::number(source.track->number)
                                  : source.path;
        synced.stamp = stampOf(source);
        synced.output
            = relativeTo(m_setup.destination, JoinFolder(source.outputFolder, BatchOutputName(source, extension)));
        synced.album = album;
        sources << synced;
    }
    return sources;
}

// A source folder that is not there (a disk not mounted) or holds nothing must not read as
// "every album was deleted".
bool SyncRun::orphansMayGo(QString *why) const
{
    if (m_setup.sources.isEmpty()) {
        *why = u"there is no source at all"_s;
        return false;
    }
    for (const QString &input : m_setup.inputs) {
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(input));
        const QFileInfo info(path);
        if (!info.exists()) {
            *why = u"the source %1 is missing"_s.arg(input);
            return false;
        }
        if (!info.isDir())
            continue;
        const QString inside = path + u'/';
        const bool holds = std::any_of(m_setup.sources.cbegin(), m_setup.sources.cend(),
            [&](const BatchSource &source) { return source.path.startsWith(inside); });
        if (!holds) {
            *why = u"the source folder %1 holds no media file"_s.arg(input);
            return false;
        }
    }
    return true;
}

void SyncRun::start()
{
    const ConvertOptions &options = m_setup.options;
    QString error;
    const auto manifest = SyncManifest::load(m_setup.destination, &error);
    if (!manifest) {
        m_view.message(error);
        complete(ExitStatus::SomeFailed);
        return;
    }
    if (!options.results.isEmpty()) {
        m_results.setFileName(options.results);
        if (!m_results.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_view.message(u"cannot write the results to %1: %2"_s.arg(options.results, m_results.errorString()));
            complete(ExitStatus::SomeFailed);
            return;
        }
    }

    m_sources = syncSources();
    QString keep;
    const bool mayDelete = options.deleteOrphans && orphansMayGo(&keep);
    if (options.deleteOrphans && !mayDelete)
        m_view.message(u"no orphan is deleted: "_s + keep);
    const QString transcoder = ChildProcess::resolveProgram(kTranscoderName.toString());
    const QString destination = m_setup.destination;
    SyncPlanInput input;
    input.destination = destination;
    input.settings = settingsFingerprint(m_setup.job, options);
    input.fingerprint = [&](const SyncSource &source) {
        return AudioFingerprint::of(source.source.path, transcoder, m_setup.scratchFolder);
    };
    input.outputExists = [&](const QString &relative) { return QFileInfo(absolute(relative)).isFile(); };
    input.ownsAlbum = [this](const QString &album) { return m_setup.shard.owns(album); };
    input.deleteOrphans = mayDelete;
    input.albumGain = options.replayGain == ReplayGainChoice::Album;
    m_steps = PlanSync(m_sources, *manifest, input);

    if (options.dryRun) {
        printPlan();
        complete(ExitStatus::Converted);
        return;
    }
    if (!QDir().mkpath(destination)) {
        m_view.message(u"cannot create the folder "_s + destination);
        complete(ExitStatus::SomeFailed);
        return;
    }
    m_journal = std::make_unique<SyncJournal>(destination, m_setup.shard.name());
    if (!m_journal->open(&error)) {
        m_view.message(error);
        m_journal.reset();
        complete(ExitStatus::SomeFailed);
        return;
    }
    sweepLeftovers();
    if (!runDirectSteps())
        return;
    startConversions();
}

// What a sync ended by force left: transcoders' temporary files no process writes any more.
// They never bear an output's name; they are removed so the copy holds outputs only.
void SyncRun::sweepLeftovers()
{
    QStringList found;
    QDirIterator it(
        m_setup.destination, { u".sonmill-*.part"_s }, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (IsTemporaryOutputName(QFileInfo(file).fileName()))
            found << file;
    }
    if (found.isEmpty())
        return;
    const QSet<QString> open = openFiles();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QString &file : std::as_const(found)) {
        const QFileInfo info(file);
        const bool quiet = m_setup.shard.count <= 1 || info.lastModified().secsTo(now) > kForeignLeftoverSeconds;
        if (quiet && !open.contains(info.canonicalFilePath()))
            QFile::remove(file);
    }
}

void SyncRun::printPlan()
{
    for (const SyncStep &step : std::as_const(m_steps)) {
        if (step.action != SyncAction::Keep) {
            const QString what = step.source >= 0 ? m_sources.at(step.source).source.shown : step.entry.key;
            QString line = SyncActionName(step.action) + u": "_s + what + u" -> "_s + step.entry.output;
            if (step.action == SyncAction::Move)
                line = SyncActionName(step.action) + u": "_s + step.from + u" -> "_s + step.entry.output;
            say(line + u" ("_s + step.reason + u')');
        }
        record(step, u"planned"_s, 0, step.reason);
    }
}

bool SyncRun::retag(const SyncSource &source, const QString &output, QString *why)
{
    const ConvertOptions &options = m_setup.options;
    QStringList arguments;
    // What decides which of the source's fields still describe the output's audio.
    if (options.replayGain != ReplayGainChoice::None)
        arguments << TranscoderOption::ReplayGain.toString() << kReplayGainTrack.toString();
    if (options.normalizeLufs)
        arguments << TranscoderOption::Normalize.toString() << QString::number(*options.normalizeLufs);
    if (options.volume && *options.volume != 100)
        arguments << TranscoderOption::Volume.toString() << QString::number(*options.volume);
    if (options.start || options.end || options.length)
        arguments << TranscoderOption::Start.toString() << QString::number(options.start.value_or(0));
    const CommandLine command = RetagCommand(source.source.path, absolute(output), arguments);
    const ChildRun run = RunToEnd(ChildProcess::resolveProgram(command.program), command.arguments, kRetagTimeoutMs);
    if (run.started && !run.inTime) {
        *why = u"the transcoder did not write the tags in time"_s;
        return false;
    }
    if (run.exitCode != 0) {
        const QString text = QString::fromUtf8(run.output);
        const qsizetype error = text.indexOf(u"Error: "_s);
        *why = error >= 0 ? text.mid(error + 7).section(u'\n', 0, 0) : u"the transcoder failed"_s;
        return false;
    }
    return true;
}

void SyncRun::removeOutput(const QString &relative)
{
    QFile::remove(absolute(relative));
    // Folders the removal leaves empty go too, up to the destination.
    QDir folder = QFileInfo(absolute(relative)).dir();
    const QString top = QDir(m_setup.destination).absolutePath();
    while (folder.absolutePath() != top && folder.absolutePath().startsWith(top + u'/')
        && folder.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString name = folder.dirName();
        if (!folder.cdUp() || !folder.rmdir(name))
            break;
    }
}

// The steps that need no conversion, in order: moves first free their names, then removals,
// then tags.
bool SyncRun::runDirectSteps()
{
    for (const SyncAction action :
        { SyncAction::Move, SyncAction::Delete, SyncAction::Orphan, SyncAction::Tags, SyncAction::Keep }) {
        for (SyncStep &step : m_steps) {
            if (step.action != action)
                continue;
            if (const int signal = InterruptWatch::caught()) {
                complete(128 + signal);
                return false;
            }
            QElapsedTimer timer;
            timer.start();
            QString why;
            bool done = true;
            switch (action) {
            case SyncAction::Move: {
                const SyncSource &source = m_sources.at(step.source);
                const QString to = absolute(step.entry.output);
                done = QDir().mkpath(QFileInfo(to).path())
                    && std::rename(
                           QFile::encodeName(absolute(step.from)).constData(), QFile::encodeName(to).constData())
                        == 0;
                if (!done) {
                    why = u"cannot move %1 to %2: %3"_s.arg(
                        step.from, step.entry.output, QString::fromLocal8Bit(std::strerror(errno)));
                    break;
                }
                removeOutput(step.from); // only its emptied folders: the file has gone already
                m_journal->drop(step.fromKey);
                done = retag(source, step.entry.output, &why);
                if (!done)
                    step.entry.stamp.clear(); // its tags are looked at again next time
                m_journal->put(step.entry);
                break;
            }
            case SyncAction::Delete:
                removeOutput(step.entry.output);
                m_journal->drop(step.entry.key);
                say(u"deleted: "_s + step.entry.output + u" (its source is gone)"_s);
                break;
            case SyncAction::Orphan:
                say(u"orphan: "_s + step.entry.output + u" (its source is gone; --delete-orphans removes it)"_s);
                break;
            case SyncAction::Tags:
                done = retag(m_sources.at(step.source), step.entry.output, &why);
                if (done)
                    m_journal->put(step.entry);
                break;
            case SyncAction::Keep:
            case SyncAction::Convert:
                break;
            }
            if (done && (action == SyncAction::Tags || action == SyncAction::Move))
                say(SyncActionName(action) + u": "_s + m_sources.at(step.source).source.shown);
            if (!done) {
                ++m_failed;
                m_view.failure(step.source >= 0 ? m_sources.at(step.source).source.shown : step.entry.output, why);
            }
            record(step, done ? u"done"_s : u"failed"_s, double(timer.elapsed()) / 1000, done ? step.reason : why);
        }
    }
    return true;
}

void SyncRun::startConversions()
{
    QList<BatchSource> sources;
    for (int index = 0; index < m_steps.size(); ++index) {
        if (m_steps.at(index).action == SyncAction::Convert) {
            sources << m_sources.at(m_steps.at(index).source).source;
            m_convertSteps << index;
        }
    }
    if (sources.isEmpty()) {
        complete(m_failed > 0 ? ExitStatus::SomeFailed : ExitStatus::Converted);
        return;
    }
    ConvertOptions options = m_setup.options;
    // The destination is the sync's own: an output it converts again replaces the old one.
    options.clash = ClashRule::Overwrite;
    m_batch = std::make_unique<BatchRun>(sources, m_setup.job, options, m_setup.jobs, m_setup.scratchFolder, m_view);
    connect(&m_batch->rows(), &BatchModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        for (int row = from.row(); row <= to.row(); ++row)
            conversionRowChanged(row);
    });
    connect(m_batch.get(), &BatchRun::finished, this, &SyncRun::conversionsEnded);
    m_batch->start();
}

void SyncRun::conversionRowChanged(int row)
{
    if (row < 0 || row >= m_convertSteps.size() || m_ended.contains(row))
        return;
    const BatchModel &rows = m_batch->rows();
    const RowState state = rows.status(row).state;
    if (state == RowState::Converting && !m_started.contains(row))
        m_started[row].start();
    if (state != RowState::Done && state != RowState::Failed && state != RowState::Refused
        && state != RowState::Skipped)
        return;
    m_ended.insert(row);
    SyncStep &step = m_steps[m_convertSteps.at(row)];
    const double seconds = m_started.contains(row) ? double(m_started[row].elapsed()) / 1000 : 0;
    if (state == RowState::Done) {
        step.entry.output = relativeTo(m_setup.destination, rows.row(row).job.OutputPath.text());
        if (!step.from.isEmpty() && step.from != step.entry.output)
            removeOutput(step.from);
        m_journal->put(step.entry);
        record(step, u"done"_s, seconds, step.reason);
    } else {
        ++m_failed;
        record(step, u"failed"_s, seconds, rows.status(row).reason);
    }
}

void SyncRun::conversionsEnded(int exitStatus)
{
    if (exitStatus >= 128) {
        complete(exitStatus);
        return;
    }
    complete(m_failed > 0 ? ExitStatus::SomeFailed : ExitStatus::Converted);
}

void SyncRun::interrupt(int signal)
{
    if (m_done)
        return;
    if (m_batch) {
        m_batch->interrupt(signal); // finishes through conversionsEnded
        return;
    }
    complete(128 + signal);
}

void SyncRun::record(const SyncStep &step, const QString &status, double seconds, const QString &reason)
{
    if (status != u"failed"_s)
        ++m_counts[SyncActionName(step.action)];
    if (!m_results.isOpen())
        return;
    const QJsonObject line { { u"source"_s, step.source >= 0 ? m_sources.at(step.source).source.path : QString() },
        { u"output"_s, step.entry.output }, { u"action"_s, SyncActionName(step.action) }, { u"status"_s, status },
        { u"seconds"_s, qRound(seconds * 1000) / 1000.0 }, { u"reason"_s, reason } };
    m_results.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_results.flush();
}

void SyncRun::complete(int exitStatus)
{
    if (m_done)
        return;
    m_done = true;
    if (m_journal) {
        QString error;
        if (!m_journal->fold(&error)) {
            m_view.message(error);
            if (exitStatus == ExitStatus::Converted)
                exitStatus = ExitStatus::SomeFailed;
        }
    }
    if (exitStatus < 128) {
        const auto count = [this](SyncAction action) { return m_counts.value(SyncActionName(action)); };
        say(u"%1: %2 %3, %4 tags rewritten, %5 moved, %6 unchanged, %7 orphans, %8 deleted, %9 failed"_s
                .arg(m_setup.options.dryRun ? u"sync (dry run)"_s : u"sync"_s)
                .arg(count(SyncAction::Convert))
                .arg(m_setup.options.dryRun ? u"to convert"_s : u"converted"_s)
                .arg(count(SyncAction::Tags))
                .arg(count(SyncAction::Move))
                .arg(count(SyncAction::Keep))
                .arg(count(SyncAction::Orphan))
                .arg(count(SyncAction::Delete))
                .arg(m_failed));
    }
    m_results.close();
    Q_EMIT finished(exitStatus);
}
