// The tag module's reader, as the transcoder calls it on an input file: the ID3v2 bound
// first, then whichever of the ID3v2, Vorbis comment, FLAC block, MP4 atom, RIFF INFO and APE
// readers the file's name and contents lead to. The first byte picks the name's suffix.
#include "fuzzinput.h"
#include "sonmill/tags/tagfields.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" bool sonmill_read_tags(const char *path, const sonmill::TagSink *sink);

namespace {

std::size_t g_bytes = 0;

void onText(void *, const char *key, const char *value)
{
    g_bytes += std::strlen(key) + std::strlen(value);
}

void onPicture(void *, const sonmill::TagPictureData *picture)
{
    g_bytes += std::strlen(picture->mime) + std::strlen(picture->description) + picture->size;
    if (picture->size > 0)
        g_bytes += picture->data[picture->size - 1]; // every byte it claims is readable
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char *const kSuffixes[]
        = { "mp3", "flac", "ogg", "opus", "m4a", "wav", "aiff", "ape", "mpc", "wv", "spx", "oga", "mp4", "aif" };
    const char *suffix = kSuffixes[data[0] % (sizeof kSuffixes / sizeof *kSuffixes)];
    const QString path = FuzzInput::write(QStringLiteral("input.") + QLatin1StringView(suffix), data + 1, size - 1);
    const sonmill::TagSink sink { nullptr, onText, onPicture };
    sonmill_read_tags(QFile::encodeName(path).constData(), &sink);
    return 0;
}
