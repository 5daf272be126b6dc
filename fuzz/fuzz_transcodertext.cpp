// The transcoder's text as the queue reads it: cut into lines as it arrives, in reads of
// any size (the first byte sets the size), each line and the whole judged.
#include "engine/transcodertext.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    const QString all = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    TranscoderLines lines;
    for (qsizetype at = 0; at < all.size(); at += qsizetype(chunk)) {
        for (const QString &line : lines.take(all.mid(at, qsizetype(chunk)))) {
            if (const auto seconds = ProgressSeconds(line))
                PercentStatus(*seconds, 1 + data[0]);
            ReportsSuccess(line);
            ReportsFailure(line);
        }
    }
    lines.rest();
    ProgressSeconds(all);
    FailureReason(all);
    if (const auto seconds = ProgressSeconds(all))
        RowPercent(*seconds, int(size));
    return 0;
}
