#include "sonmill/base/encoder.h"
#include "sonmill/base/modules.h"
#include "sonmill/base/sampleconvert.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

namespace sonmill {
namespace {

constexpr unsigned kCompressionLevel = 5; // the flac tool's default
constexpr unsigned kPaddingBytes = 8192; // room for tags, so adding them rewrites nothing
// A metadata block's length has 24 bits, and the library writes a block through a buffer of at
// most 16 MiB, its header included: the padding stays well inside both.
constexpr std::size_t kMaxPaddingBytes = (1u << 24) - (1u << 16);
constexpr unsigned kSeekPointSeconds = 10;
constexpr std::size_t kChunkFrames = 4096;

class FlacEncoder final : public Encoder
{
public:
    ~FlacEncoder() override
    {
        if (m_encoder)
            FLAC__stream_encoder_delete(m_encoder);
        for (FLAC__StreamMetadata *block : m_metadata)
            FLAC__metadata_object_delete(block);
    }

    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_channels = settings.channels;
        m_bits = losslessWords(settings)->bits;
        m_encoder = FLAC__stream_encoder_new();
        if (!m_encoder)
            return Failures::kEncode;
        FLAC__stream_encoder_set_verify(m_encoder, false);
        FLAC__stream_encoder_set_compression_level(m_encoder, kCompressionLevel);
        FLAC__stream_encoder_set_channels(m_encoder, static_cast<unsigned>(settings.channels));
        FLAC__stream_encoder_set_bits_per_sample(m_encoder, static_cast<unsigned>(m_bits));
        FLAC__stream_encoder_set_sample_rate(m_encoder, static_cast<unsigned>(settings.rate));
        FLAC__stream_encoder_set_total_samples_estimate(m_encoder, settings.expectedFrames);

        if (settings.expectedFrames > 0) {
            // A seek table lets players jump without reading the whole file.
            FLAC__StreamMetadata *seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
            if (seekTable
                && FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                    seekTable, kSeekPointSeconds * static_cast<unsigned>(settings.rate), settings.expectedFrames))
                m_metadata.push_back(seekTable);
            else if (seekTable)
                FLAC__metadata_object_delete(seekTable);
        }
        if (FLAC__StreamMetadata *padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING)) {
            // Tags too large for one padding block are written by rewriting the file anyway.
            const std::size_t room = kPaddingBytes + settings.tagRoom;
            padding->length = static_cast<unsigned>(room <= kMaxPaddingBytes ? room : kPaddingBytes);
            m_metadata.push_back(padding);
        }
        if (!m_metadata.empty())
            FLAC__stream_encoder_set_metadata(m_encoder, m_metadata.data(), static_cast<unsigned>(m_metadata.size()));

        const FLAC__StreamEncoderInitStatus status
            = FLAC__stream_encoder_init_file(m_encoder, path.c_str(), &FlacEncoder::onProgress, this);
        if (status == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR)
            return withSystemError(Failures::kOutputCreate, errno);
        if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
            return Failures::kEncode;
        m_samples.resize(kChunkFrames * static_cast<std::size_t>(m_channels));
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        return writeInChunks(frames, count, m_channels, kChunkFrames, [&](const float *chunk, std::size_t n) {
            floatToInteger(chunk, m_samples.data(), n * channels, m_bits);
            return noted(
                FLAC__stream_encoder_process_interleaved(m_encoder, m_samples.data(), static_cast<unsigned>(n)));
        });
    }

    bool takesIntegers() const override { return m_bits == 16; }

    bool writeIntegers(const std::int32_t *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        while (count > 0) {
            const std::size_t n = std::min(count, kChunkFrames);
            if (!noted(FLAC__stream_encoder_process_interleaved(m_encoder, frames, static_cast<unsigned>(n))))
                return false;
            frames += n * channels;
            count -= n;
        }
        return true;
    }

    bool finish() override
    {
        // Also rewrites STREAMINFO (length, MD5) and the seek table at the start.
        return noted(FLAC__stream_encoder_finish(m_encoder));
    }

    std::uint64_t bytesWritten() const override { return m_bytes; }
    // libFLAC's own file writer reports a refused write as a failed callback.
    bool outputFailed() const override
    {
        const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(m_encoder);
        return state == FLAC__STREAM_ENCODER_CLIENT_ERROR || state == FLAC__STREAM_ENCODER_IO_ERROR;
    }
    int outputError() const override { return m_error; }

private:
    // libFLAC writes the file itself: a refused write leaves its error number behind.
    bool noted(FLAC__bool ok)
    {
        if (!ok && m_error == 0)
            m_error = errno;
        return ok;
    }

    static void onProgress(
        const FLAC__StreamEncoder *, FLAC__uint64 bytes, FLAC__uint64, unsigned, unsigned, void *self)
    {
        static_cast<FlacEncoder *>(self)->m_bytes = bytes;
    }

    FLAC__StreamEncoder *m_encoder = nullptr;
    std::vector<FLAC__StreamMetadata *> m_metadata;
    std::vector<FLAC__int32> m_samples;
    std::uint64_t m_bytes = 0;
    int m_error = 0;
    int m_channels = 0;
    int m_bits = 16;
};

} // namespace

SONMILL_MODULE_EXPORT Encoder *sonmill_create_encoder(
    const EncoderSettings *settings, const char *path, Failure *failure)
{
    return openEncoder<FlacEncoder>(settings, path, failure);
}

} // namespace sonmill
