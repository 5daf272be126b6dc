#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sonmill {

// Float to integer samples with the scale GStreamer uses when it turns integers into
// float (divide by 2^(bits-1)), so 16-bit input comes back bit for bit. Rounds to
// nearest and saturates at the ends.
template <typename Integer> inline void floatToInteger(const float *in, Integer *out, std::size_t count, int bits)
{
    const float scale = static_cast<float>(std::int64_t(1) << (bits - 1));
    const float high = scale - 1.0f;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four at a time: the conversion rounds to nearest even as lrintf does, and a NaN
    // becomes 0 as it does through lrintf's long.
    if constexpr (std::is_same_v<Integer, std::int32_t>) {
        const __m128 scales = _mm_set1_ps(scale);
        const __m128 lows = _mm_set1_ps(-scale);
        const __m128 highs = _mm_set1_ps(high);
        for (; i + 4 <= count; i += 4) {
            __m128 v = _mm_mul_ps(_mm_loadu_ps(in + i), scales);
            v = _mm_and_ps(v, _mm_cmpord_ps(v, v));
            v = _mm_min_ps(_mm_max_ps(v, lows), highs);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_cvtps_epi32(v));
        }
    }
#endif
    for (; i < count; ++i) {
        float v = in[i] * scale;
        v = v < -scale ? -scale : (v > high ? high : v);
        out[i] = static_cast<Integer>(std::lrintf(v));
    }
}

// Float to 32-bit integers: float has no room for 2^31 - 1, so the scale is applied in double.
inline void floatToInteger32(const float *in, std::int32_t *out, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        double v = static_cast<double>(in[i]) * 2147483648.0;
        v = v < -2147483648.0 ? -2147483648.0 : (v > 2147483647.0 ? 2147483647.0 : v);
        out[i] = static_cast<std::int32_t>(std::llrint(v));
    }
}

} // namespace sonmill
