// CUE sheets as the list reads them: the bytes decoded as the sheet's encoding says, then
// parsed; every time code of a good sheet read again on its own.
#include "sources/cuesheet.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = DecodeCueText(bytes);
    const auto parsed = ParseCueSheet(text);
    if (const auto *sheet = std::get_if<CueSheet>(&parsed)) {
        for (const CueTrack &track : sheet->tracks) {
            if (track.file >= sheet->files.size())
                __builtin_trap(); // a track names a file the sheet does not have
        }
    }
    for (const QString &line : text.split(u'\n'))
        CueTimeToFrames(line.trimmed());
    return 0;
}
