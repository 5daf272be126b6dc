#include "engine/conversioncommand.h"

#include "core/exactrange.h"
#include "core/filenamefit.h"
#include "core/siblingcommands.h"
#include "core/timecode.h"

#include <QFileInfo>
#include <QSet>
#include <QThread>

using namespace Qt::StringLiterals;
namespace Opt = TranscoderOption;

namespace {

constexpr int kCollisionWaitMs = 10;
constexpr QStringView kCollisionSuffix = u"-1";

// The name to try after `marks` collisions: "-1" before the extension once per collision
// (song-1.mp3, song-1-1.mp3 ...). A name that would pass a file name's 255 bytes gives up
// the end of its base, never the marks or the extension, which decides the output format.
// Empty when the marks alone leave no room.
QString outputCandidate(const QString &folder, const QString &base, int marks, const QString &extension)
{
    const QString name = FitFileName(base, kCollisionSuffix.toString().repeated(marks) + extension);
    return name.isEmpty() ? QString() : folder + name;
}

// Step 10 of the command: make the output name free before the child writes to it.
void makeOutputNameFree(TStartRecord &job, const DestinationChanged &onDestinationChanged, const OutputTaken &isTaken)
{
    const auto runningRowWrites = [&isTaken](const QString &path) { return isTaken && isTaken(path); };
    // A file the user agreed to replace stays taken: the transcoder's -y renames the finished
    // output over it. Never the job's own source, nor a name another running row writes.
    if (job.Replace.allows(job.OutputPath) && !IsSameFile(job.SourcePath, job.OutputPath)
        && !runningRowWrites(job.OutputPath))
        return;
    const QString taken = job.OutputPath;
    const qsizetype nameStart = taken.lastIndexOf(u'/') + 1;
    const QString folder = taken.left(nameStart);
    const QString name = taken.mid(nameStart);
    const QString extension = job.Extension;
    const QString base = name.endsWith(extension) ? name.chopped(extension.size()) : name;
    int marks = 0;
    QSet<QString> tried;
    while (QFileInfo::exists(job.OutputPath) || runningRowWrites(job.OutputPath)) {
        const QString next = outputCandidate(folder, base, ++marks, extension);
        if (next.isEmpty() || tried.contains(next))
            return;
        tried.insert(next);
        job.OutputPath = next;
        if (onDestinationChanged)
            onDestinationChanged(QFileInfo(job.OutputPath).fileName());
        QThread::msleep(kCollisionWaitMs);
    }
}

// The loudness choices, each piece only when asked for: without them the command is the
// one the transcoder has always been given.
void appendLoudness(CommandLine &cmd, const LoudnessRequest &loudness)
{
    if (loudness.normalizeLufs) {
        const QString target = QString::number(*loudness.normalizeLufs);
        cmd.append(u"  -normalize  "_s + target, { Opt::Normalize.toString(), target });
    }
    if (loudness.replayGain || loudness.albumGainDb)
        cmd.append(
            u"  -replaygain  "_s + kReplayGainTrack, { Opt::ReplayGain.toString(), kReplayGainTrack.toString() });
    if (loudness.albumGainDb && loudness.albumPeak) {
        const QString gain = QString::number(*loudness.albumGainDb, 'f', 2);
        const QString peak = QString::number(*loudness.albumPeak, 'f', 6);
        cmd.append(u"  -albumgain  "_s + gain + u"  -albumpeak  "_s + peak,
            { Opt::AlbumGain.toString(), gain, Opt::AlbumPeak.toString(), peak });
    }
}

} // namespace

QString NumberBeforeUnit(const QString &text, QStringView unit)
{
    const qsizetype position = text.indexOf(unit); // 0-based: the 1-based p minus one
    if (position <= 1)
        return {};
    return text.left(position - 1);
}

CommandLine BuildConversionCommand(
    TStartRecord &job, const DestinationChanged &onDestinationChanged, const OutputTaken &isTaken)
{
    CommandLine cmd;
    cmd.program = kTranscoderName.toString();

    cmd.append(kTranscoderName + u" "_s + kSiblingKey + u" -y -i "_s,
        { kSiblingKey.toString(), Opt::Overwrite.toString(), Opt::Input.toString() });
    cmd.append(QuotedPath(job.SourcePath), { job.SourcePath });
    const ConversionRange range = ExactConversionRange(job);
    cmd.append(u"  -ss  "_s + range.start, { Opt::Start.toString(), range.start });
    cmd.append(u"  -t  "_s + range.length, { Opt::Length.toString(), range.length });

    if (job.Lossless == kTrue) {
        cmd.append(u" -acodec  "_s + kCopyCodec, { Opt::Codec.toString(), kCopyCodec.toString() });
    } else {
        const QString volume = QString::number(job.Volume);
        cmd.append(u"   -vol  "_s + volume, { Opt::Volume.toString(), volume });
        const QString rate = NumberBeforeUnit(job.SampleRate, u"Hz");
        if (!rate.isEmpty())
            cmd.append(u"  -ar  "_s + rate, { Opt::SampleRate.toString(), rate });
    }

    if (job.AudioCodec == kMp3ProfileCodec)
        cmd.append(u" -acodec  "_s + kMp3Encoder, { Opt::Codec.toString(), kMp3Encoder.toString() });
    else
        cmd.append(u"  -acodec  "_s + job.AudioCodec.text(), { Opt::Codec.toString(), job.AudioCodec });

    if (job.BitrateNot == kFalse && job.Bitrate.text().contains(u"kbps")) {
        const QString kbps = NumberBeforeUnit(job.Bitrate, u"kbps") + u'k';
        cmd.append(
            u" -ab "_s + kbps + u"  -qscale 6"_s, { Opt::Bitrate.toString(), kbps, Opt::Quality.toString(), u"6"_s });
    }

    const QString first = job.Channels.text().left(1);
    const QString channels = first == u"5" ? u"6"_s : first;
    cmd.append(u"  -ac  "_s + channels, { Opt::Channels.toString(), channels });

    if (job.VideoNot == kTrue)
        cmd.append(u" -vn"_s, { Opt::NoVideo.toString() });

    // A track of an album image carries its own tags; an ordinary row has none here.
    for (const auto &[key, value] : std::as_const(job.TagValues)) {
        const QString pair = key + u'=' + value;
        cmd.append(u"  "_s + Opt::Tag + u"  "_s + QuotedPath(pair), { Opt::Tag.toString(), pair });
    }

    appendLoudness(cmd, job.Loudness);
    makeOutputNameFree(job, onDestinationChanged, isTaken);
    cmd.append(u"   "_s + QuotedPath(job.OutputPath), { job.OutputPath });
    return cmd;
}
