#include "sonmill/base/fileencoder.h"
#include "sonmill/base/modules.h"

#include <lame/lame.h>

#include <algorithm>
#include <vector>

namespace sonmill {
namespace {

constexpr int kDefaultKbps = 128;
constexpr std::size_t kChunkFrames = 4096; // frames handed to LAME per call

class LameEncoder final : public FileEncoder
{
public:
    ~LameEncoder() override
    {
        if (m_lame)
            lame_close(m_lame);
    }

    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = settings.channels;
        m_lame = lame_init();
        if (!m_lame)
            return Failures::kEncode;
        lame_set_num_channels(m_lame, settings.channels);
        lame_set_in_samplerate(m_lame, settings.rate);
        lame_set_out_samplerate(m_lame, settings.rate); // resampling is done before us
        lame_set_mode(m_lame, settings.channels == 1 ? MONO : JOINT_STEREO);
        if (settings.kbps || !settings.quality) {
            lame_set_VBR(m_lame, vbr_off);
            lame_set_brate(m_lame, settings.kbps.value_or(kDefaultKbps));
        } else {
            lame_set_VBR(m_lame, vbr_default);
            lame_set_VBR_quality(m_lame, static_cast<float>(*settings.quality));
        }
        lame_set_findReplayGain(m_lame, 0);
        // The Info/Xing frame tells decoders the exact length and the encoder delay.
        lame_set_bWriteVbrTag(m_lame, 1);
        if (lame_init_params(m_lame) < 0)
            return Failures::kEncode;
        m_buffer.resize(kChunkFrames * 5 / 4 + 7200);
        if (auto failed = openFile(path))
            return failed;
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        return writeInChunks(frames, count, m_channels, kChunkFrames, [this](const float *chunk, std::size_t n) {
            const int produced = m_channels == 1
                ? lame_encode_buffer_ieee_float(
                    m_lame, chunk, chunk, static_cast<int>(n), m_buffer.data(), static_cast<int>(m_buffer.size()))
                : lame_encode_buffer_interleaved_ieee_float(
                    m_lame, chunk, static_cast<int>(n), m_buffer.data(), static_cast<int>(m_buffer.size()));
            return m_file.writeEncoded(m_buffer.data(), produced);
        });
    }

    bool finish() override
    {
        const int produced = lame_encode_flush(m_lame, m_buffer.data(), static_cast<int>(m_buffer.size()));
        if (!m_file.writeEncoded(m_buffer.data(), produced))
            return false;
        // LAME left an empty first frame for the Info tag; it sits at the start of the file.
        const std::size_t tagSize = lame_get_lametag_frame(m_lame, m_buffer.data(), m_buffer.size());
        if (tagSize > 0 && tagSize <= m_buffer.size())
            m_file.writeAt(0, m_buffer.data(), tagSize);
        return m_file.close();
    }

private:
    lame_t m_lame = nullptr;
    int m_channels = 0;
    std::vector<unsigned char> m_buffer;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<LameEncoder>(settings, path, failure);
}

} // namespace sonmill
