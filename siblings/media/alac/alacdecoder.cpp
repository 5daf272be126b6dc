#include "media/alac/alacdecoder.h"

namespace Alac {
namespace {

// Reads bits most significant first; past the end it reads zeros and remembers it.
class BitReader
{
public:
    BitReader(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_bits(size * 8)
    { }

    std::uint32_t read(int count)
    {
        std::uint32_t value = 0;
        for (int done = 0; done < count;) {
            const int take = count - done < 8 ? count - done : 8;
            value = (value << take) | peekBits(take);
            m_position += std::size_t(take);
            done += take;
        }
        return value;
    }

    // Up to 32 bits ahead without moving (zeros past the end).
    std::uint32_t peek32() const
    {
        std::uint32_t value = 0;
        std::size_t at = m_position;
        for (int i = 0; i < 32; i += 8) {
            value = (value << 8) | byteAt(at);
            at += 8;
        }
        return value;
    }

    void skip(std::size_t count) { m_position += count; }
    void back(std::size_t count) { m_position -= count; }
    void alignToByte() { m_position = (m_position + 7) & ~std::size_t(7); }
    std::size_t position() const { return m_position; }
    void seek(std::size_t position) { m_position = position; }
    bool overrun() const { return m_position > m_bits; }

private:
    // The 8 bits from a bit position, zeros past the end.
    std::uint32_t byteAt(std::size_t bit) const
    {
        const std::size_t index = bit >> 3;
        const int offset = int(bit & 7);
        const std::uint32_t high = index < m_bits / 8 ? m_data[index] : 0;
        const std::uint32_t low = index + 1 < m_bits / 8 ? m_data[index + 1] : 0;
        return ((high << 8 | low) >> (8 - offset)) & 0xFF;
    }
    std::uint32_t peekBits(int count) const { return byteAt(m_position) >> (8 - count); }

    const std::uint8_t *m_data;
    std::size_t m_bits;
    std::size_t m_position = 0;
};

// One Golomb-coded value: a unary prefix (ones, then a zero), then k - 1 or k bits; a prefix
// of kMaxPrefix ones is followed by the value itself in escapeBits bits.
std::uint32_t readGolomb(BitReader &in, std::uint32_t k, std::uint32_t limit, int escapeBits)
{
    const std::uint32_t word = in.peek32();
    const std::uint32_t prefix = std::uint32_t(leadingZeros(~word));
    if (prefix >= kMaxPrefix) {
        in.skip(kMaxPrefix);
        return in.read(escapeBits);
    }
    in.skip(prefix + 1);
    if (k == 1)
        return prefix;
    const std::uint32_t field = in.read(int(k));
    std::uint32_t value = prefix * limit;
    if (field >= 2)
        value += field - 1;
    else
        in.back(1); // a remainder of 0 is coded one bit shorter: give the last bit back
    return value;
}

bool decodeResiduals(
    BitReader &in, std::int32_t *out, std::uint32_t count, const Config &config, std::uint32_t pbFactor, int chanBits)
{
    const std::uint32_t mult = (std::uint32_t(config.pb) * pbFactor) / 4;
    const std::uint32_t riceLimit = config.kb;
    const std::uint32_t wideLimit = (1u << config.kb) - 1;
    std::uint32_t history = config.mb;
    std::uint32_t zeroMode = 0;
    std::uint32_t c = 0;
    while (c < count) {
        const std::uint32_t k = riceParameter(history, riceLimit);
        const std::uint32_t n = readGolomb(in, k, (1u << k) - 1, chanBits);
        const std::uint32_t coded = n + zeroMode;
        // The lowest bit is the sign: 0, -1, 1, -2, 2, ...
        const std::int32_t magnitude = std::int32_t((coded + 1) >> 1);
        out[c++] = (coded & 1) ? -magnitude : magnitude;
        history = nextHistory(history, n, zeroMode, mult);
        zeroMode = 0;
        if (zeroRunDue(history) && c < count) {
            zeroMode = 1;
            const std::uint32_t zk = zeroRunParameter(history);
            const std::uint32_t run = readGolomb(in, zk, ((1u << zk) - 1) & wideLimit, kZeroRunEscapeBits);
            if (run > count - c)
                return false;
            for (std::uint32_t j = 0; j < run; ++j)
                out[c++] = 0;
            if (run >= kLongestZeroRun)
                zeroMode = 0;
            history = 0;
        }
        if (in.overrun())
            return false;
    }
    return true;
}

// The prediction undone: residuals in, samples out (may be the same buffer only for the
// first-order pass, order 31).
void unpredict(const std::int32_t *residuals, std::int32_t *out, std::uint32_t count, std::int16_t *coefs, int order,
    int chanBits, int denShift)
{
    if (count == 0)
        return;
    out[0] = residuals[0];
    if (order == 0) {
        for (std::uint32_t j = 1; j < count; ++j)
            out[j] = residuals[j];
        return;
    }
    if (order == 31) {
        for (std::uint32_t j = 1; j < count; ++j)
            out[j] = signExtend(wrapAdd(residuals[j], out[j - 1]), chanBits);
        return;
    }
    const std::uint32_t warmUp = std::uint32_t(order) < count ? std::uint32_t(order) : count - 1;
    for (std::uint32_t j = 1; j <= warmUp; ++j)
        out[j] = signExtend(wrapAdd(residuals[j], out[j - 1]), chanBits);
    for (std::uint32_t j = std::uint32_t(order) + 1; j < count; ++j) {
        const std::int32_t *previous = out + j - 1;
        const std::int32_t top = out[j - std::uint32_t(order) - 1];
        const std::int32_t residual = residuals[j];
        out[j] = signExtend(
            wrapAdd(wrapAdd(residual, top), predictionOffset(coefs, order, previous, top, denShift)), chanBits);
        adaptCoefficients(coefs, order, previous, top, residual, denShift);
    }
}

} // namespace

std::size_t Decoder::scratchSamples(const Config &config)
{
    return std::size_t(config.frameLength) * 4;
}

bool Decoder::init(const Config &config, std::int32_t *scratch)
{
    m_config = config;
    const std::size_t n = config.frameLength;
    m_residuals[0] = scratch;
    m_residuals[1] = scratch + n;
    m_mixed[0] = scratch + 2 * n;
    m_mixed[1] = scratch + 3 * n;
    return config.frameLength >= 1 && config.channels >= 1 && config.channels <= 8 && config.kb >= 1 && config.kb <= 24;
}

Decoder::Status Decoder::decode(const std::uint8_t *packet, std::size_t size, std::int32_t *out, std::uint32_t &frames)
{
    BitReader in(packet, size);
    const int channels = m_config.channels;
    int channel = 0;
    bool framesKnown = false;
    frames = 0;
    for (;;) {
        const std::uint32_t tag = in.read(3);
        if (in.overrun())
            return Status::Damaged;
        if (tag == kEnd)
            break;
        in.read(4); // the element's instance number
        if (tag == kDataStream) {
            const bool aligned = in.read(1) != 0;
            std::size_t count = in.read(8);
            if (count == 255)
                count += in.read(8);
            if (aligned)
                in.alignToByte();
            in.skip(count * 8);
            continue;
        }
        if (tag == kFill) {
            std::size_t count = in.read(4);
            if (count == 15)
                count += in.read(8) - 1;
            in.skip(count * 8);
            continue;
        }
        if (tag != kSingleChannel && tag != kChannelPair && tag != kLowFrequency)
            return Status::Unsupported;

        const int n = tag == kChannelPair ? 2 : 1;
        if (channel + n > channels)
            return Status::Damaged;
        in.read(12); // unused
        const bool partial = in.read(1) != 0;
        const int shiftBytes = int(in.read(2));
        const bool escaped = in.read(1) != 0;
        std::uint32_t count = m_config.frameLength;
        if (partial)
            count = in.read(32);
        if (count > m_config.frameLength || shiftBytes == 3 || (framesKnown && count != frames))
            return Status::Damaged;
        frames = count;
        framesKnown = true;
        const int depth = m_config.bitDepth;

        if (escaped) {
            // The samples as they are, interleaved, at the full sample size.
            for (std::uint32_t j = 0; j < count; ++j)
                for (int c = 0; c < n; ++c)
                    out[j * std::uint32_t(channels) + std::uint32_t(channel + c)]
                        = signExtend(std::int32_t(in.read(depth)), depth);
        } else {
            const int shift = shiftBytes * 8;
            const int chanBits = depth - shift + (n - 1);
            if (chanBits > 32 || chanBits < 1)
                return Status::Damaged;
            const int mixBits = int(in.read(8));
            const int mixRes = std::int8_t(in.read(8));
            if (mixBits > 31)
                return Status::Damaged;
            int mode[2] = {};
            int denShift[2] = {};
            std::uint32_t pbFactor[2] = {};
            int order[2] = {};
            std::int16_t coefs[2][32] = {};
            for (int c = 0; c < n; ++c) {
                mode[c] = int(in.read(4));
                denShift[c] = int(in.read(4));
                pbFactor[c] = in.read(3);
                order[c] = int(in.read(5));
                for (int i = 0; i < order[c]; ++i)
                    coefs[c][i] = std::int16_t(in.read(16));
            }
            const std::size_t shiftAt = in.position();
            in.skip(std::size_t(shift) * std::size_t(n) * count);
            for (int c = 0; c < n; ++c) {
                if (!decodeResiduals(in, m_residuals[c], count, m_config, pbFactor[c], chanBits))
                    return Status::Damaged;
                if (mode[c] != 0)
                    unpredict(m_residuals[c], m_residuals[c], count, nullptr, 31, chanBits, 0);
                unpredict(m_residuals[c], m_mixed[c], count, coefs[c], order[c], chanBits, denShift[c]);
            }
            if (n == 2 && mixRes != 0) {
                for (std::uint32_t j = 0; j < count; ++j) {
                    const std::int32_t u = m_mixed[0][j];
                    const std::int32_t v = m_mixed[1][j];
                    const auto left = std::int32_t(std::int64_t(u) + v - ((std::int64_t(mixRes) * v) >> mixBits));
                    m_mixed[0][j] = left;
                    m_mixed[1][j] = wrapSub(left, v);
                }
            }
            const std::size_t endOfResiduals = in.position();
            in.seek(shiftAt);
            for (std::uint32_t j = 0; j < count; ++j) {
                for (int c = 0; c < n; ++c) {
                    const std::uint32_t low = shift ? in.read(shift) : 0;
                    const std::int32_t high = m_mixed[c][j];
                    out[j * std::uint32_t(channels) + std::uint32_t(channel + c)]
                        = std::int32_t((std::uint32_t(high) << shift) | low);
                }
            }
            in.seek(endOfResiduals);
        }
        if (in.overrun())
            return Status::Damaged;
        channel += n;
    }
    if (channel != channels || in.overrun())
        return Status::Damaged;
    return Status::Ok;
}

} // namespace Alac
