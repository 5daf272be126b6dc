#pragma once

#include "sonmill/ac3/ac3tables.h"

#include <array>
#include <complex>
#include <vector>

namespace sonmill::ac3 {

// The forward transforms whose inverses an AC-3 decoder computes: the 512-point MDCT, or
// two 256-point transforms for a block with a transient, both under the
// Kaiser-Bessel-derived window (alpha 5). Each turns 512 samples (the previous block's
// 256 and the current 256) into 256 coefficients scaled so that the decoder gives the
// samples back at their level.
class Transform
{
public:
    Transform();

    void longBlock(const float *samples, float *coefficients);
    // The two short transforms' coefficients interleave, as the decoder reads them.
    void shortBlocks(const float *samples, float *coefficients);

private:
    // X[k] = scale * sum u[n] cos(pi / M (n + 1/2)(k + 1/2)), M = 256 or 128.
    void dct4(const float *input, int size, float scale, float *output);
    void fft(std::complex<float> *data, int size) const;

    std::array<float, kWindowLength> m_window;
    std::vector<std::complex<float>> m_roots; // e^(-2 pi i k / 128), k < 64
    std::array<std::vector<std::complex<float>>, 2> m_twiddles; // per size: e^(-i pi (n + 1/8) / M)
    std::array<std::vector<int>, 2> m_bitReverse;
    std::array<float, kWindowLength> m_windowed;
    std::array<float, kCoefficients> m_folded;
    std::array<std::complex<float>, kCoefficients / 2> m_work;
};

// Decides, from the new 256 samples of a full-band channel, whether the block holds a
// transient that calls for the short transforms: the samples are high-passed and the peaks
// of ever shorter segments are compared with the segment before.
class TransientDetector
{
public:
    bool isTransient(const float *samples);

private:
    std::array<float, 2> m_history {}; // the previous block's last two samples
    std::array<float, 3> m_lastPeak {}; // the previous block's last segment, per level
};

} // namespace sonmill::ac3
