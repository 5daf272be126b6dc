#include "sonmill/loudness/truepeak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace sonmill {
namespace {

constexpr int kFactor = 4;
constexpr int kTapsPerPhase = static_cast<int>(TruePeakDetector::kReach);
constexpr std::size_t kBlock = 1024; // frames per pass, so the line stays in the cache

// The interpolation filter: a sinc cut at the input's Nyquist frequency, Kaiser-windowed,
// 161 taps long with its centre on a sample, so phase 0 is the sample itself and phases
// 1 to 3 lie between the samples; taps[p][m] weighs the sample m frames back. Its length
// and window are set by what lies near the Nyquist frequency, where the values between
// the samples stand furthest above them: BS.1770's 49 taps pass only up to about a third
// of the sample rate, and read white noise more than a decibel low behind a limiter.
using PhaseTaps = std::array<std::array<float, kTapsPerPhase>, kFactor>;
PhaseTaps makeTaps()
{
    constexpr int kLength = kFactor * kTapsPerPhase + 1;
    constexpr double kCentre = (kLength - 1) / 2.0;
    constexpr double kBeta = 6.0; // a narrow transition; stop band still 60 dB down
    const auto bessel0 = [](double x) {
        double sum = 1, term = 1;
        for (int k = 1; k < 30; ++k) {
            term *= (x / (2 * k)) * (x / (2 * k));
            sum += term;
        }
        return sum;
    };
    PhaseTaps taps {};
    for (int p = 1; p < kFactor; ++p) {
        for (int m = 0; m < kTapsPerPhase; ++m) {
            const double k = p + kFactor * m;
            const double t = (k - kCentre) / kFactor;
            const double sinc = std::sin(M_PI * t) / (M_PI * t);
            const double r = (k - kCentre) / kCentre;
            const double window = bessel0(kBeta * std::sqrt(std::max(0.0, 1 - r * r))) / bessel0(kBeta);
            taps[static_cast<std::size_t>(p)][static_cast<std::size_t>(m)] = static_cast<float>(sinc * window);
        }
    }
    return taps;
}

const PhaseTaps &taps()
{
    static const PhaseTaps kTaps = makeTaps();
    return kTaps;
}

// The most any value between the samples can stand above the largest sample it is made of:
// the largest sum of one phase's taps taken whole, with a margin for the float sums' rounding.
float filterGain()
{
    static const float kGain = [] {
        double gain = 1;
        for (const auto &phase : taps()) {
            double sum = 0;
            for (const float tap : phase)
                sum += std::fabs(tap);
            gain = std::max(gain, sum);
        }
        return static_cast<float>(gain * 1.001);
    }();
    return kGain;
}

} // namespace

TruePeakDetector::TruePeakDetector(int channels, int rate)
    : m_channels(channels)
    , m_phaseStep(rate < 96000 ? 1 : (rate < 192000 ? 2 : 0))
    , m_history(static_cast<std::size_t>(channels) * (kReach - 1), 0.0f)
{ }

namespace {

// One phase's value between the samples for each frame, kept where it stands above the peak so
// far. Eight frames side by side, their sums in registers (two SSE registers, or one where the
// processor has AVX2, chosen when the program starts); each frame's taps add in the same order
// as one by one, so the values are the same on every processor.
__attribute__((target_clones("avx2", "default"))) void phasePeaks(
    const float *line, const std::array<float, kTapsPerPhase> &phase, std::size_t n, float *peaks)
{
    constexpr std::size_t kLanes = 8;
    const auto h = phase;
    std::size_t i = 0;
    using Lanes = float __attribute__((vector_size(kLanes * sizeof(float))));
    for (; i + kLanes <= n; i += kLanes) {
        Lanes sum = {};
        for (std::size_t m = 0; m < kTapsPerPhase; ++m) {
            Lanes back;
            std::memcpy(&back, line + i - m, sizeof back);
            sum += h[m] * back;
        }
        float sums[kLanes];
        std::memcpy(sums, &sum, sizeof sums);
        for (std::size_t k = 0; k < kLanes; ++k)
            peaks[i + k] = std::max(peaks[i + k], std::fabs(sums[k]));
    }
    for (; i < n; ++i) {
        float sum = 0;
        for (std::size_t m = 0; m < kTapsPerPhase; ++m)
            sum += h[m] * line[i - m];
        peaks[i] = std::max(peaks[i], std::fabs(sum));
    }
}

} // namespace

float TruePeakDetector::process(const float *frames, std::size_t count, float *framePeaks)
{
    return run(frames, count, framePeaks, false);
}

void TruePeakDetector::measure(const float *frames, std::size_t count)
{
    run(frames, count, nullptr, true);
}

float TruePeakDetector::run(const float *frames, std::size_t count, float *framePeaks, bool onlyThePeak)
{
    const auto channels = static_cast<std::size_t>(m_channels);
    constexpr std::size_t kKept = kReach - 1;
    float blockPeak = 0;
    if (framePeaks)
        std::fill(framePeaks, framePeaks + count, 0.0f);
    for (std::size_t done = 0; done < count; done += kBlock) {
        const std::size_t n = std::min(kBlock, count - done);
        m_line.resize(kKept + n);
        m_channelPeaks.resize(n);
        for (std::size_t c = 0; c < channels; ++c) {
            float *history = m_history.data() + c * kKept;
            std::copy(history, history + kKept, m_line.begin());
            const float *in = frames + done * channels + c;
            float *line = m_line.data() + kKept;
            for (std::size_t i = 0; i < n; ++i)
                line[i] = in[i * channels];
            std::copy(m_line.end() - static_cast<std::ptrdiff_t>(kKept), m_line.end(), history);
            // Where only the peak is wanted, a block too quiet to pass it is not oversampled:
            // nothing between its samples can stand above them by more than the filter's gain.
            if (onlyThePeak && m_phaseStep > 0) {
                float loudest = 0;
                for (const float sample : m_line)
                    loudest = std::max(loudest, std::fabs(sample));
                if (loudest * filterGain() <= m_peak)
                    continue;
            }

            // Phase 0 is the sample itself; each other phase is a short sum over the line
            // (phasePeaks; this file is built at -O3 for it).
            float *peaks = m_channelPeaks.data();
            for (std::size_t i = 0; i < n; ++i)
                peaks[i] = std::fabs(line[i]);
            if (m_phaseStep > 0) {
                for (int p = m_phaseStep; p < kFactor; p += m_phaseStep)
                    phasePeaks(line, taps()[static_cast<std::size_t>(p)], n, peaks);
            }
            for (std::size_t i = 0; i < n; ++i)
                blockPeak = std::max(blockPeak, peaks[i]);
            if (onlyThePeak)
                m_peak = std::max(m_peak, blockPeak); // the next channel's test knows it
            if (framePeaks)
                for (std::size_t i = 0; i < n; ++i)
                    framePeaks[done + i] = std::max(framePeaks[done + i], peaks[i]);
        }
    }
    m_peak = std::max(m_peak, blockPeak);
    return blockPeak;
}

} // namespace sonmill
