#include "sonmill/ac3/ac3frame.h"
#include "sonmill/base/fileencoder.h"
#include "sonmill/base/modules.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace sonmill {
namespace {

using ac3::kFrameSamples;
using ac3::kMaxChannels;

// Our 5.1 order is L R C LFE Ls Rs; an AC-3 stream carries L C R Ls Rs, then the LFE.
constexpr std::array<int, kMaxChannels> kStreamOrderOf51 = { 0, 2, 1, 4, 5, 3 };
// Below about 24 kbps per full-band channel a frame holds little more than exponents
// (stereo needs 48 kbps, 5.1 128 kbps, the lowest the AC3 profile offers for it).
constexpr int kMinKbpsPerChannel = 24;

int defaultKbps(int channels)
{
    return channels == 1 ? 96 : (channels == 2 ? 192 : 448);
}

// The AC-3 rate nearest the asked one.
int nearestKbps(int wanted)
{
    return *std::min_element(ac3::kBitRates.begin(), ac3::kBitRates.end(),
        [&](int a, int b) { return std::abs(a - wanted) < std::abs(b - wanted); });
}

class Ac3Encoder final : public FileEncoder
{
public:
    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        if (settings.channels != 1 && settings.channels != 2 && settings.channels != kMaxChannels)
            return Failures::kEncoderChannels;
        if (settings.rate != 48000 && settings.rate != 44100 && settings.rate != 32000)
            return Failures::kEncoderRate;
        m_channels = settings.channels;
        m_rate = settings.rate;
        m_kbps = nearestKbps(settings.kbps.value_or(defaultKbps(m_channels)));
        if (m_kbps < kMinKbpsPerChannel * ac3::layoutFor(m_channels).fullChannels)
            return Failures::kEncoderBitrate;
        m_rateIndex = static_cast<int>(
            std::find(ac3::kBitRates.begin(), ac3::kBitRates.end(), m_kbps) - ac3::kBitRates.begin());
        m_frames = std::make_unique<ac3::FrameEncoder>(m_rate, m_channels, m_kbps);
        for (auto &channel : m_planar)
            channel.assign(kFrameSamples, 0.0f);
        if (auto failed = openFile(path))
            return failed;
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        while (count > 0) {
            const std::size_t n = std::min(count, static_cast<std::size_t>(kFrameSamples - m_filled));
            for (std::size_t c = 0; c < channels; ++c) {
                const std::size_t from = channels == kMaxChannels ? static_cast<std::size_t>(kStreamOrderOf51[c]) : c;
                float *to = m_planar[c].data() + m_filled;
                for (std::size_t i = 0; i < n; ++i)
                    to[i] = frames[i * channels + from];
            }
            m_filled += static_cast<int>(n);
            m_inputFrames += n;
            frames += n * channels;
            count -= n;
            // A write the disk refused ends the run at once, not at the end of the input.
            if (m_filled == kFrameSamples && !encodeFrame())
                return false;
        }
        return true;
    }

    bool finish() override
    {
        // The decoder's output runs one block (256 samples) behind: the frames go on until
        // the last input sample has come out, filled with silence.
        const std::uint64_t needed = m_inputFrames + ac3::kBlockSamples;
        while (m_encodedFrames * kFrameSamples < needed) {
            for (auto &channel : m_planar)
                std::fill(channel.begin() + m_filled, channel.end(), 0.0f);
            if (!encodeFrame())
                return false;
        }
        return m_file.close();
    }

private:
    bool encodeFrame()
    {
        // At 44.1 kHz a frame is one word longer now and then, to keep the nominal rate.
        int words = ac3::frameWords(m_rate, m_kbps);
        int sizeCode = 2 * m_rateIndex;
        if (m_rate == 44100) {
            const std::uint64_t due = (m_encodedFrames + 1) * static_cast<std::uint64_t>(m_kbps) * 1000 * kFrameSamples
                / (16 * static_cast<std::uint64_t>(m_rate));
            if (due - m_wordsWritten > static_cast<std::uint64_t>(words)) {
                ++words;
                ++sizeCode;
            }
        }
        std::array<const float *, kMaxChannels> input {};
        for (std::size_t c = 0; c < m_planar.size(); ++c)
            input[c] = m_planar[c].data();
        m_frame.clear();
        m_frames->encode(input, words, sizeCode, m_frame);
        const bool written = m_file.write(m_frame.data(), m_frame.size());
        m_wordsWritten += static_cast<std::uint64_t>(words);
        ++m_encodedFrames;
        m_filled = 0;
        return written;
    }

    int m_channels = 0;
    int m_rate = 0;
    int m_kbps = 0;
    int m_rateIndex = 0;
    std::unique_ptr<ac3::FrameEncoder> m_frames;
    std::array<std::vector<float>, kMaxChannels> m_planar;
    int m_filled = 0;
    std::uint64_t m_inputFrames = 0;
    std::uint64_t m_encodedFrames = 0;
    std::uint64_t m_wordsWritten = 0;
    std::vector<std::uint8_t> m_frame;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<Ac3Encoder>(settings, path, failure);
}

} // namespace sonmill
