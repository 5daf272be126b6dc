#pragma once

#include "sonmill/base/encoder.h"
#include "sonmill/base/failure.h"
#include "sonmill/base/outputformat.h"

#include <memory>

namespace sonmill {

// The codec libraries, the resampler and the tag library are linked into small modules
// beside the executable (sonmill-modules/libsonmill-<name>.so) and loaded only when a
// run needs them: a probe or an MP3 conversion then maps none of the others, which
// keeps the process's memory small. Each module exports one C entry point.

// Returns the entry point, or nullptr when the module or the symbol cannot be loaded.
void *moduleSymbol(const char *module, const char *symbol);

// The entry points' signatures.
struct TagFields;
struct TagSink;
class Resampler;
extern "C" {
using CreateEncoderFunction = Encoder *(const EncoderSettings *settings, const char *path, Failure *failure);
using CreateResamplerFunction = Resampler *(int inputRate, int outputRate, int channels);
using WriteTagsFunction = bool(const char *path, Container container, const TagFields *tags);
using ReadTagsFunction = bool(const char *path, const TagSink *sink);
}
inline constexpr const char *kCreateEncoderSymbol = "sonmill_create_encoder";
inline constexpr const char *kCreateResamplerSymbol = "sonmill_create_resampler";
inline constexpr const char *kWriteTagsSymbol = "sonmill_write_tags";
inline constexpr const char *kReadTagsSymbol = "sonmill_read_tags";

// The module's side of an entry point: C linkage and default visibility.
#define SONMILL_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

// The body of every encoder module's entry point: the encoder opened on its output, or
// nullptr with the reason in failure.
template <typename EncoderType>
Encoder *openEncoder(const EncoderSettings *settings, const char *path, Failure *failure)
{
    auto encoder = std::make_unique<EncoderType>();
    if (auto opened = encoder->open(*settings, path)) {
        *failure = *opened;
        return nullptr;
    }
    return encoder.release();
}

} // namespace sonmill
