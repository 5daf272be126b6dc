#include "sonmill/audio/resampler.h"

#include "sonmill/base/modules.h"

namespace sonmill {

std::unique_ptr<Resampler> createResampler(int inputRate, int outputRate, int channels)
{
    auto *create = reinterpret_cast<CreateResamplerFunction *>(moduleSymbol("soxr", kCreateResamplerSymbol));
    if (!create)
        return nullptr;
    return std::unique_ptr<Resampler>(create(inputRate, outputRate, channels));
}

} // namespace sonmill
