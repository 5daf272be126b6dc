// Apple Lossless in an MPEG-4 audio file: our own encoder (alacframes.h), one packet per
// 4096 frames, the last one as short as the audio; an edit list states the exact length.

#include "sonmill/base/encoder.h"
#include "sonmill/base/modules.h"
#include "sonmill/base/sampleconvert.h"
#include "sonmill/containers/mp4writer.h"
#include "sonmill/encoders/alacframes.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace sonmill {
namespace {

constexpr std::uint32_t kFrameLength = Alac::kDefaultFrameLength;

std::vector<std::uint8_t> cookieOf(const Alac::Config &config)
{
    std::uint8_t bytes[Alac::kCookieSize];
    Alac::renderCookie(config, bytes);
    return { bytes, bytes + Alac::kCookieSize };
}

class AlacEncoder final : public Encoder
{
public:
    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        if (settings.channels < 1 || settings.channels > 2)
            return Failures::kEncoderChannels;
        m_channels = static_cast<std::size_t>(settings.channels);
        m_bits = settings.bits == 24 ? 24 : 16;
        m_frames = std::make_unique<AlacFrameEncoder>(settings.channels, m_bits, std::uint32_t(settings.rate));
        m_pending.resize(kFrameLength * m_channels);

        Mp4Writer::Track track;
        track.rate = settings.rate;
        track.channels = settings.channels;
        track.frameSamples = kFrameLength;
        track.bitsPerSample = m_bits;
        track.alacCookie = cookieOf(m_frames->config());
        track.expectedFrames = settings.expectedFrames / kFrameLength + 1;
        if (!m_writer.open(path, track))
            return withSystemError(Failures::kOutputCreate, m_writer.error());
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        return take(count, [&](std::int32_t *to, std::size_t n) {
            floatToInteger(frames, to, n * m_channels, m_bits);
            frames += n * m_channels;
        });
    }

    bool takesIntegers() const override { return m_bits == 16; }

    bool writeIntegers(const std::int32_t *frames, std::size_t count) override
    {
        return take(count, [&](std::int32_t *to, std::size_t n) {
            std::copy(frames, frames + n * m_channels, to);
            frames += n * m_channels;
        });
    }

    bool finish() override
    {
        if (m_filled > 0 && !encodePending())
            return false;
        m_writer.setAlacCookie(cookieOf(m_frames->config()));
        return m_writer.finish(0, m_total);
    }

    std::uint64_t bytesWritten() const override { return m_writer.size(); }
    bool outputFailed() const override { return m_writer.failed(); }
    int outputError() const override { return m_writer.error(); }

private:
    // Fills the pending frame from fill(to, n) and encodes each frame that is full.
    template <typename Fill> bool take(std::size_t count, Fill fill)
    {
        m_total += count;
        while (count > 0) {
            const std::size_t n = std::min(count, kFrameLength - m_filled);
            fill(m_pending.data() + m_filled * m_channels, n);
            m_filled += n;
            count -= n;
            if (m_filled == kFrameLength && !encodePending())
                return false;
        }
        return true;
    }

    bool encodePending()
    {
        m_frames->encode(m_pending.data(), static_cast<std::uint32_t>(m_filled), m_packet);
        m_filled = 0;
        return m_writer.addFrame(m_packet.data(), m_packet.size());
    }

    std::size_t m_channels = 0;
    int m_bits = 16;
    std::unique_ptr<AlacFrameEncoder> m_frames;
    std::vector<std::int32_t> m_pending;
    std::size_t m_filled = 0;
    std::vector<std::uint8_t> m_packet;
    std::uint64_t m_total = 0;
    Mp4Writer m_writer;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<AlacEncoder>(settings, path, failure);
}

} // namespace sonmill
