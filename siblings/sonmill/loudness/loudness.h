#pragma once

#include "sonmill/loudness/truepeak.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace sonmill {

// What a measurement found. No integrated loudness for silence or for audio shorter than
// one 400 ms gating block: such audio gets no gain.
struct Loudness
{
    std::optional<double> integratedLufs;
    std::optional<double> rangeLu;
    double truePeak = 0; // linear, 1.0 is full scale
};

// ReplayGain 2.0 measures against -18 LUFS.
inline constexpr double kReplayGainReference = -18.0;

// Integrated loudness and loudness range as BS.1770-4 / EBU R128 define them (by
// libebur128, in its histogram mode so memory stays flat however long the input), and
// the true peak (by our own detector). Frames are interleaved in WAV channel order.
class LoudnessMeter
{
public:
    LoudnessMeter(int channels, int rate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter &) = delete;
    LoudnessMeter &operator=(const LoudnessMeter &) = delete;

    // False when the library could not set up for this layout.
    bool valid() const { return m_state != nullptr; }

    void add(const float *frames, std::size_t count);
    // 16-bit samples widened to 32 bits (a FLAC output's integer road).
    void addSixteenBit(const std::int32_t *frames, std::size_t count);

    Loudness result() const;

    // Several measurements as one (an album, end to end).
    static Loudness combined(std::span<const LoudnessMeter *const> meters);

private:
    struct State; // the library's state (its type cannot be declared ahead)
    std::unique_ptr<State> m_state;
    TruePeakDetector m_peak;
    int m_channels;
    std::vector<float> m_widened;
};

// dB of a linear amplitude (-inf for 0).
double decibels(double linear);

} // namespace sonmill
