#pragma once

#include <cstddef>
#include <memory>

namespace sonmill {

// Sample-rate conversion of interleaved float frames.
class Resampler
{
public:
    virtual ~Resampler() = default;

    // Converts count input frames; the result stays valid (and may be changed in place)
    // until the next call. Pass count 0 at the end to flush what the filter holds back.
    virtual float *process(const float *in, std::size_t count, std::size_t &produced) = 0;
};

// High quality (soxr's "HQ" recipe: 20-bit precision, steep linear-phase filter), from
// the resampler module; nullptr when it cannot be set up.
std::unique_ptr<Resampler> createResampler(int inputRate, int outputRate, int channels);

} // namespace sonmill
