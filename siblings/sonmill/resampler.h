#pragma once

#include <soxr.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace sonmill {

// High-quality sample-rate conversion of interleaved float frames (soxr, "HQ" recipe:
// 20-bit precision, steep filter, linear phase).
class Resampler
{
public:
    Resampler(int inputRate, int outputRate, int channels);
    bool valid() const { return m_soxr != nullptr; }

    // Converts count input frames; the result stays valid until the next call.
    // Pass count 0 at the end to flush what the filter still holds.
    float *process(const float *in, std::size_t count, std::size_t &produced);

private:
    struct SoxrDelete
    {
        void operator()(soxr_t soxr) const { soxr_delete(soxr); }
    };
    std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDelete> m_soxr;
    double m_ratio;
    int m_channels;
    std::vector<float> m_out;
};

} // namespace sonmill
