#include "sonmill/ac3/ac3transform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonmill::ac3 {
namespace {

constexpr double kWindowAlpha = 5.0;
constexpr int kLongSize = kCoefficients; // DCT-IV sizes
constexpr int kShortSize = kCoefficients / 2;

double besselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-17)
            break;
    }
    return sum;
}

// A complex product without the library's infinity and NaN handling, which costs a call
// per product and is never needed here (every value is finite).
std::complex<float> times(std::complex<float> a, std::complex<float> b)
{
    return { a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real() };
}

int sizeIndex(int size)
{
    return size == kLongSize ? 0 : 1;
}

} // namespace

Transform::Transform()
{
    // Kaiser-Bessel-derived: the running sum of a Kaiser kernel, square-rooted.
    constexpr int half = kWindowLength / 2;
    std::array<double, half + 1> kernel {};
    double total = 0;
    for (int n = 0; n <= half; ++n) {
        const double r = (n - half / 2.0) / (half / 2.0);
        kernel[static_cast<std::size_t>(n)] = besselI0(std::numbers::pi * kWindowAlpha * std::sqrt(1.0 - r * r));
        total += kernel[static_cast<std::size_t>(n)];
    }
    double running = 0;
    for (int n = 0; n < half; ++n) {
        running += kernel[static_cast<std::size_t>(n)];
        const auto value = static_cast<float>(std::sqrt(running / total));
        m_window[static_cast<std::size_t>(n)] = value;
        m_window[static_cast<std::size_t>(kWindowLength - 1 - n)] = value;
    }

    constexpr int largestFft = kLongSize / 2;
    for (int k = 0; k < largestFft / 2; ++k)
        m_roots.push_back(std::polar(1.0f, static_cast<float>(-2.0 * std::numbers::pi * k / largestFft)));
    for (int size : { kLongSize, kShortSize }) {
        auto &twiddles = m_twiddles[static_cast<std::size_t>(sizeIndex(size))];
        for (int n = 0; n < size / 2; ++n)
            twiddles.push_back(std::polar(1.0f, static_cast<float>(-std::numbers::pi * (n + 0.125) / size)));
        auto &reverse = m_bitReverse[static_cast<std::size_t>(sizeIndex(size))];
        const int points = size / 2;
        int bits = 0;
        while ((1 << bits) < points)
            ++bits;
        for (int i = 0; i < points; ++i) {
            int r = 0;
            for (int b = 0; b < bits; ++b)
                r |= ((i >> b) & 1) << (bits - 1 - b);
            reverse.push_back(r);
        }
    }
}

void Transform::fft(std::complex<float> *data, int size) const
{
    const auto &reverse = m_bitReverse[static_cast<std::size_t>(sizeIndex(size * 2))];
    for (int i = 0; i < size; ++i)
        if (i < reverse[static_cast<std::size_t>(i)])
            std::swap(data[i], data[reverse[static_cast<std::size_t>(i)]]);
    const int largestFft = kLongSize / 2;
    for (int length = 2; length <= size; length <<= 1) {
        const int step = largestFft / length;
        const int halfLength = length / 2;
        for (int start = 0; start < size; start += length)
            for (int k = 0; k < halfLength; ++k) {
                const std::complex<float> t
                    = times(data[start + k + halfLength], m_roots[static_cast<std::size_t>(k * step)]);
                data[start + k + halfLength] = data[start + k] - t;
                data[start + k] += t;
            }
    }
}

// A DCT-IV of size M through a complex FFT of M / 2 points: even inputs pair with the
// reversed odd ones, and the twiddles before and after split the phase.
void Transform::dct4(const float *input, int size, float scale, float *output)
{
    const auto &twiddles = m_twiddles[static_cast<std::size_t>(sizeIndex(size))];
    const int points = size / 2;
    for (int n = 0; n < points; ++n)
        m_work[static_cast<std::size_t>(n)]
            = times(std::complex<float>(input[2 * n], input[size - 1 - 2 * n]), twiddles[static_cast<std::size_t>(n)]);
    fft(m_work.data(), points);
    for (int k = 0; k < points; ++k) {
        const std::complex<float> c = times(m_work[static_cast<std::size_t>(k)], twiddles[static_cast<std::size_t>(k)]);
        output[2 * k] = scale * c.real();
        output[size - 1 - 2 * k] = -scale * c.imag();
    }
}

