#include "sonmill/encoders/pcmencoder.h"
#include "sonmill/base/encoder.h"
#include "sonmill/base/filewriter.h"
#include "sonmill/base/sampleconvert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace sonmill {
namespace {

constexpr std::size_t kChunkFrames = 4096;
constexpr std::uint64_t k4GiB = 0x100000000ull;

// Little- and big-endian field writers over a header buffer.
class Header
{
public:
    void tag(const char *fourcc)
    {
        for (int i = 0; i < 4; ++i)
            m_data.push_back(static_cast<std::uint8_t>(fourcc[i]));
    }
    void u8(std::uint8_t v) { m_data.push_back(v); }
    void le16(std::uint32_t v)
    {
        m_data.push_back(static_cast<std::uint8_t>(v));
        m_data.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void le32(std::uint32_t v)
    {
        le16(v & 0xFFFF);
        le16(v >> 16);
    }
    void le64(std::uint64_t v)
    {
        le32(static_cast<std::uint32_t>(v));
        le32(static_cast<std::uint32_t>(v >> 32));
    }
    void be16(std::uint32_t v)
    {
        m_data.push_back(static_cast<std::uint8_t>(v >> 8));
        m_data.push_back(static_cast<std::uint8_t>(v));
    }
    void be32(std::uint32_t v)
    {
        be16(v >> 16);
        be16(v & 0xFFFF);
    }
    void zeros(std::size_t n) { m_data.insert(m_data.end(), n, 0); }
    // The 80-bit IEEE extended number AIFF keeps its sample rate in.
    void extended(double value)
    {
        int exponent = 0;
        const double mantissa = std::frexp(value, &exponent); // value = mantissa * 2^exponent, 0.5 <= m < 1
        const auto bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 64));
        be16(static_cast<std::uint32_t>(exponent - 1 + 16383));
        be32(static_cast<std::uint32_t>(bits >> 32));
        be32(static_cast<std::uint32_t>(bits));
    }
    const std::vector<std::uint8_t> &data() const { return m_data; }

private:
    std::vector<std::uint8_t> m_data;
};

// Speaker bits of the WAV extensible header for the layouts we write.
std::uint32_t channelMask(int channels)
{
    switch (channels) {
    case 1:
        return 0x4; // centre
    case 2:
        return 0x3;
    case 6:
        return 0x3F; // L R C LFE Ls Rs (rear)
    default:
        return 0;
    }
}

// PCM in WAV (little-endian), AIFF and AU (big-endian): 16-bit, or (to keep an input's
// resolution) 24 or 32-bit integers or 32-bit float. The headers are small enough to
// write here; sizes are filled in when the file is finished. A WAV whose data passes
// 4 GiB becomes RF64, using the room its 'JUNK' chunk kept for that.
class PcmEncoder final : public Encoder
{
public:
    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_container = settings.format.container;
        m_channels = settings.channels;
        m_rate = settings.rate;
        const SampleWords words = *losslessWords(settings);
        m_float = words.isFloat;
        m_bits = words.bits;
        m_bytesPerSample = static_cast<std::size_t>(m_bits / 8);
        if (!m_file.open(path))
            return withSystemError(Failures::kOutputCreate, m_file.error());
        const Header header = makeHeader(0);
        m_file.write(header.data().data(), header.data().size());
        m_integers.resize(kChunkFrames * static_cast<std::size_t>(m_channels));
        m_bytes.resize(m_integers.size() * m_bytesPerSample);
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        return writeInChunks(frames, count, m_channels, kChunkFrames, [&](const float *chunk, std::size_t n) {
            const std::size_t samples = n * channels;
            pack(chunk, samples);
            m_frames += n;
            return m_file.write(m_bytes.data(), samples * m_bytesPerSample);
        });
    }

    bool finish() override
    {
        const std::uint64_t dataBytes = m_frames * static_cast<std::uint64_t>(m_channels) * m_bytesPerSample;
        if (m_container == Container::Aiff && dataBytes % 2)
            m_file.write("", 1); // chunks keep an even length
        const Header header = makeHeader(dataBytes);
        m_file.writeAt(0, header.data().data(), header.data().size());
        return m_file.close();
    }

    std::uint64_t bytesWritten() const override { return m_file.size(); }
    bool outputFailed() const override { return m_file.failed(); }
    int outputError() const override { return m_file.error(); }

