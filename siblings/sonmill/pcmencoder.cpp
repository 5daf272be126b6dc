#include "sonmill/encoder.h"
#include "sonmill/sampleconvert.h"

#include <sndfile.h>

#include <algorithm>
#include <vector>

namespace sonmill {
namespace {

constexpr std::size_t kChunkFrames = 4096;
constexpr int kBits = 16;

int majorFormat(Container container, int channels)
{
    switch (container) {
    case Container::Aiff:
        return SF_FORMAT_AIFF;
    case Container::Au:
        return SF_FORMAT_AU;
    default:
        // RF64 that stays a plain WAV unless the data passes 4 GiB; with more than two
        // channels the extensible header, which names the speakers.
        return channels > 2 ? SF_FORMAT_WAVEX : SF_FORMAT_RF64;
    }
}

// 16-bit PCM in WAV (little-endian), AIFF and AU (big-endian): libsndfile writes the
// headers and completes them when it is closed.
class PcmEncoder final : public Encoder
{
public:
    ~PcmEncoder() override
    {
        if (m_file)
            sf_close(m_file);
    }

    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = settings.channels;
        SF_INFO info {};
        info.samplerate = settings.rate;
        info.channels = settings.channels;
        info.format = majorFormat(settings.format.container, settings.channels) | SF_FORMAT_PCM_16;
        m_file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!m_file)
            return Failures::kOutputCreate;
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64)
            sf_command(m_file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
        if (settings.channels == 6) {
            int map[6] = { SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
                SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT };
            sf_command(m_file, SFC_SET_CHANNEL_MAP_INFO, map, sizeof map);
        }
        m_samples.resize(kChunkFrames * static_cast<std::size_t>(m_channels));
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        while (count > 0) {
            const std::size_t n = std::min(count, kChunkFrames);
            floatToInteger(frames, m_samples.data(), n * channels, kBits);
            if (sf_writef_short(m_file, m_samples.data(), static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n))
                return false;
            m_bytes += n * channels * sizeof(short);
            frames += n * channels;
            count -= n;
        }
        return true;
    }

    bool finish() override
    {
        const int result = sf_close(m_file);
        m_file = nullptr;
        return result == 0;
    }

    std::uint64_t bytesWritten() const override { return m_bytes; }

private:
    SNDFILE *m_file = nullptr;
    std::vector<short> m_samples;
    std::uint64_t m_bytes = 0;
    int m_channels = 0;
};

} // namespace

std::variant<std::unique_ptr<Encoder>, Failure> createPcmEncoder(
    const EncoderSettings &settings, const std::string &path)
{
    auto encoder = std::make_unique<PcmEncoder>();
    if (auto failure = encoder->open(settings, path))
        return *failure;
    return std::unique_ptr<Encoder>(std::move(encoder));
}

} // namespace sonmill
