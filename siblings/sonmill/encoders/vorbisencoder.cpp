#include "sonmill/base/fileencoder.h"
#include "sonmill/base/modules.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <array>
#include <chrono>
#include <random>

namespace sonmill {
namespace {

constexpr double kDefaultQuality = 0.4; // about 128 kbit/s for stereo at 44.1 kHz
constexpr int kQualityScaleTop = 10;
constexpr std::size_t kChunkFrames = 1024;

// Vorbis orders 5.1 as L C R Ls Rs LFE; we carry the WAV order L R C LFE Ls Rs.
constexpr std::array<int, 6> kFromWavOrder51 = { 0, 2, 1, 4, 5, 3 };

class VorbisEncoder final : public FileEncoder
{
public:
    VorbisEncoder()
    {
        vorbis_info_init(&m_info);
        vorbis_comment_init(&m_comment);
    }

    ~VorbisEncoder() override
    {
        if (m_started) {
            ogg_stream_clear(&m_stream);
            vorbis_block_clear(&m_block);
            vorbis_dsp_clear(&m_dsp);
        }
        vorbis_comment_clear(&m_comment);
        vorbis_info_clear(&m_info);
    }

    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = settings.channels;
        if (!setUp(settings))
            return Failures::kEncode;
        vorbis_analysis_init(&m_dsp, &m_info);
        vorbis_block_init(&m_dsp, &m_block);
        std::mt19937 random(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
        ogg_stream_init(&m_stream, static_cast<int>(random() & 0x7FFFFFFF));
        m_started = true;
        if (auto failed = openFile(path))
            return failed;

        ogg_packet identification, comments, codebooks;
        vorbis_analysis_headerout(&m_dsp, &m_comment, &identification, &comments, &codebooks);
        ogg_stream_packetin(&m_stream, &identification);
        ogg_stream_packetin(&m_stream, &comments);
        ogg_stream_packetin(&m_stream, &codebooks);
        // The headers end on a page of their own, as the format asks.
        ogg_page page;
        while (ogg_stream_flush(&m_stream, &page))
            writePage(page);
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        while (count > 0) {
            const std::size_t n = std::min(count, kChunkFrames);
            float **planes = vorbis_analysis_buffer(&m_dsp, static_cast<int>(n));
            const auto channels = static_cast<std::size_t>(m_channels);
            for (std::size_t c = 0; c < channels; ++c) {
                const std::size_t from = channels == 6 ? static_cast<std::size_t>(kFromWavOrder51[c]) : c;
                float *plane = planes[c];
                for (std::size_t f = 0; f < n; ++f)
                    plane[f] = frames[f * channels + from];
            }
            vorbis_analysis_wrote(&m_dsp, static_cast<int>(n));
            drain();
            if (m_file.failed())
                return false;
            frames += n * channels;
            count -= n;
        }
        return true;
    }

    bool finish() override
    {
        vorbis_analysis_wrote(&m_dsp, 0);
        drain();
        ogg_page page;
        while (ogg_stream_flush(&m_stream, &page))
            writePage(page);
        return m_file.close();
    }

private:
    // -ab gives a nominal rate: libvorbis's average-bit-rate set-up with its hard rate
    // management turned off, so it encodes by quality tuned to that rate (as oggenc -b
    // does). A rate the mode cannot reach is moved toward one it can.
    bool setUp(const EncoderSettings &settings)
    {
        if (!settings.kbps) {
            const double quality
                = settings.quality ? (kQualityScaleTop - *settings.quality) / kQualityScaleTop : kDefaultQuality;
            return vorbis_encode_init_vbr(&m_info, settings.channels, settings.rate, static_cast<float>(quality)) == 0;
        }
        int kbps = *settings.kbps;
        const int step = kbps > 64 * settings.channels ? -8 : 8;
        for (int attempt = 0; attempt < 80; ++attempt, kbps += step) {
            vorbis_info_clear(&m_info);
            vorbis_info_init(&m_info);
            if (kbps <= 0)
                break;
            if (vorbis_encode_setup_managed(&m_info, settings.channels, settings.rate, -1, kbps * 1000L, -1) != 0)
                continue;
            vorbis_encode_ctl(&m_info, OV_ECTL_RATEMANAGE2_SET, nullptr);
            if (vorbis_encode_setup_init(&m_info) == 0)
                return true;
        }
        return false;
    }

    void drain()
    {
        while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1) {
            vorbis_analysis(&m_block, nullptr);
            vorbis_bitrate_addblock(&m_block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&m_dsp, &packet)) {
                ogg_stream_packetin(&m_stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&m_stream, &page))
                    writePage(page);
            }
        }
    }

    void writePage(const ogg_page &page)
    {
        m_file.write(page.header, static_cast<std::size_t>(page.header_len));
        m_file.write(page.body, static_cast<std::size_t>(page.body_len));
    }

    vorbis_info m_info;
    vorbis_comment m_comment;
    vorbis_dsp_state m_dsp {};
    vorbis_block m_block {};
    ogg_stream_state m_stream {};
    bool m_started = false;
    int m_channels = 0;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<VorbisEncoder>(settings, path, failure);
}

} // namespace sonmill
