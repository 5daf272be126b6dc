#include "sonmill/encoder.h"

namespace sonmill {

std::variant<std::unique_ptr<Encoder>, Failure> createEncoder(const EncoderSettings &settings, const std::string &path)
{
    switch (settings.format.codec) {
    case Codec::Mp3:
        return createLameEncoder(settings, path);
    case Codec::Mp2:
        return createTwoLameEncoder(settings, path);
    case Codec::Vorbis:
        return createVorbisEncoder(settings, path);
    case Codec::Flac:
        return createFlacEncoder(settings, path);
    case Codec::Aac:
        return createAacEncoder(settings, path);
    case Codec::Pcm16:
        return createPcmEncoder(settings, path);
    }
    return Failures::kEncode;
}

} // namespace sonmill
