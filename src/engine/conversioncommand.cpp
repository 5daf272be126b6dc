#include "engine/conversioncommand.h"

#include "core/exactrange.h"
#include "core/filenamefit.h"
#include "core/siblingcommands.h"
#include "core/timecode.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;
namespace Opt = TranscoderOption;

namespace {

constexpr QStringView kCollisionSuffix = u"-1";

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

QString FreeOutputPath(const TStartRecord &job, const OutputTaken &isTaken)
{
    const QString wanted = job.OutputPath;
    const auto runningRowWrites = [&isTaken](const QString &path) { return isTaken && isTaken(path); };
    // A file the user agreed to replace stays taken: the transcoder's -y renames the finished
    // output over it. Never the job's own source, nor a name another running row writes.
    if (job.Replace.allows(wanted) && !IsSameFile(job.SourcePath, wanted) && !runningRowWrites(wanted))
        return wanted;
    const qsizetype nameStart = wanted.lastIndexOf(u'/') + 1;
    const QString folder = wanted.left(nameStart);
    const auto taken = [&](const QString &name) {
        const QString path = folder + name;
        return QFileInfo::exists(path) || runningRowWrites(path);
    };
    const std::optional<QString> name = FreeFileName(wanted.mid(nameStart), job.Extension, kCollisionSuffix, taken);
    return name ? folder + *name : wanted;
}

CommandLine BuildConversionCommand(const TStartRecord &job)
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
    cmd.append(u"   "_s + QuotedPath(job.OutputPath), { job.OutputPath });
    return cmd;
}
