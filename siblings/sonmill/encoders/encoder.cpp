#include "sonmill/base/encoder.h"

#include "sonmill/base/modules.h"
#include "sonmill/encoders/pcmencoder.h"

namespace sonmill {
namespace {

const char *moduleFor(Codec codec)
{
    switch (codec) {
    case Codec::Mp3:
        return "lame";
    case Codec::Mp2:
        return "twolame";
    case Codec::Vorbis:
        return "vorbis";
    case Codec::Flac:
        return "flac";
    case Codec::Aac:
        return "aac";
    case Codec::Ac3:
        return "ac3";
    case Codec::Opus:
        return "opus";
    case Codec::Alac:
        return "alac";
    case Codec::Pcm16:
        break;
    }
    return "";
}

} // namespace

std::variant<std::unique_ptr<Encoder>, Failure> createEncoder(const EncoderSettings &settings, const std::string &path)
{
    if (settings.format.codec == Codec::Pcm16)
        return createPcmEncoder(settings, path);
    auto *create = reinterpret_cast<CreateEncoderFunction *>(
        moduleSymbol(moduleFor(settings.format.codec), kCreateEncoderSymbol));
    if (!create)
        return Failures::kModule;
    Failure failure = Failures::kEncode;
    std::unique_ptr<Encoder> encoder(create(&settings, path.c_str(), &failure));
    if (!encoder)
        return failure;
    return encoder;
}

} // namespace sonmill
