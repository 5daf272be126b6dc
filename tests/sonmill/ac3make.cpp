// ac3make OUT.ac3 RATE ACMOD LFE FRAMES KBPS [LEVEL...]: writes FRAMES AC-3 (A/52) sync
// frames of 1536 samples each, straight from the bitstream syntax, since none of the
// encoders the tests may use writes AC-3. RATE is 48000, 44100 or 32000; ACMOD the audio
// coding mode (1 mono, 2 stereo, 7 three front and two surround ...); LFE 0 or 1; KBPS the
// nominal bit rate, 0 for the lowest that holds the frame. At 44.1 kHz frames with and
// without the padding word alternate to keep the nominal rate, as encoders do.
//
// No mantissa bits are sent: all SNR offsets are 0, which makes every bit allocation
// pointer 0. A full-band channel is then digital silence, or, with a LEVEL (an exponent
// 0..24, one per full-band channel in the stream's order, "x" for silence), the decoder's
// dither noise at about 2^-LEVEL of full scale over the whole band: audio a decoder must
// really decode, at a level that tells each channel apart.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kBlocks = 6;
constexpr int kBandwidthCode = 60; // the widest band: 253 coded bins
constexpr int kEndBin = 37 + 3 * (kBandwidthCode + 12);
constexpr int kLfeEndBin = 7;
constexpr int kMaxExponent = 24;
constexpr int kFirstExponentMax = 15; // the absolute exponent has 4 bits
constexpr std::uint32_t kExponentReuse = 0;
constexpr std::uint32_t kExponentD15 = 1; // one exponent per bin
constexpr std::size_t kErrorCheckBits = 18; // auxdatae, crcrsv, crc2

// Nominal bit rates by frmsizecod / 2.
constexpr std::array<int, 19> kBitRates
    = { 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640 };
// Full-band channels by acmod.
constexpr std::array<int, 8> kChannels = { 2, 1, 2, 3, 3, 4, 4, 5 };

struct Stream
{
    int rate = 48000;
    int acmod = 2;
    bool lfe = false;
    std::vector<std::optional<int>> levels; // per full-band channel; empty: silence
};

class BitWriter
{
public:
    void put(std::uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            if (m_bits % 8 == 0)
                m_bytes.push_back(0);
            if ((value >> i) & 1)
                m_bytes.back() |= static_cast<std::uint8_t>(0x80 >> (m_bits % 8));
            ++m_bits;
        }
    }
    std::size_t bits() const { return m_bits; }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_bits = 0;
};

// CRC-16, x^16 + x^15 + x^2 + 1, most significant bit first, starting from 0.
std::uint16_t crc16(const std::uint8_t *data, std::size_t length)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
    }
    return crc;
}

// Sets data[0..1] to the word that makes the CRC of data[0..length) zero. The CRC is
// linear in that word, so the word solves a 16 by 16 system over GF(2).
void setLeadingCheckWord(std::uint8_t *data, std::size_t length)
{
    auto crcWith = [&](std::uint16_t word) {
        data[0] = static_cast<std::uint8_t>(word >> 8);
        data[1] = static_cast<std::uint8_t>(word & 0xFF);
        return crc16(data, length);
    };
    const std::uint16_t target = crcWith(0);
    // A basis of the images, by leading bit, with the word bits that make each one.
    std::array<std::uint16_t, 16> basis {};
    std::array<std::uint16_t, 16> makers {};
    for (int bit = 0; bit < 16; ++bit) {
        auto image = static_cast<std::uint16_t>(crcWith(static_cast<std::uint16_t>(1u << bit)) ^ target);
        auto maker = static_cast<std::uint16_t>(1u << bit);
        for (int lead = 15; lead >= 0 && image; --lead) {
            if (!((image >> lead) & 1))
                continue;
            if (!basis[static_cast<std::size_t>(lead)]) {
                basis[static_cast<std::size_t>(lead)] = image;
                makers[static_cast<std::size_t>(lead)] = maker;
                break;
            }
            image ^= basis[static_cast<std::size_t>(lead)];
            maker ^= makers[static_cast<std::size_t>(lead)];
        }
    }
    std::uint16_t rest = target;
    std::uint16_t word = 0;
    for (int lead = 15; lead >= 0; --lead)
        if ((rest >> lead) & 1) {
            rest ^= basis[static_cast<std::size_t>(lead)];
            word ^= makers[static_cast<std::size_t>(lead)];
        }
    crcWith(word);
}

// Exponents for bins 0..count-1 that reach `level` from the 4-bit first exponent in
// steps the differential coding allows (at most 2 per bin), coded in groups of three.
void putExponents(BitWriter &out, int level, int count)
{
    int exponent = std::min(level, kFirstExponentMax);
    out.put(static_cast<std::uint32_t>(exponent), 4);
    std::vector<int> steps;
    for (int bin = 1; bin < count; ++bin) {
        const int step = std::clamp(level - exponent, -2, 2);
        exponent += step;
        steps.push_back(step + 2);
    }
    for (std::size_t i = 0; i + 2 < steps.size(); i += 3) // count - 1 is a multiple of 3
        out.put(static_cast<std::uint32_t>(25 * steps[i] + 5 * steps[i + 1] + steps[i + 2]), 7);
}

