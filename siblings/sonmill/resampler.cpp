#include "sonmill/resampler.h"

#include <cmath>

namespace sonmill {

Resampler::Resampler(int inputRate, int outputRate, int channels)
    : m_ratio(static_cast<double>(outputRate) / inputRate)
    , m_channels(channels)
{
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1); // the encoder has the other core
    soxr_error_t error = nullptr;
    m_soxr.reset(soxr_create(inputRate, outputRate, static_cast<unsigned>(channels), &error, &io, &quality, &runtime));
    if (error)
        m_soxr.reset();
}

float *Resampler::process(const float *in, std::size_t count, std::size_t &produced)
{
    produced = 0;
    const bool flushing = count == 0;
    // Room for this block's share plus what the filter held back; at the end, for the tail.
    std::size_t room = static_cast<std::size_t>(std::ceil(static_cast<double>(count) * m_ratio)) + 1024;
    std::size_t total = 0;
    while (true) {
        if (m_out.size() < (total + room) * static_cast<std::size_t>(m_channels))
            m_out.resize((total + room) * static_cast<std::size_t>(m_channels));
        std::size_t used = 0;
        std::size_t done = 0;
        soxr_process(
            m_soxr.get(), flushing ? nullptr : in, count, &used, m_out.data() + total * m_channels, room, &done);
        total += done;
        if (!flushing) {
            in += used * static_cast<std::size_t>(m_channels);
            count -= used;
            if (count == 0 && done < room)
                break;
        } else if (done < room) {
            break;
        }
    }
    produced = total;
    return m_out.data();
}

} // namespace sonmill
