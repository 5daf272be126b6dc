#pragma once

#include "sonmill/base/encoder.h"

namespace sonmill {

// 16-bit PCM in WAV, AIFF or AU. Part of the executable rather than a module: every
// probe writes a WAV, and these few headers cost less than loading a library for them.
std::variant<std::unique_ptr<Encoder>, Failure> createPcmEncoder(
    const EncoderSettings &settings, const std::string &path);

} // namespace sonmill
