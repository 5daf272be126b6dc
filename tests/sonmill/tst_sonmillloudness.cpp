// sonmill's loudness work judged by a meter that is not ours (ebur128 of ebumeter): the
// measured line, ReplayGain tags in every format that holds them, the album's values, and
// normalising with the true-peak limiter.

#include "loudnesscheck.h"
#include "sonmillrun.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;
using LoudnessCheck::Programme;

namespace {

// What a run printed on its "Loudness:" line (the first one with that label).
struct LoudnessLine
{
    bool found = false;
    QString integrated; // "none" or the number
    double truePeakDb = 0;
};
LoudnessLine loudnessLine(const QString &output, const QString &label = u"Loudness"_s)
{
    const QRegularExpression pattern(
        u"^"_s + label + u": integrated (none|-?[0-9]+\\.[0-9]+)(?: LUFS)?, range [^,]+, true peak (none|-?[0-9.]+)"_s,
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(output);
    LoudnessLine line;
    line.found = match.hasMatch();
    line.integrated = match.captured(1);
    line.truePeakDb = match.captured(2).toDouble();
    return line;
}

QStringList codecFor(const QString &extension)
{
    if (extension == u"mp3")
        return { u"-acodec"_s, u"libmp3lame"_s, u"-ab"_s, u"192k"_s };
    if (extension == u"ogg")
        return { u"-acodec"_s, u"vorbis"_s };
    if (extension == u"m4a")
        return { u"-acodec"_s, u"aac"_s, u"-ab"_s, u"192k"_s };
    if (extension == u"flac")
        return { u"-acodec"_s, u"flac"_s };
    return { u"-acodec"_s, u"pcm16le"_s };
}

} // namespace

class TestSonmillLoudness : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_dense; // -20 LUFS
    QString m_loud; // -14 LUFS, dense
    QString m_quiet; // -35 LUFS, punchy

    QString path(const QString &name) const { return m_dir.filePath(name); }