private:
    Header makeHeader(std::uint64_t dataBytes) const
    {
        Header h;
        const auto channels = static_cast<std::uint32_t>(m_channels);
        const auto rate = static_cast<std::uint32_t>(m_rate);
        const auto bits = static_cast<std::uint32_t>(m_bits);
        const std::uint32_t blockAlign = channels * bits / 8;
        switch (m_container) {
        case Container::Aiff: {
            const std::uint64_t frames = dataBytes / blockAlign;
            h.tag("FORM");
            h.be32(static_cast<std::uint32_t>(
                std::min<std::uint64_t>(4 + 26 + 16 + dataBytes + (dataBytes & 1), 0xFFFFFFFF)));
            h.tag("AIFF");
            h.tag("COMM");
            h.be32(18);
            h.be16(channels);
            h.be32(static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xFFFFFFFF)));
            h.be16(bits);
            h.extended(m_rate);
            h.tag("SSND");
            h.be32(static_cast<std::uint32_t>(std::min<std::uint64_t>(8 + dataBytes, 0xFFFFFFFF)));
            h.be32(0); // offset
            h.be32(0); // block size
            break;
        }
        case Container::Au:
            // 28 bytes: the 24 of the fixed fields and the four of an empty annotation,
            // the least readers expect.
            h.tag(".snd");
            h.be32(28);
            h.be32(dataBytes < 0xFFFFFFFF ? static_cast<std::uint32_t>(dataBytes) : 0xFFFFFFFF); // all ones: unknown
            h.be32(m_float ? 6 : bits / 8 + 1); // 3, 4, 5: 16, 24, 32-bit linear PCM; 6: float
            h.be32(rate);
            h.be32(channels);
            h.be32(0);
            break;
        default: {
            // More than two channels or more than 16 bits: the extensible header.
            const bool extensible = channels > 2 || bits > 16;
            const std::uint32_t formatSize = extensible ? 40 : 16;
            const bool large = dataBytes + 100 >= k4GiB;
            const std::uint64_t riffSize = 4 + (8 + 28) + (8 + formatSize) + 8 + dataBytes;
            h.tag(large ? "RF64" : "RIFF");
            h.le32(large ? 0xFFFFFFFF : static_cast<std::uint32_t>(riffSize));
            h.tag("WAVE");
            h.tag(large ? "ds64" : "JUNK"); // room kept for the 64-bit sizes
            h.le32(28);
            if (large) {
                h.le64(riffSize);
                h.le64(dataBytes);
                h.le64(dataBytes / blockAlign);
                h.le32(0);
            } else {
                h.zeros(28);
            }
            h.tag("fmt ");
            h.le32(formatSize);
            h.le16(extensible ? 0xFFFE : (m_float ? 3 : 1));
            h.le16(channels);
            h.le32(rate);
            h.le32(rate * blockAlign);
            h.le16(blockAlign);
            h.le16(bits);
            if (extensible) {
                h.le16(22);
                h.le16(bits);
                h.le32(channelMask(m_channels));
                // KSDATAFORMAT_SUBTYPE_PCM or _IEEE_FLOAT
                std::array<std::uint8_t, 16> guid
                    = { 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71 };
                if (m_float)
                    guid[0] = 3;
                for (std::uint8_t b : guid)
                    h.u8(b);
            }
            h.tag("data");
            h.le32(large ? 0xFFFFFFFF : static_cast<std::uint32_t>(dataBytes));
            break;
        }
        }
        return h;
    }

    // Converts samples into the file's byte layout in m_bytes.
    void pack(const float *in, std::size_t samples)
    {
        const bool bigEndian = m_container != Container::Wav;
        std::uint8_t *out = m_bytes.data();
        auto put = [&](std::uint32_t value) {
            for (std::size_t b = 0; b < m_bytesPerSample; ++b) {
                const std::size_t shift = bigEndian ? (m_bytesPerSample - 1 - b) * 8 : b * 8;
                *out++ = static_cast<std::uint8_t>(value >> shift);
            }
        };
        if (m_float) {
            for (std::size_t i = 0; i < samples; ++i) {
                std::uint32_t bitsOf;
                std::memcpy(&bitsOf, &in[i], sizeof bitsOf);
                put(bitsOf);
            }
        } else if (m_bits == 32) {
            floatToInteger32(in, m_integers.data(), samples);
            for (std::size_t i = 0; i < samples; ++i)
                put(static_cast<std::uint32_t>(m_integers[i]));
        } else {
            floatToInteger(in, m_integers.data(), samples, m_bits);
            for (std::size_t i = 0; i < samples; ++i)
                put(static_cast<std::uint32_t>(m_integers[i]));
        }
    }

    Container m_container = Container::Wav;
    int m_channels = 0;
    int m_rate = 0;
    int m_bits = 16;
    bool m_float = false;
    std::size_t m_bytesPerSample = 2;
    std::uint64_t m_frames = 0;
    std::vector<std::int32_t> m_integers;
    std::vector<std::uint8_t> m_bytes;
    FileWriter m_file;
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
