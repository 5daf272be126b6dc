#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace sonmill::ac3 {

// Writes fields most significant bit first into a frame's bytes; without them it only
// counts, so the side information is measured by the same code that writes it. Bits past
// the end are dropped (the frame was planned to fit; this only keeps memory safe).
class BitWriter
{
public:
    BitWriter() = default;
    BitWriter(std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    { }

    void put(std::uint32_t value, int bits)
    {
        m_bits += static_cast<std::size_t>(bits);
        if (!m_data)
            return;
        m_accumulator = (m_accumulator << bits) | (value & ((1u << bits) - 1u));
        m_pending += bits;
        while (m_pending >= 8) {
            m_pending -= 8;
            if (m_written < m_size)
                m_data[m_written++] = static_cast<std::uint8_t>(m_accumulator >> m_pending);
        }
    }
    // Pads with zero bits up to a bit position.
    void padTo(std::size_t bits)
    {
        while (m_bits < bits)
            put(0, static_cast<int>(std::min<std::size_t>(bits - m_bits, 16)));
    }
    std::size_t bits() const { return m_bits; }

private:
    std::uint8_t *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_written = 0;
    std::uint64_t m_accumulator = 0;
    int m_pending = 0;
    std::size_t m_bits = 0;
};

// CRC-16 with x^16 + x^15 + x^2 + 1, most significant bit first, starting from zero.
std::uint16_t crc16(const std::uint8_t *data, std::size_t length, std::uint16_t crc = 0);

// Fills in both check words of a finished frame: crc1 (bytes 2-3) so that the first 5/8
// of the frame after the sync word checks to zero, crc2 (the last two bytes) so that the
// rest does.
void setFrameChecks(std::uint8_t *frame, std::size_t words);

} // namespace sonmill::ac3
