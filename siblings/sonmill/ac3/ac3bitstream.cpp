#include "sonmill/ac3/ac3bitstream.h"

#include <array>

namespace sonmill::ac3 {
namespace {

constexpr std::uint32_t kPolynomial = 0x18005; // with the x^16 term

constexpr std::array<std::uint16_t, 256> makeCrcTable()
{
    std::array<std::uint16_t, 256> table {};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? ((crc << 1) ^ kPolynomial) : (crc << 1);
        table[byte] = static_cast<std::uint16_t>(crc);
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kCrcTable = makeCrcTable();

// a * b modulo the CRC polynomial, both of degree below 16.
std::uint16_t multiply(std::uint16_t a, std::uint16_t b)
{
    std::uint32_t product = 0;
    std::uint32_t shifted = a;
    for (int bit = 0; bit < 16; ++bit) {
        if ((b >> bit) & 1)
            product ^= shifted;
        shifted <<= 1;
        if (shifted & 0x10000)
            shifted ^= kPolynomial;
    }
    return static_cast<std::uint16_t>(product);
}

std::uint16_t power(std::uint16_t base, std::size_t exponent)
{
    std::uint16_t result = 1;
    while (exponent) {
        if (exponent & 1)
            result = multiply(result, base);
        base = multiply(base, base);
        exponent >>= 1;
    }
    return result;
}

// x^-1 modulo the polynomial: x * (x^15 + x^14 + x) = x^16 + x^15 + x^2 = 1.
constexpr std::uint16_t kInverseOfX = 0xC002;

} // namespace

std::uint16_t crc16(const std::uint8_t *data, std::size_t length, std::uint16_t crc)
{
    for (std::size_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

void setFrameChecks(std::uint8_t *frame, std::size_t words)
{
    const std::size_t fiveEighths = 2 * ((words >> 1) + (words >> 3));
    const std::size_t size = 2 * words;
    // The check word w leads its span: crc(span) = w * x^(16 + 8 * rest) + crc(rest), which
    // is zero for w = crc(rest) * x^-(16 + 8 * rest).
    const std::size_t rest = fiveEighths - 4;
    const std::uint16_t restCrc = crc16(frame + 4, rest);
    const std::uint16_t crc1 = multiply(restCrc, power(kInverseOfX, 16 + 8 * rest));
    frame[2] = static_cast<std::uint8_t>(crc1 >> 8);
    frame[3] = static_cast<std::uint8_t>(crc1 & 0xFF);
    const std::uint16_t crc2 = crc16(frame + fiveEighths, size - fiveEighths - 2);
    frame[size - 2] = static_cast<std::uint8_t>(crc2 >> 8);
    frame[size - 1] = static_cast<std::uint8_t>(crc2 & 0xFF);
}

} // namespace sonmill::ac3
