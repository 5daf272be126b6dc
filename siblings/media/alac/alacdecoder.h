#pragma once

#include "media/alac/alacformat.h"

#include <cstddef>
#include <cstdint>

namespace Alac {

// Decodes ALAC packets into interleaved samples, each a signed integer of the stream's
// sample size (16, 20, 24 or 32 bits) in an int32, channels in the order of the packet's
// elements (for mono and stereo the usual one). Allocates nothing: the caller hands over
// scratch room of scratchSamples() values, which is why it runs inside a GStreamer
// element without the C++ runtime.
class Decoder
{
public:
    enum class Status { Ok, Damaged, Unsupported };

    static std::size_t scratchSamples(const Config &config);

    // False when the configuration cannot be decoded (see parseCookie).
    bool init(const Config &config, std::int32_t *scratch);
    const Config &config() const { return m_config; }

    // One packet: out gets up to frameLength frames of config().channels samples; frames
    // says how many (the last packet of a stream may hold fewer).
    Status decode(const std::uint8_t *packet, std::size_t size, std::int32_t *out, std::uint32_t &frames);

private:
    Config m_config;
    std::int32_t *m_residuals[2] = {};
    std::int32_t *m_mixed[2] = {};
};

} // namespace Alac
