#include "engine/rowrefusal.h"

#include "core/conversionfailure.h"
#include "core/filenamefit.h"
#include "core/timecode.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Seconds of a time code; empty when the text is none (an unknown length).
std::optional<int> secondsOf(const QString &timeCode)
{
    if (timeCode.isEmpty())
        return std::nullopt;
    try {
        return TimeCodeToSeconds(timeCode.left(kTimeCodeLength));
    } catch (const ConversionFailure &) {
        return std::nullopt;
    }
}

} // namespace

std::optional<QString> RowRefusal(const TStartRecord &job)
{
    const QString output = job.OutputPath.text();
    if (const QString folder = QFileInfo(output).path(); !output.isEmpty() && !CanWriteInFolder(folder)) {
        return u"\nNot converted: the destination folder \"%1\" cannot be written to. "
               "Choose another destination folder.\n"_s.arg(folder);
    }
    const std::optional<int> length = secondsOf(job.Length);
    if (!length || *length > 0)
        return std::nullopt;
    if (secondsOf(job.Duration) == 0)
        return std::nullopt; // the whole of a source shorter than a second
    return u"\nNot converted: the range chosen in Trim for \"%1\" is 0 seconds long (it starts and ends at %2). "
           "Choose an end after the start in Trim.\n"_s.arg(QFileInfo(job.SourcePath).fileName(), job.StartTime);
}
