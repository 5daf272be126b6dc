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
// The quality the profiles' bit-rate commands have always carried beside -ab.
constexpr QStringView kProfileQuality = u"6";

// One option and its value; the blanks around them are the ones the command has always had.
void appendOption(CommandLine &cmd, QStringView before, QStringView option, QStringView between, const QString &value)
{
    cmd.append(before.toString() + option + between + value, { option.toString(), value });
}

// The loudness choices, each piece only when asked for: without them the command is the
// one the transcoder has always been given.
void appendLoudness(CommandLine &cmd, const LoudnessRequest &loudness)
{
    if (loudness.normalizeLufs) {
        const QString target = QString::number(*loudness.normalizeLufs);
        appendOption(cmd, u"  ", Opt::Normalize, u"  ", target);
    }
    if (loudness.replayGain || loudness.albumGainDb)
        appendOption(cmd, u"  ", Opt::ReplayGain, u"  ", kReplayGainTrack.toString());
    if (loudness.albumGainDb && loudness.albumPeak) {
        const QString gain = QString::number(*loudness.albumGainDb, 'f', 2);
        const QString peak = QString::number(*loudness.albumPeak, 'f', 6);
        appendOption(cmd, u"  ", Opt::AlbumGain, u"  ", gain);
        appendOption(cmd, u"  ", Opt::AlbumPeak, u"  ", peak);
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

    cmd.append(kTranscoderName + u" "_s + kSiblingKey + u" "_s + Opt::Overwrite + u" "_s + Opt::Input + u" "_s,
        { kSiblingKey.toString(), Opt::Overwrite.toString(), Opt::Input.toString() });
    cmd.append(QuotedPath(job.SourcePath), { job.SourcePath });
    const ConversionRange range = ExactConversionRange(job);
    appendOption(cmd, u"  ", Opt::Start, u"  ", range.start);
    appendOption(cmd, u"  ", Opt::Length, u"  ", range.length);

    if (job.Lossless == kTrue) {
        appendOption(cmd, u" ", Opt::Codec, u"  ", kCopyCodec.toString());
    } else {
        const QString volume = QString::number(job.Volume);
        appendOption(cmd, u"   ", Opt::Volume, u"  ", volume);
        const QString rate = NumberBeforeUnit(job.SampleRate, u"Hz");
        if (!rate.isEmpty())
            appendOption(cmd, u"  ", Opt::SampleRate, u"  ", rate);
    }

    if (job.AudioCodec == kMp3ProfileCodec)
        appendOption(cmd, u" ", Opt::Codec, u"  ", kMp3Encoder.toString());
    else
        appendOption(cmd, u"  ", Opt::Codec, u"  ", job.AudioCodec.text());

    if (job.BitrateNot == kFalse && job.Bitrate.text().contains(u"kbps")) {
        const QString kbps = NumberBeforeUnit(job.Bitrate, u"kbps") + u'k';
        appendOption(cmd, u" ", Opt::Bitrate, u" ", kbps);
        appendOption(cmd, u"  ", Opt::Quality, u" ", kProfileQuality.toString());
    }

    const QString first = job.Channels.text().left(1);
    const QString channels = first == u"5" ? u"6"_s : first;
    appendOption(cmd, u"  ", Opt::Channels, u"  ", channels);

    if (job.VideoNot == kTrue)
        cmd.append(u" "_s + Opt::NoVideo, { Opt::NoVideo.toString() });

    // A track of an album image carries its own tags; an ordinary row has none here.
    for (const auto &[key, value] : std::as_const(job.TagValues)) {
        const QString pair = key + u'=' + value;
        cmd.append(u"  "_s + Opt::Tag + u"  "_s + QuotedPath(pair), { Opt::Tag.toString(), pair });
    }

    appendLoudness(cmd, job.Loudness);
    cmd.append(u"   "_s + QuotedPath(job.OutputPath), { job.OutputPath });
    return cmd;
}
