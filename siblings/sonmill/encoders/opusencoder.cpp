// Opus in Ogg through libopusenc, the reference encoder's own library: it resamples any
// input rate to Opus's 48 kHz, keeps the input rate in the header, and sets the pre-skip
// and the last page's end position, so a decoder gives back exactly the frames written.

#include "sonmill/base/fileencoder.h"
#include "sonmill/base/modules.h"

#include <opus/opusenc.h>

#include <algorithm>
#include <array>
#include <vector>

namespace sonmill {
namespace {

// Without -ab: what the High/Normal/Low choice of the profile gives in the middle, for stereo;
// a mono or 5.1 output gets it in proportion to its channels' weight in the streams.
constexpr int kDefaultStereoKbps = 128;
constexpr int kMinKbps = 6;
constexpr int kMaxKbpsPerChannel = 256;
constexpr std::size_t kChunkFrames = 960; // 20 ms at 48 kHz

// Opus (as Vorbis) orders 5.1 as L C R Ls Rs LFE; we carry the WAV order L R C LFE Ls Rs.
constexpr std::array<std::size_t, 6> kFromWavOrder51 = { 0, 2, 1, 4, 5, 3 };

struct EncoderDeleter
{
    void operator()(OggOpusEnc *encoder) const { ope_encoder_destroy(encoder); }
};
struct CommentsDeleter
{
    void operator()(OggOpusComments *comments) const { ope_comments_destroy(comments); }
};

int defaultKbps(int channels)
{
    if (channels == 1)
        return kDefaultStereoKbps / 2;
    return kDefaultStereoKbps * channels / 2;
}

class OpusEncoder final : public FileEncoder
{
public:
    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = static_cast<std::size_t>(settings.channels);
        if (auto failed = openFile(path))
            return failed;
        // The tags are written afterwards by the tag module, like every format's: the
        // header written here holds only the library's vendor text.
        std::unique_ptr<OggOpusComments, CommentsDeleter> comments(ope_comments_create());
        if (!comments)
            return Failures::kEncode;
        static const OpusEncCallbacks callbacks = { &OpusEncoder::writePage, &OpusEncoder::closeFile };
        // Mapping family 0 holds one or two channels; 1 is the Vorbis order for up to 8.
        const int family = settings.channels > 2 ? 1 : 0;
        int error = OPE_OK;
        m_encoder.reset(ope_encoder_create_callbacks(
            &callbacks, this, comments.get(), settings.rate, settings.channels, family, &error));
        if (!m_encoder || error != OPE_OK)
            return Failures::kEncode;

        const int kbps = std::clamp(
            settings.kbps.value_or(defaultKbps(settings.channels)), kMinKbps, kMaxKbpsPerChannel * settings.channels);
        // Unconstrained VBR at the asked average, as opusenc encodes by default; the header's
        // output gain stays 0 (loudness goes into R128 tags instead).
        if (ope_encoder_ctl(m_encoder.get(), OPUS_SET_BITRATE(kbps * 1000)) != OPE_OK
            || ope_encoder_ctl(m_encoder.get(), OPUS_SET_VBR(1)) != OPE_OK
            || ope_encoder_ctl(m_encoder.get(), OPUS_SET_VBR_CONSTRAINT(0)) != OPE_OK
            || ope_encoder_ctl(m_encoder.get(), OPE_SET_HEADER_GAIN(0)) != OPE_OK)
            return Failures::kEncode;
        if (m_channels == 6)
            m_reordered.resize(kChunkFrames * m_channels);
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        return writeInChunks(
            frames, count, static_cast<int>(m_channels), kChunkFrames, [this](const float *chunk, std::size_t n) {
                const float *samples = chunk;
                if (m_channels == 6) {
                    for (std::size_t f = 0; f < n; ++f)
                        for (std::size_t c = 0; c < 6; ++c)
                            m_reordered[f * 6 + c] = chunk[f * 6 + kFromWavOrder51[c]];
                    samples = m_reordered.data();
                }
                return ope_encoder_write_float(m_encoder.get(), samples, static_cast<int>(n)) == OPE_OK
                    && !m_file.failed();
            });
    }

    bool finish() override
    {
        const bool drained = ope_encoder_drain(m_encoder.get()) == OPE_OK;
        m_encoder.reset();
        return m_file.close() && drained;
    }

private:
    // The library's page callback: a non-zero answer stops it.
    static int writePage(void *self, const unsigned char *data, opus_int32 length)
    {
        auto *encoder = static_cast<OpusEncoder *>(self);
        return encoder->m_file.write(data, static_cast<std::size_t>(length)) ? 0 : 1;
    }
    // The file is closed by finish(), where a failed close is seen.
    static int closeFile(void *) { return 0; }

    // The file outlives the encoder: the library may hand over pages until it is destroyed.
    std::unique_ptr<OggOpusEnc, EncoderDeleter> m_encoder;
    std::size_t m_channels = 0;
    std::vector<float> m_reordered;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<OpusEncoder>(settings, path, failure);
}

} // namespace sonmill
