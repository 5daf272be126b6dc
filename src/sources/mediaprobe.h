#pragma once

#include "core/timecode.h"

#include <QString>

class LogSink;

// Asking the transcoder to open a source and convert one millisecond of it: what decides
// whether a file can be added, and its duration.

struct ProbeVerdict
{
    QString duration = kDurationPlaceholder.toString(); // the 8 characters after "Duration: "
    qint64 exactNs = -1; // the whole "hh:mm:ss.hh" (rounded up by the transcoder), -1 if none
    bool accepted = false;
};

// Judges the probe's text: the duration is taken after the first "Duration:" and one more
// character, unchecked; the file is refused without a duration, with "00:00:00", or when the
// text holds one of the refusing words. An empty text is accepted with the placeholder.
ProbeVerdict JudgeProbeText(const QString &text);

// A new row's times from its probe: Duration and Length the probed whole seconds, the
// start at the beginning, and the exact end kept so a range reaching it loses nothing.
struct TStartRecord;
void SetProbedTimes(TStartRecord &job, const ProbeVerdict &verdict);

struct ProbeRun
{
    bool started = false;
    QString errorText; // why the transcoder could not be started
    QString text; // everything it wrote
    bool timedOut = false;
    bool died = false; // the transcoder ended before it had answered
};

// A whole run judged, for every road that adds files: as its text says, and refused as well
// when the probe could not be started, never ended or died before it had answered.
ProbeVerdict JudgeProbeRun(const ProbeRun &run);

// A probe that takes longer than this is ended and its file refused.
inline constexpr int kProbeTimeoutMs = 60000;

// Texts of the two refusals.
QString ProbeStartFailedMessage(const QString &sourcePath); // no quotes, file name only
QString ProbeRefusedMessage(const QString &absoluteSourcePath); // quoted full path, one blank at the end
