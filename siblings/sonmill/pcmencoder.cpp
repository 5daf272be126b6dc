#include "sonmill/pcmencoder.h"
#include "sonmill/encoder.h"
#include "sonmill/filewriter.h"
#include "sonmill/sampleconvert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace sonmill {
namespace {

constexpr std::size_t kChunkFrames = 4096;
constexpr int kBits = 16;
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

// 16-bit PCM in WAV (little-endian), AIFF and AU (big-endian). The headers are small
// enough to write here; sizes are filled in when the file is finished. A WAV whose
// data passes 4 GiB becomes RF64, using the room its 'JUNK' chunk kept for that.
class PcmEncoder final : public Encoder
{
public:
    std::optional<Failure> open(const EncoderSettings &settings, const std::string &path)
    {
        m_container = settings.format.container;
        m_channels = settings.channels;
        m_rate = settings.rate;
        if (!m_file.open(path))
            return Failures::kOutputCreate;
        const Header header = makeHeader(0);
        m_file.write(header.data().data(), header.data().size());
        m_samples.resize(kChunkFrames * static_cast<std::size_t>(m_channels));
        return std::nullopt;
    }

    bool write(const float *frames, std::size_t count) override
    {
        const auto channels = static_cast<std::size_t>(m_channels);
        const bool bigEndian = m_container != Container::Wav;
        while (count > 0) {
            const std::size_t n = std::min(count, kChunkFrames);
            const std::size_t samples = n * channels;
            floatToInteger(frames, m_samples.data(), samples, kBits);
            if (bigEndian)
                for (std::size_t i = 0; i < samples; ++i)
                    m_samples[i]
                        = static_cast<std::int16_t>(__builtin_bswap16(static_cast<std::uint16_t>(m_samples[i])));
            m_file.write(m_samples.data(), samples * sizeof(std::int16_t));
            m_frames += n;
            frames += samples;
            count -= n;
        }
        return true;
    }

    bool finish() override
    {
        const std::uint64_t dataBytes = m_frames * static_cast<std::uint64_t>(m_channels) * 2;
        if (m_container == Container::Aiff && dataBytes % 2)
            m_file.write("", 1); // chunks keep an even length
        const Header header = makeHeader(dataBytes);
        m_file.writeAt(0, header.data().data(), header.data().size());
        return m_file.close();
    }

    std::uint64_t bytesWritten() const override { return m_file.size(); }

private:
    Header makeHeader(std::uint64_t dataBytes) const
    {
        Header h;
        const auto channels = static_cast<std::uint32_t>(m_channels);
        const auto rate = static_cast<std::uint32_t>(m_rate);
        const std::uint32_t blockAlign = channels * 2;
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
            h.be16(kBits);
            h.extended(m_rate);
            h.tag("SSND");
            h.be32(static_cast<std::uint32_t>(std::min<std::uint64_t>(8 + dataBytes, 0xFFFFFFFF)));
            h.be32(0); // offset
            h.be32(0); // block size
            break;
        }
        case Container::Au:
            h.tag(".snd");
            h.be32(24);
            h.be32(dataBytes < 0xFFFFFFFF ? static_cast<std::uint32_t>(dataBytes) : 0xFFFFFFFF); // all ones: unknown
            h.be32(3); // 16-bit linear PCM
            h.be32(rate);
            h.be32(channels);
            break;
        default: {
            const bool extensible = channels > 2;
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
            h.le16(extensible ? 0xFFFE : 1);
            h.le16(channels);
            h.le32(rate);
            h.le32(rate * blockAlign);
            h.le16(blockAlign);
            h.le16(kBits);
            if (extensible) {
                h.le16(22);
                h.le16(kBits);
                h.le32(channelMask(m_channels));
                // KSDATAFORMAT_SUBTYPE_PCM
                static constexpr std::array<std::uint8_t, 16> kPcmGuid
                    = { 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71 };
                for (std::uint8_t b : kPcmGuid)
                    h.u8(b);
            }
            h.tag("data");
            h.le32(large ? 0xFFFFFFFF : static_cast<std::uint32_t>(dataBytes));
            break;
        }
        }
        return h;
    }

    Container m_container = Container::Wav;
    int m_channels = 0;
    int m_rate = 0;
    std::uint64_t m_frames = 0;
    std::vector<std::int16_t> m_samples;
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
