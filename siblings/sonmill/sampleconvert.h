#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace sonmill {

// Float to integer samples with the scale GStreamer uses when it turns integers into
// float (divide by 2^(bits-1)), so 16-bit input comes back bit for bit. Rounds to
// nearest and saturates at the ends.
template <typename Integer> inline void floatToInteger(const float *in, Integer *out, std::size_t count, int bits)
{
    const float scale = static_cast<float>(std::int64_t(1) << (bits - 1));
    const float high = scale - 1.0f;
    for (std::size_t i = 0; i < count; ++i) {
        float v = in[i] * scale;
        v = v < -scale ? -scale : (v > high ? high : v);
        out[i] = static_cast<Integer>(std::lrintf(v));
    }
}

} // namespace sonmill