    Result convert(const QString &input, const QString &output, const QStringList &extra)
    {
        QStringList arguments { u"qzv"_s, u"-y"_s, u"-i"_s, input };
        arguments << codecFor(QFileInfo(output).suffix()) << extra << output;
        return run(arguments, 180000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_dense = path(u"dense.wav"_s);
        m_loud = path(u"loud.wav"_s);
        m_quiet = path(u"quiet.wav"_s);
        QVERIFY(LoudnessCheck::writeProgramme(m_dense, Programme::Dense, 12, -20));
        QVERIFY(LoudnessCheck::writeProgramme(m_loud, Programme::Dense, 12, -14));
        QVERIFY(LoudnessCheck::writeProgramme(m_quiet, Programme::Punchy, 12, -35));
        // The sources are what the cases say they are, by the outside meter.
        QVERIFY(std::fabs(LoudnessCheck::measure(m_loud).integratedLufs + 14) < 0.2);
        QVERIFY(std::fabs(LoudnessCheck::measure(m_quiet).integratedLufs + 35) < 0.2);
    }

    // The window's own command (no loudness option) gets the measured line; its numbers
    // agree with the outside meter, and it holds no word the window acts on.
    void plainConversionLogsLoudness()
    {
        const QString out = path(u"plain.wav"_s);
        const Result result
            = run(conversionArguments(m_dense, out, { u"-vol"_s, u"100"_s, u"-acodec"_s, u"pcm16le"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const LoudnessLine line = loudnessLine(result.output);
        QVERIFY2(line.found, qPrintable(result.output));
        const LoudnessCheck::Reading source = LoudnessCheck::measure(m_dense);
        QVERIFY(source.ok);
        QVERIFY2(std::fabs(line.integrated.toDouble() - source.integratedLufs) < 0.3, qPrintable(result.output));
        QVERIFY2(std::fabs(line.truePeakDb - source.truePeakDb) < 0.3, qPrintable(result.output + source.text));
        const QString text = result.output.section(u"Loudness:"_s, 1).section(u'\n', 0, 0);
        for (const QString &word : failureWords() + QStringList { u"bitrate"_s, u"global"_s, u"time="_s })
            QVERIFY2(!text.contains(word), qPrintable(text));
        QVERIFY(!result.output.contains(u"ReplayGain"_s)); // nothing asked, nothing tagged
        QVERIFY(LoudnessCheck::replayGainTags(out).isEmpty());

        // A probe reads a millisecond: no measurement to speak of, no line.
        const Result probe = run({ u"qzv"_s, u"-y"_s, u"-i"_s, m_dense, u"-t"_s, u"0.001"_s, path(u"probe.wav"_s) });
        QCOMPARE(probe.exitCode, 0);
        QVERIFY(!probe.output.contains(u"Loudness"_s));
    }

    void trackTags_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::newRow("flac, Vorbis comments") << u"flac"_s;
        QTest::newRow("ogg, Vorbis comments") << u"ogg"_s;
        QTest::newRow("mp3, ID3 TXXX") << u"mp3"_s;
        QTest::newRow("m4a, freeform atoms") << u"m4a"_s;
        QTest::newRow("wav, ID3 chunk") << u"wav"_s;
    }
    void trackTags()
    {
        QFETCH(QString, extension);
        const QString out = path(u"track."_s + extension);
        const Result result = convert(m_dense, out, { u"-replaygain"_s, u"track"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const LoudnessCheck::Reading source = LoudnessCheck::measure(m_dense);
        QVERIFY2(source.ok, qPrintable(source.text));
        const QMap<QString, QString> tags = LoudnessCheck::replayGainTags(out);
        QVERIFY2(tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s), qPrintable(QStringList(tags.keys()).join(u',')));
        const double gain = LoudnessCheck::gainOf(tags.value(u"REPLAYGAIN_TRACK_GAIN"_s));
        QVERIFY2(std::fabs(gain - (-18 - source.integratedLufs)) <= 0.3,
            qPrintable(u"gain %1, source %2 LUFS"_s.arg(gain).arg(source.integratedLufs)));
        const double peakDb = 20 * std::log10(tags.value(u"REPLAYGAIN_TRACK_PEAK"_s).toDouble());
        QVERIFY2(std::fabs(peakDb - source.truePeakDb) <= 0.3,
            qPrintable(u"peak %1 dB, source %2 dBTP"_s.arg(peakDb).arg(source.truePeakDb)));
        QVERIFY(!tags.contains(u"REPLAYGAIN_ALBUM_GAIN"_s)); // nobody told it the album's
    }

    // The album's values: every file measured, then all end to end, as the outside meter
    // measures the files joined; told to a conversion, they are written as they are.
    void albumValues()
    {
        const QString joined = path(u"joined.wav"_s);
        QProcess sox;
        sox.start(u"sox"_s, { m_dense, m_quiet, joined });
        QVERIFY(sox.waitForFinished(60000) && sox.exitCode() == 0);
        const LoudnessCheck::Reading whole = LoudnessCheck::measure(joined);
        QVERIFY(whole.ok);

        const Result measured = run({ u"qzv"_s, u"-measure"_s, u"-i"_s, m_dense, u"-i"_s, m_quiet });
        QVERIFY2(measured.exitCode == 0, qPrintable(measured.output));
        QVERIFY(measured.output.contains(u"global"_s));
        QCOMPARE(measured.output.count(u"\nLoudness: "_s) + (measured.output.startsWith(u"Loudness: "_s) ? 1 : 0), 2);
        const LoudnessLine album = loudnessLine(measured.output, u"Album loudness"_s);
        QVERIFY2(album.found, qPrintable(measured.output));
        const double albumGain = -18 - album.integrated.toDouble();
        QVERIFY2(std::fabs(albumGain - (-18 - whole.integratedLufs)) <= 0.5, qPrintable(measured.output + whole.text));
        QVERIFY(std::fabs(album.truePeakDb - whole.truePeakDb) <= 0.3);

        const QString out = path(u"album.flac"_s);
        const Result converted = convert(m_quiet, out,
            { u"-replaygain"_s, u"track"_s, u"-albumgain"_s, u"-3.21"_s, u"-albumpeak"_s, u"0.912345"_s });
        QVERIFY2(converted.exitCode == 0, qPrintable(converted.output));
        const QMap<QString, QString> tags = LoudnessCheck::replayGainTags(out);
        QCOMPARE(tags.value(u"REPLAYGAIN_ALBUM_GAIN"_s), u"-3.21 dB"_s);
        QCOMPARE(tags.value(u"REPLAYGAIN_ALBUM_PEAK"_s), u"0.912345"_s);
        QVERIFY(tags.contains(u"REPLAYGAIN_TRACK_GAIN"_s));
    }

    void normalize_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::newRow("loud to flac") << u"loud"_s << u"flac"_s;
        QTest::newRow("loud to mp3") << u"loud"_s << u"mp3"_s;
        QTest::newRow("quiet to flac") << u"quiet"_s << u"flac"_s;
        QTest::newRow("quiet to mp3") << u"quiet"_s << u"mp3"_s;
    }
    void normalize()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        const QString input = source == u"loud" ? m_loud : m_quiet;
        if (source == u"quiet") {
            // Its peaks stand so far above its loudness that the gain alone would lift them
            // past -1 dBTP: the limiter has work to do.
            const LoudnessCheck::Reading before = LoudnessCheck::measure(input);
            QVERIFY2(before.truePeakDb + (-16 - before.integratedLufs) > 0, qPrintable(before.text));
        }
        const QString out = path(u"normalized-%1.%2"_s.arg(source, extension));
        const Result result = convert(input, out, { u"-normalize"_s, u"-16"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"Normalize: gain "_s));
        const LoudnessCheck::Reading reading = LoudnessCheck::measure(out);
        QVERIFY2(reading.ok, qPrintable(reading.text));
        QVERIFY2(std::fabs(reading.integratedLufs + 16) <= 0.5, qPrintable(reading.text + result.output));
        QVERIFY2(reading.truePeakDb <= -1.0, qPrintable(reading.text + result.output));
        // The same length came out: the limiter's look-ahead delays, it does not cut.
        QVERIFY(std::fabs(inspect(out).seconds - inspect(input).seconds) < 0.06);
    }

    void volumeSetAsideWhileNormalizing()
    {
        const QString out = path(u"volume.flac"_s);
        const Result result = convert(m_loud, out, { u"-vol"_s, u"300"_s, u"-normalize"_s, u"-23"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"Note: the volume percentage is ignored while normalizing"_s));
        const LoudnessCheck::Reading reading = LoudnessCheck::measure(out);
        QVERIFY(std::fabs(reading.integratedLufs + 23) <= 0.5);
    }

    // Silence and audio shorter than one gating block: no gain, no error.
    void silenceAndShortInputs_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("amplitude");
        QTest::newRow("silence") << 3.0 << 0.0;
        QTest::newRow("shorter than a gating block") << 0.2 << 0.5;
    }
    void silenceAndShortInputs()
    {
        QFETCH(double, seconds);
        QFETCH(double, amplitude);
        const QString input = path(u"short.wav"_s);
        QVERIFY(writeWav(input, 44100, 2, qint64(seconds * 44100),
            [&](qint64 f, int) { return amplitude * std::sin(2 * M_PI * 1000 * double(f) / 44100); }));
        const QString out = path(u"short.flac"_s);
        const Result result = convert(input, out, { u"-replaygain"_s, u"track"_s, u"-normalize"_s, u"-16"_s });
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QVERIFY(result.output.contains(u"global"_s));
        for (const QString &word : failureWords())
            QVERIFY2(!result.output.contains(word), qPrintable(result.output));
        QCOMPARE(loudnessLine(result.output).integrated, u"none"_s);
        QVERIFY(result.output.contains(u"Normalize: gain +0.00 dB"_s));
        QVERIFY(!LoudnessCheck::replayGainTags(out).contains(u"REPLAYGAIN_TRACK_GAIN"_s));
        QVERIFY(std::fabs(inspect(out).seconds - seconds) < 0.02);
    }

    void refusedValues_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("replaygain album") << QStringList { u"-replaygain"_s, u"album"_s };
        QTest::newRow("target above full scale") << QStringList { u"-normalize"_s, u"3"_s };
        QTest::newRow("target not a number") << QStringList { u"-normalize"_s, u"loud"_s };
        QTest::newRow("album gain alone") << QStringList { u"-albumgain"_s, u"-2"_s };
        QTest::newRow("album peak alone") << QStringList { u"-albumpeak"_s, u"0.5"_s };
    }
    void refusedValues()
    {
        QFETCH(QStringList, options);
        const QString out = path(u"refused.flac"_s);
        const Result result = convert(m_dense, out, options);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.output.startsWith(u"Error: Incorrect"_s) || result.output.startsWith(u"Error: Unknown"_s),
            qPrintable(result.output));
        QVERIFY(!QFileInfo::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestSonmillLoudness)
#include "tst_sonmillloudness.moc"