void Transform::longBlock(const float *samples, float *coefficients)
{
    for (int n = 0; n < kWindowLength; ++n)
        m_windowed[static_cast<std::size_t>(n)] = samples[n] * m_window[static_cast<std::size_t>(n)];
    // Time-domain aliasing folds the 512 windowed samples to 256.
    const float *x = m_windowed.data();
    constexpr int m = kLongSize;
    for (int i = 0; i < m / 2; ++i)
        m_folded[static_cast<std::size_t>(i)] = -x[3 * m / 2 - 1 - i] - x[3 * m / 2 + i];
    for (int i = m / 2; i < m; ++i)
        m_folded[static_cast<std::size_t>(i)] = x[i - m / 2] - x[3 * m / 2 - 1 - i];
    dct4(m_folded.data(), m, -2.0f / kWindowLength, coefficients);
}

void Transform::shortBlocks(const float *samples, float *coefficients)
{
    for (int n = 0; n < kWindowLength; ++n)
        m_windowed[static_cast<std::size_t>(n)] = samples[n] * m_window[static_cast<std::size_t>(n)];
    const float *first = m_windowed.data();
    const float *second = first + kWindowLength / 2;
    constexpr int m = kShortSize;
    std::array<float, kShortSize> folded {};
    std::array<float, kShortSize> out {};
    const float scale = -2.0f / (kWindowLength / 2);
    for (int i = 0; i < m; ++i)
        folded[static_cast<std::size_t>(i)] = first[i] - first[2 * m - 1 - i];
    dct4(folded.data(), m, scale, out.data());
    for (int k = 0; k < m; ++k)
        coefficients[2 * k] = out[static_cast<std::size_t>(k)];
    for (int i = 0; i < m; ++i)
        folded[static_cast<std::size_t>(i)] = -second[m - 1 - i] - second[m + i];
    dct4(folded.data(), m, scale, out.data());
    for (int k = 0; k < m; ++k)
        coefficients[2 * k + 1] = out[static_cast<std::size_t>(k)];
}

bool TransientDetector::isTransient(const float *samples)
{
    // The second difference is the high-pass: it passes 8 kHz at 48 kHz unchanged and
    // takes 24 dB off 2 kHz, as a second-order filter there would, and needs no feedback.
    std::array<float, kBlockSamples + 2> x;
    x[0] = m_history[0];
    x[1] = m_history[1];
    std::copy(samples, samples + kBlockSamples, x.begin() + 2);
    m_history = { x[kBlockSamples], x[kBlockSamples + 1] };
    // Peaks of the four shortest segments; the longer segments' peaks follow from them.
    std::array<float, 4> quarters {};
    for (int q = 0; q < 4; ++q) {
        float peak = 0;
        for (int n = q * kBlockSamples / 4; n < (q + 1) * kBlockSamples / 4; ++n)
            peak = std::max(peak,
                std::fabs(x[static_cast<std::size_t>(n + 2)] - 2 * x[static_cast<std::size_t>(n + 1)]
                    + x[static_cast<std::size_t>(n)]));
        quarters[static_cast<std::size_t>(q)] = peak;
    }
    const std::array<std::array<float, 4>, 3> peaks = { {
        { std::max(std::max(quarters[0], quarters[1]), std::max(quarters[2], quarters[3])) },
        { std::max(quarters[0], quarters[1]), std::max(quarters[2], quarters[3]) },
        quarters,
    } };

    constexpr std::array<float, 3> threshold = { 0.1f, 0.075f, 0.05f };
    constexpr float silence = 100.0f / 32768.0f;
    const bool loud = peaks[0][0] >= silence;
    bool transient = false;
    for (std::size_t level = 0; level < 3; ++level) {
        const std::size_t segments = std::size_t(1) << level;
        float previous = m_lastPeak[level];
        for (std::size_t s = 0; s < segments; ++s) {
            if (loud && peaks[level][s] * threshold[level] > previous)
                transient = true;
            previous = peaks[level][s];
        }
        m_lastPeak[level] = previous;
    }
    return transient;
}

} // namespace sonmill::ac3
