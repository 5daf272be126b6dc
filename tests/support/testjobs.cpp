#include "testjobs.h"

using namespace Qt::StringLiterals;

namespace TestJobs {

TStartRecord mp3(const QString &source, const QString &output, const QString &length)
{
    TStartRecord job;
    job.SourcePath = source;
    job.StartTime = kStartOfFile.toString();
    job.Length = length;
    job.Lossless = kFalse.toString();
    job.Volume = kUnchangedVolume;
    job.SampleRate = kDefaultSampleRate.toString();
    job.AudioCodec = u"mp3"_s;
    job.BitrateNot = kFalse.toString();
    job.Bitrate = kDefaultBitrate.toString();
    job.Channels = kDefaultChannels.toString();
    job.VideoNot = kTrue.toString();
    job.Extension = u".mp3"_s;
    job.OutputPath = output;
    return job;
}

TStartRecord source(const QString &path, const QString &duration, const QString &start, const QString &length)
{
    TStartRecord job;
    job.SourcePath = path;
    job.Duration = duration;
    job.StartTime = start;
    job.Length = length.isEmpty() ? duration : length;
    job.Volume = kUnchangedVolume;
    return job;
}

} // namespace TestJobs