void putBsi(BitWriter &out, const Stream &stream)
{
    out.put(8, 5); // bsid
    out.put(0, 3); // bsmod: complete main service
    out.put(static_cast<std::uint32_t>(stream.acmod), 3);
    if ((stream.acmod & 1) && stream.acmod != 1)
        out.put(0, 2); // cmixlev: -3 dB
    if (stream.acmod & 4)
        out.put(0, 2); // surmixlev: -3 dB
    if (stream.acmod == 2)
        out.put(0, 2); // dsurmod: not indicated
    out.put(stream.lfe ? 1 : 0, 1);
    const int programmes = stream.acmod == 0 ? 2 : 1; // 1+1 carries two of these
    for (int i = 0; i < programmes; ++i) {
        out.put(31, 5); // dialnorm: -31 dB, no attenuation
        out.put(0, 1); // compre
        out.put(0, 1); // langcode
        out.put(0, 1); // audprodie
    }
    out.put(0, 1); // copyrightb
    out.put(1, 1); // origbs
    out.put(0, 1); // timecod1e
    out.put(0, 1); // timecod2e
    out.put(0, 1); // addbsie
}

void putBlock(BitWriter &out, const Stream &stream, int block)
{
    const int channels = kChannels[static_cast<std::size_t>(stream.acmod)];
    const bool first = block == 0;
    for (int ch = 0; ch < channels; ++ch)
        out.put(0, 1); // blksw: long transforms
    for (int ch = 0; ch < channels; ++ch)
        out.put(stream.levels.at(static_cast<std::size_t>(ch)) ? 1 : 0, 1); // dithflag
    out.put(0, 1); // dynrnge
    if (stream.acmod == 0)
        out.put(0, 1); // dynrng2e
    out.put(first ? 1 : 0, 1); // cplstre
    if (first)
        out.put(0, 1); // cplinu: no coupling
    if (stream.acmod == 2) {
        out.put(first ? 1 : 0, 1); // rematstr
        if (first)
            out.put(0, 4); // rematflg for the four bands: plain left and right
    }
    const std::uint32_t strategy = first ? kExponentD15 : kExponentReuse;
    for (int ch = 0; ch < channels; ++ch)
        out.put(strategy, 2); // chexpstr
    if (stream.lfe)
        out.put(strategy, 1); // lfeexpstr
    if (first) {
        for (int ch = 0; ch < channels; ++ch)
            out.put(kBandwidthCode, 6); // chbwcod
        for (int ch = 0; ch < channels; ++ch) {
            putExponents(out, stream.levels.at(static_cast<std::size_t>(ch)).value_or(kMaxExponent), kEndBin);
            out.put(0, 2); // gainrng
        }
        if (stream.lfe)
            putExponents(out, kMaxExponent, kLfeEndBin);
    }
    out.put(first ? 1 : 0, 1); // baie
    if (first) {
        out.put(2, 2); // sdcycod
        out.put(1, 2); // fdcycod
        out.put(1, 2); // sgaincod
        out.put(2, 2); // dbpbcod
        out.put(4, 3); // floorcod
    }
    out.put(first ? 1 : 0, 1); // snroffste
    if (first) {
        out.put(0, 6); // csnroffst: 0 with every fsnroffst 0 allocates no bits at all
        for (int ch = 0; ch < channels + (stream.lfe ? 1 : 0); ++ch) {
            out.put(0, 4); // fsnroffst
            out.put(4, 3); // fgaincod
        }
    }
    out.put(0, 1); // deltbaie
    out.put(0, 1); // skiple
    // No mantissas: every bit allocation pointer is 0.
}

int wordsPerFrame(int rate, int kbps)
{
    if (rate == 48000)
        return 2 * kbps;
    if (rate == 32000)
        return 3 * kbps;
    return kbps * 320 / 147; // 44.1 kHz, the frame without the padding word
}

