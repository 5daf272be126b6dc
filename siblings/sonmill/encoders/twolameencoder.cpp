#include "sonmill/base/fileencoder.h"
#include "sonmill/base/modules.h"

#include <twolame.h>

#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

namespace sonmill {
namespace {

constexpr std::size_t kChunkFrames = 4096;

// Layer II allows fewer rates than the -ab list offers, and which ones depends on the
// MPEG version (set by the sample rate) and on mono or stereo.
constexpr int kMpeg1Stereo[] = { 64, 96, 112, 128, 160, 192, 224, 256, 320, 384 };
constexpr int kMpeg1Mono[] = { 32, 48, 56, 64, 80, 96, 112, 128, 160, 192 };
constexpr int kMpeg2[] = { 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160 };

int allowedKbps(int wanted, int rate, int channels)
{
    const bool mpeg1 = rate >= 32000;
    std::span<const int> allowed = !mpeg1 ? std::span<const int>(kMpeg2)
        : channels == 1                   ? std::span<const int>(kMpeg1Mono)
                                          : std::span<const int>(kMpeg1Stereo);
    return *std::min_element(
        allowed.begin(), allowed.end(), [&](int a, int b) { return std::abs(a - wanted) < std::abs(b - wanted); });
}

class TwoLameEncoder final : public FileEncoder
{
public:
    ~TwoLameEncoder() override
    {
        if (m_options)
            twolame_close(&m_options);
    }

    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = settings.channels;
        m_options = twolame_init();
        if (!m_options)
            return Failures::kEncode;
        const int defaultKbps = settings.channels == 1 ? 96 : 192;
        twolame_set_num_channels(m_options, settings.channels);
        twolame_set_in_samplerate(m_options, settings.rate);
        twolame_set_out_samplerate(m_options, settings.rate);
        twolame_set_bitrate(m_options, allowedKbps(settings.kbps.value_or(defaultKbps), settings.rate, m_channels));
        if (twolame_init_params(m_options) != 0)
            return Failures::kEncode;
        m_buffer.resize(kChunkFrames * 2 + 16384);
        if (auto failed = openFile(path))
            return failed;
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        return writeInChunks(frames, count, m_channels, kChunkFrames, [this](const float *chunk, std::size_t n) {
            const int produced = twolame_encode_buffer_float32_interleaved(
                m_options, chunk, static_cast<int>(n), m_buffer.data(), static_cast<int>(m_buffer.size()));
            return m_file.writeEncoded(m_buffer.data(), produced);
        });
    }

    bool finish() override
    {
        const int produced = twolame_encode_flush(m_options, m_buffer.data(), static_cast<int>(m_buffer.size()));
        return m_file.writeEncoded(m_buffer.data(), produced) && m_file.close();
    }

private:
    twolame_options *m_options = nullptr;
    int m_channels = 0;
    std::vector<unsigned char> m_buffer;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<TwoLameEncoder>(settings, path, failure);
}

} // namespace sonmill
