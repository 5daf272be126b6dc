#include "sources/mediaprobe.h"

#include "core/exactrange.h"
#include "core/siblingcommands.h"
#include "core/startrecord.h"
#include "core/timecode.h"
#include "platform/childprocess.h"
#include "protocol/sonmillprotocol.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

ProbeVerdict JudgeProbeText(const QString &text)
{
    ProbeVerdict verdict;
    if (text.isEmpty()) {
        verdict.accepted = true;
        return verdict;
    }
    // Found by "Duration:"; the time code stands after its blank.
    static constexpr QStringView kDurationWord = u"" SONMILL_DURATION_WORD;
    const qsizetype duration = text.indexOf(kDurationWord.chopped(1));
    if (duration >= 0) {
        verdict.duration = text.mid(duration + kDurationWord.size(), kTimeCodeLength);
        verdict.exactNs = TimeCodeToNs(text.mid(duration + kDurationWord.size(), kTimeCodeLength + 3));
    }

    const auto &words = SonmillProtocol::kRefusingWords;
    const bool refusingWord = std::any_of(std::begin(words), std::end(words),
        [&](std::string_view w) { return text.contains(QLatin1StringView(w.data(), qsizetype(w.size()))); });
    // A file shorter than a second shows 00:00:00 and is taken by its hundredths; only one of
    // no length at all (00:00:00.00) is refused.
    const bool noLength = verdict.duration == u"00:00:00" && verdict.exactNs <= 0;
    verdict.accepted = verdict.duration != kDurationPlaceholder && !noLength && !refusingWord;
    return verdict;
}

ProbeVerdict JudgeProbeRun(const ProbeRun &run)
{
    ProbeVerdict verdict = JudgeProbeText(run.text);
    if (!run.started || run.timedOut || run.died)
        verdict.accepted = false;
    return verdict;
}

void SetProbedTimes(TStartRecord &job, const ProbeVerdict &verdict)
{
    job.Duration = verdict.duration;
    job.StartTime = kStartOfFile.toString();
    job.Length = verdict.duration;
    job.SpanStartNs = 0;
    job.SpanEndNs = verdict.exactNs;
}

QString ProbeStartFailedMessage(const QString &sourcePath)
{
    return u"Video or audio file: "_s + QFileInfo(sourcePath).fileName() + u"  is not valid and fails to load."_s;
}

QString ProbeRefusedMessage(const QString &absoluteSourcePath)
{
    return u"Video or audio file: \""_s + absoluteSourcePath + u"\"  is not valid and fails to load. "_s;
}