// One sync frame of `words` 16-bit words; frmsizecod names the bit rate (and, when odd,
// the 44.1 kHz padding word).
std::vector<std::uint8_t> makeFrame(const Stream &stream, int frmsizecod, int words)
{
    const int fscod = stream.rate == 48000 ? 0 : stream.rate == 44100 ? 1 : 2;
    BitWriter out;
    out.put(0x0B77, 16);
    out.put(0, 16); // crc1, set below
    out.put(static_cast<std::uint32_t>(fscod), 2);
    out.put(static_cast<std::uint32_t>(frmsizecod), 6);
    putBsi(out, stream);
    for (int block = 0; block < kBlocks; ++block)
        putBlock(out, stream, block);
    while (out.bits() < static_cast<std::size_t>(words) * 16 - kErrorCheckBits)
        out.put(0, 1); // auxiliary data: none, zero fill
    out.put(0, 1); // auxdatae
    out.put(0, 1); // crcrsv
    out.put(0, 16); // crc2, set below
    std::vector<std::uint8_t> frame = out.take();

    // crc1 checks the first 5/8 of the frame after the sync word; crc2 the rest, and with
    // it the whole frame after the sync word.
    const std::size_t fiveEighths = 2 * static_cast<std::size_t>((words >> 1) + (words >> 3));
    setLeadingCheckWord(frame.data() + 2, fiveEighths - 2);
    const std::uint16_t crc2 = crc16(frame.data() + fiveEighths, frame.size() - fiveEighths - 2);
    frame[frame.size() - 2] = static_cast<std::uint8_t>(crc2 >> 8);
    frame[frame.size() - 1] = static_cast<std::uint8_t>(crc2 & 0xFF);
    return frame;
}

// Both checks a strict decoder makes: the first 5/8 after the sync word, and all of it.
bool checksHold(const std::vector<std::uint8_t> &frame)
{
    const std::size_t words = frame.size() / 2;
    const std::size_t fiveEighths = 2 * ((words >> 1) + (words >> 3));
    return crc16(frame.data() + 2, fiveEighths - 2) == 0 && crc16(frame.data() + 2, frame.size() - 2) == 0;
}

// The index into kBitRates for the asked rate (0: the lowest whose frame holds the
// content); nothing when no rate fits.
std::optional<std::size_t> bitRateIndex(const Stream &stream, int kbps)
{
    BitWriter content;
    putBsi(content, stream);
    for (int block = 0; block < kBlocks; ++block)
        putBlock(content, stream, block);
    const std::size_t needed = 40 + content.bits() + kErrorCheckBits; // syncinfo comes first
    for (std::size_t index = 0; index < kBitRates.size(); ++index) {
        if (kbps != 0 && kBitRates[index] != kbps)
            continue;
        if (static_cast<std::size_t>(wordsPerFrame(stream.rate, kBitRates[index])) * 16 >= needed)
            return index;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: ac3make OUT.ac3 RATE ACMOD LFE FRAMES KBPS [LEVEL...]\n");
        return 2;
    }
    Stream stream;
    stream.rate = std::atoi(argv[2]);
    stream.acmod = std::atoi(argv[3]);
    stream.lfe = std::atoi(argv[4]) != 0;
    const long frames = std::atol(argv[5]);
    const int kbps = std::atoi(argv[6]);
    if ((stream.rate != 48000 && stream.rate != 44100 && stream.rate != 32000) || stream.acmod < 0 || stream.acmod > 7
        || frames < 0) {
        std::fprintf(stderr, "ac3make: bad rate, mode or frame count\n");
        return 2;
    }
    const int channels = kChannels[static_cast<std::size_t>(stream.acmod)];
    stream.levels.assign(static_cast<std::size_t>(channels), std::nullopt);
    for (int i = 7; i < argc && i - 7 < channels; ++i) {
        const std::string level = argv[i];
        if (level != "x")
            stream.levels[static_cast<std::size_t>(i - 7)] = std::clamp(std::atoi(level.c_str()), 0, kMaxExponent);
    }

    const auto index = bitRateIndex(stream, kbps);
    if (!index) {
        std::fprintf(stderr, "ac3make: the frame does not fit that bit rate\n");
        return 1;
    }
    // Every frame of a rate is the same: silence and the decoder's dither need nothing
    // that changes.
    const int kbpsUsed = kBitRates[*index];
    const int words = wordsPerFrame(stream.rate, kbpsUsed);
    const std::vector<std::uint8_t> plain = makeFrame(stream, static_cast<int>(2 * *index), words);
    const std::vector<std::uint8_t> padded = makeFrame(stream, static_cast<int>(2 * *index + 1), words + 1);
    if (!checksHold(plain) || !checksHold(padded)) {
        std::fprintf(stderr, "ac3make: check words do not hold\n");
        return 1;
    }
    std::FILE *file = std::fopen(argv[1], "wb");
    if (!file)
        return 1;
    bool written = true;
    std::int64_t sentWords = 0;
    for (long i = 0; i < frames && written; ++i) {
        // Exactly: kbps * 1000 bits per second, 1536 / rate seconds per frame, 16 bits per word.
        const std::int64_t due = (i + 1) * std::int64_t(kbpsUsed) * 1000 * 1536 / (16 * std::int64_t(stream.rate));
        const std::vector<std::uint8_t> &frame = (stream.rate == 44100 && due - sentWords > words) ? padded : plain;
        sentWords += static_cast<std::int64_t>(frame.size() / 2);
        written = std::fwrite(frame.data(), 1, frame.size(), file) == frame.size();
    }
    return (std::fclose(file) == 0 && written) ? 0 : 1;
}
