#include "sonmill/audio/resampler.h"
#include "sonmill/base/modules.h"

#include <soxr.h>

#include <cmath>
#include <type_traits>
#include <vector>

namespace sonmill {
namespace {

class SoxrResampler final : public Resampler
{
public:
    SoxrResampler(int inputRate, int outputRate, int channels)
        : m_ratio(static_cast<double>(outputRate) / inputRate)
        , m_channels(static_cast<std::size_t>(channels))
    {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1); // the decoder has the other core
        soxr_error_t error = nullptr;
        m_soxr.reset(
            soxr_create(inputRate, outputRate, static_cast<unsigned>(channels), &error, &io, &quality, &runtime));
        if (error)
            m_soxr.reset();
    }

    bool valid() const { return m_soxr != nullptr; }

    float *process(const float *in, std::size_t count, std::size_t &produced) override
    {
        const bool flushing = count == 0;
        // Room for this block's share and what the filter held back; looped for the tail.
        const std::size_t room = static_cast<std::size_t>(std::ceil(static_cast<double>(count) * m_ratio)) + 1024;
        std::size_t total = 0;
        while (true) {
            if (m_out.size() < (total + room) * m_channels)
                m_out.resize((total + room) * m_channels);
            std::size_t used = 0;
            std::size_t done = 0;
            soxr_process(
                m_soxr.get(), flushing ? nullptr : in, count, &used, m_out.data() + total * m_channels, room, &done);
            total += done;
            if (!flushing) {
                in += used * m_channels;
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

private:
    struct SoxrDelete
    {
        void operator()(soxr_t soxr) const { soxr_delete(soxr); }
    };
    std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDelete> m_soxr;
    double m_ratio;
    std::size_t m_channels;
    std::vector<float> m_out;
};

} // namespace

SONMILL_MODULE_EXPORT Resampler *sonmill_create_resampler(int inputRate, int outputRate, int channels)
{
    auto resampler = std::make_unique<SoxrResampler>(inputRate, outputRate, channels);
    return resampler->valid() ? resampler.release() : nullptr;
}

} // namespace sonmill
