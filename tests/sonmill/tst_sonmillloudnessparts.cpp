// sonmill's loudness parts without running it: the true-peak detector, the meter at the
// points BS.1770 defines, and the limiter's promises (same length, ceiling kept, quiet
// audio untouched).

#include "sonmill/loudness/limiter.h"
#include "sonmill/loudness/loudness.h"
#include "sonmill/loudness/truepeak.h"

#include <QTest>

#include <cmath>
#include <vector>

using namespace sonmill;

namespace {

std::vector<float> sine(int rate, int channels, double seconds, double frequency, double amplitude, double phase = 0)
{
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)]
                = static_cast<float>(amplitude * std::sin(2 * M_PI * frequency * double(f) / rate + phase));
    return samples;
}

// Runs samples through the limiter in blocks of blockFrames, flush included.
std::vector<float> limit(TruePeakLimiter &limiter, const std::vector<float> &in, int channels, std::size_t blockFrames)
{
    std::vector<float> out;
    const std::size_t frames = in.size() / static_cast<std::size_t>(channels);
    for (std::size_t done = 0; done < frames; done += blockFrames) {
        const std::size_t n = std::min(blockFrames, frames - done);
        const auto part = limiter.process(in.data() + done * static_cast<std::size_t>(channels), n);
        out.insert(out.end(), part.begin(), part.end());
    }
    const auto tail = limiter.flush();
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

} // namespace

class TestSonmillLoudnessParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A quarter-rate sine sampled 45 degrees off its crests: the samples reach 0.71 of its
    // height, the values between them the whole of it.
    void truePeak_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("expected");
        QTest::newRow("44.1 kHz, 4x") << 44100 << 0.5;
        QTest::newRow("48 kHz, 4x") << 48000 << 0.5;
        QTest::newRow("96 kHz, 2x") << 96000 << 0.5;
        QTest::newRow("192 kHz, samples") << 192000 << 0.5 * std::sqrt(0.5);
    }
    void truePeak()
    {
        QFETCH(int, rate);
        QFETCH(double, expected);
        const std::vector<float> samples = sine(rate, 2, 0.5, rate / 4.0, 0.5, M_PI / 4);
        TruePeakDetector detector(2, rate);
        // In uneven blocks: the filter's history carries across them.
        std::size_t done = 0;
        for (std::size_t block : { 7u, 1000u, 3333u, 100000u }) {
            const std::size_t n = std::min(block, samples.size() / 2 - done);
            detector.process(samples.data() + done * 2, n);
            done += n;
        }
        QVERIFY2(std::fabs(detector.peak() - expected) < 0.01, qPrintable(QString::number(detector.peak())));
    }

    // Every frame's value is the same however the audio is cut into blocks: one frame at a
    // time (no run for the vector loops), lengths that leave a remainder after the vector
    // width, the detector's own pass length and more than it. A loop that ran past a block's
    // end or lost the filter's history at a seam would show here.
    void framePeaksIndependentOfBlocks_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::newRow("mono 44.1 kHz, 4x") << 1 << 44100;
        QTest::newRow("stereo 48 kHz, 4x") << 2 << 48000;
        QTest::newRow("5.1 96 kHz, 2x") << 6 << 96000;
        QTest::newRow("stereo 192 kHz, samples") << 2 << 192000;
    }
    void framePeaksIndependentOfBlocks()
    {
        QFETCH(int, channels);
        QFETCH(int, rate);
        const auto width = static_cast<std::size_t>(channels);
        // Two tones and a step: values between the samples that differ from the samples.
        std::vector<float> samples = sine(rate, channels, 0.06, rate / 4.3, 0.4, 0.3);
        const std::vector<float> second = sine(rate, channels, 0.06, rate / 9.1, 0.3);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] += second[i] + (i / width % 700 < 3 ? 0.25f : 0.0f);
        const std::size_t frames = samples.size() / width;

        // The meter's way (measure: blocks too quiet to raise the peak passed over) must find
        // the same peak as every frame's value does.
        const auto run = [&](std::size_t block) {
            TruePeakDetector detector(channels, rate);
            TruePeakDetector meter(channels, rate);
            std::vector<float> peaks(frames);
            for (std::size_t done = 0; done < frames; done += block) {
                const std::size_t n = std::min(block, frames - done);
                detector.process(samples.data() + done * width, n, peaks.data() + done);
                meter.measure(samples.data() + done * width, n);
            }
            return std::tuple { peaks, detector.peak(), meter.peak() };
        };
        const auto [whole, wholePeak, wholeMeasured] = run(frames);
        QVERIFY(wholePeak > 0.5f);
        QCOMPARE(wholeMeasured, wholePeak);
        for (std::size_t block : { 1u, 3u, 5u, 7u, 1023u, 1024u, 1025u, 2051u }) {
            const auto [cut, cutPeak, cutMeasured] = run(block);
            QCOMPARE(cutPeak, wholePeak);
            QCOMPARE(cutMeasured, wholePeak);
            for (std::size_t f = 0; f < frames; ++f)
                QVERIFY2(cut[f] == whole[f],
                    qPrintable(QStringLiteral("block %1, frame %2: %3 against %4")
                                   .arg(block)
                                   .arg(f)
                                   .arg(cut[f])
                                   .arg(whole[f])));
        }
    }

    // BS.1770's reference: a 997 Hz sine at full scale in both channels reads 0 LUFS, so
    // one at amplitude A reads 20 log10 A.
    void meterReference_data()
    {
        QTest::addColumn<double>("amplitude");
        QTest::newRow("-20 dBFS") << 0.1;
        QTest::newRow("-6 dBFS") << 0.5;
    }
    void meterReference()
    {
        QFETCH(double, amplitude);
        LoudnessMeter meter(2, 48000);
        QVERIFY(meter.valid());
        const std::vector<float> samples = sine(48000, 2, 5, 997, amplitude);
        meter.add(samples.data(), samples.size() / 2);
        const Loudness measured = meter.result();
        QVERIFY(measured.integratedLufs);
        QVERIFY2(std::fabs(*measured.integratedLufs - 20 * std::log10(amplitude)) < 0.1,
            qPrintable(QString::number(*measured.integratedLufs)));
        QVERIFY(std::fabs(measured.truePeak - amplitude) < 0.01);

        // Two such meters end to end read the same.
        LoudnessMeter second(2, 48000);
        second.add(samples.data(), samples.size() / 2);
        const LoudnessMeter *both[] = { &meter, &second };
        const Loudness album = LoudnessMeter::combined(both);
        QVERIFY(album.integratedLufs && std::fabs(*album.integratedLufs - *measured.integratedLufs) < 0.05);
    }

    void noLoudness_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("amplitude");
        QTest::newRow("silence") << 3.0 << 0.0;
        QTest::newRow("shorter than a gating block") << 0.3 << 0.5;
        QTest::newRow("below the absolute gate") << 3.0 << 0.0002;
    }
    void noLoudness()
    {
        QFETCH(double, seconds);
        QFETCH(double, amplitude);
        LoudnessMeter meter(2, 44100);
        const std::vector<float> samples = sine(44100, 2, seconds, 440, amplitude);
        meter.add(samples.data(), samples.size() / 2);
        QVERIFY(!meter.result().integratedLufs);
    }

    // However the blocks fall, exactly as many frames come out as went in; audio that
    // needs no limiting comes out as it went in, held back by the look-ahead.
    void limiterKeepsLengthAndQuietAudio_data()
    {
        QTest::addColumn<int>("blockFrames");
        QTest::newRow("one frame at a time") << 1;
        QTest::newRow("small blocks") << 97;
        QTest::newRow("large blocks") << 8192;
    }
    void limiterKeepsLengthAndQuietAudio()
    {
        QFETCH(int, blockFrames);
        const std::vector<float> in = sine(44100, 2, 1.0, 440, 0.25);
        TruePeakLimiter limiter(2, 44100, 1.0, std::pow(10.0, -1.0 / 20));
        const std::vector<float> out = limit(limiter, in, 2, static_cast<std::size_t>(blockFrames));
        QCOMPARE(out.size(), in.size());
        QCOMPARE(out, in);
        QCOMPARE(limiter.deepestReduction(), 1.0);
    }

    // Peaks the gain would lift far past the ceiling: the output's true peak stays at the
    // ceiling (by a detector of its own), and the quiet passages between them keep the
    // gain.
    void limiterKeepsTheCeiling()
    {
        constexpr int kRate = 48000;
        const double ceiling = std::pow(10.0, -1.0 / 20);
        std::vector<float> in = sine(kRate, 2, 2.5, 1000, 0.05);
        for (std::size_t hit = 0; hit < in.size() / 2; hit += kRate)
            for (std::size_t i = 0; i < 200 && hit + i < in.size() / 2; ++i)
                for (std::size_t c = 0; c < 2; ++c)
                    in[(hit + i) * 2 + c]
                        = static_cast<float>(0.5 * std::sin(2 * M_PI * 12000 * double(i) / kRate + 0.7));
        TruePeakLimiter limiter(2, kRate, 4.0, ceiling);
        const std::vector<float> out = limit(limiter, in, 2, 4096);
        QCOMPARE(out.size(), in.size());
        TruePeakDetector judge(2, kRate);
        judge.process(out.data(), out.size() / 2);
        QVERIFY2(judge.peak() <= ceiling * 1.01, qPrintable(QString::number(judge.peak())));
        QVERIFY(limiter.deepestReduction() < 0.5);
        // Between the hits, once the gain has come back, the tone is four times as loud.
        const std::size_t between = kRate + kRate * 9 / 10;
        float level = 0;
        for (std::size_t i = between; i < between + 480; ++i)
            level = std::max(level, std::fabs(out[i * 2]));
        QVERIFY2(level > 0.19f && level < 0.21f, qPrintable(QString::number(level)));
    }
};

QTEST_GUILESS_MAIN(TestSonmillLoudnessParts)
#include "tst_sonmillloudnessparts.moc"
