#pragma once

#include "core/programtexts.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the conversion queue reads from the transcoder's text. The words are the
// transcoder's fixed vocabulary; texts are searched as they arrive, one read at a time,
// letter case as written. The row statuses it writes are in core/programtexts.h.

// The whole seconds of the first progress report ("time=83.45 bitrate=" gives 83): the
// text between "time=" and the last four characters before the first "bitrate". Nothing
// when there is no "time=", when "bitrate" comes first or is missing, or when the position
// is not written as seconds.
std::optional<int> ProgressSeconds(const QString &text);

// The percentage a position of seconds is of total, rounded to the nearest whole percent with
// ties to the even one, not capped at 100. Nothing when the total is not known (0 or less).
std::optional<int> RowPercent(int seconds, int total);
// RowPercent as the Status column writes it, "N%"; empty when there is none.
QString PercentStatus(int seconds, int total);

// The transcoder's final summary: the conversion succeeded.
bool ReportsSuccess(const QString &text);

// One of the error words: the conversion failed. Checked after success, so a text holding
// both counts as a failure.
bool ReportsFailure(const QString &text);

// The line of a transcoder's text that says what went wrong: the text after "Error: ", else the
// first line holding an error word; empty when there is none.
QString FailureReason(const QString &text);

// Cuts a transcoder's text into whole lines as it arrives, so a word split between two reads
// of the pipe is still judged whole. A carriage return ends a line as a line feed does.
class TranscoderLines
{
public:
    // The lines completed by this text, without their ends.
    QStringList take(const QString &text);
    // What is left after the last line end, once the transcoder has said its last.
    QString rest();

private:
    QString m_pending;
};

// The window's own line in the log before a row's transcoder text: which source converts
// into which output file (whole paths). On a line of its own, after an empty one that
// sets each row's text apart. It only goes to the log: the words above are never looked for
// in it, so a file named "global" or "Error" cannot end a row.
QString ConversionLogHeader(const QString &sourcePath, const QString &outputPath);
