// sonmill -verify: every output is read back before it takes its name. A good output of each
// format passes and says what was compared; one that the disk damaged between the writing and
// the check (a shim preloaded into sonmill stands in for that disk) fails the run, and nothing
// is left under the output's name.

#include "sonmillrun.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

QStringList encoderOptions(const QString &encoder, const QString &bitrate = {})
{
    QStringList options { u"-acodec"_s, encoder };
    if (!bitrate.isEmpty())
        options << u"-ab"_s << bitrate;
    return options;
}

// The environment of a run on the damaging disk.
QProcessEnvironment damaging(const QString &mode)
{
    QProcessEnvironment env = environment();
    env.insert(u"LD_PRELOAD"_s, QStringLiteral(TOLM_CHECK_SHIM));
    env.insert(u"TOLM_CHECK_SHIM"_s, mode);
    return env;
}

} // namespace

class TestSonmillCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_music; // ten seconds of stereo pink noise under a tone, 16-bit
    QString m_wide; // the same length in 24-bit
    QString m_float; // and in 32-bit float
    QString m_deep; // and in 32-bit integers, more than float holds
    QString m_mp3; // the music as MP3, for the stream copy

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Pink noise in a sample format: ten seconds at 44.1 kHz for the music, two at 48 kHz else.
        const auto noise = [this](const QString &name, const QString &format, int buffers, int rate) {
            const QString file = path(name);
            const QString caps = u"audio/x-raw,format=%1,rate=%2,channels=2"_s.arg(format).arg(rate);
            const bool made = make(u"audiotestsrc wave=pink-noise volume=0.4 num-buffers="_s + QString::number(buffers)
                    + u" samplesperbuffer=1024 ! "_s + caps + u" ! wavenc ! filesink location=%1"_s,
                file);
            return made ? file : QString();
        };
        QVERIFY(!(m_music = noise(u"music.wav"_s, u"S16LE"_s, 430, 44100)).isEmpty());
        QVERIFY(!(m_wide = noise(u"wide.wav"_s, u"S24LE"_s, 100, 48000)).isEmpty());
        QVERIFY(!(m_float = noise(u"float.wav"_s, u"F32LE"_s, 100, 48000)).isEmpty());
        QVERIFY(!(m_deep = noise(u"deep.wav"_s, u"S32LE"_s, 100, 48000)).isEmpty());
        m_mp3 = path(u"music.mp3"_s);
        QCOMPARE(run(conversionArguments(m_music, m_mp3, encoderOptions(u"libmp3lame"_s, u"128k"_s))).exitCode, 0);
    }

    // Each format's own check: lossless ones compare samples, lossy ones the decoded length.
    void goodOutputsPass_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("verified"); // what the Verified line says was compared

        const QString lossless = u"Verified: lossless, "_s;
        const QString lossy = u"Verified: decodes whole without an error, "_s;
        const QStringList copy { u"-acodec"_s, u"copy"_s };
        QTest::newRow("wav") << u"music"_s << u"wav"_s << encoderOptions(u"pcm16le"_s) << lossless;
        QTest::newRow("aiff") << u"music"_s << u"aiff"_s << encoderOptions(u"pcm16be"_s) << lossless;
        QTest::newRow("au") << u"music"_s << u"au"_s << encoderOptions(u"pcm16be"_s) << lossless;
        QTest::newRow("flac") << u"music"_s << u"flac"_s << encoderOptions(u"flac"_s) << lossless;
        QTest::newRow("flac at half volume")
            << u"music"_s << u"flac"_s << QStringList { u"-vol"_s, u"50"_s } + encoderOptions(u"flac"_s) << lossless;
        QTest::newRow("flac of 24 bits") << u"wide"_s << u"flac"_s << copy + encoderOptions(u"flac"_s) << lossless;
        QTest::newRow("wav of 24 bits") << u"wide"_s << u"wav"_s << copy + encoderOptions(u"pcm16le"_s) << lossless;
        QTest::newRow("wav of float") << u"float"_s << u"wav"_s << copy + encoderOptions(u"pcm16le"_s) << lossless;
        QTest::newRow("au of 32 bits") << u"deep"_s << u"au"_s << copy + encoderOptions(u"pcm16be"_s) << lossless;
        QTest::newRow("aiff of float") << u"float"_s << u"aiff"_s << copy + encoderOptions(u"pcm16be"_s) << lossless;
        QTest::newRow("wav resampled") << u"music"_s << u"wav"_s
                                       << QStringList { u"-ar"_s, u"32000"_s } + encoderOptions(u"pcm16le"_s)
                                       << lossless;
        QTest::newRow("mp3") << u"music"_s << u"mp3"_s << encoderOptions(u"libmp3lame"_s, u"192k"_s) << lossy;
        QTest::newRow("mp3 vbr") << u"music"_s << u"mp3"_s
                                 << encoderOptions(u"libmp3lame"_s) + QStringList { u"-qscale"_s, u"4"_s } << lossy;
        QTest::newRow("mp3 range") << u"music"_s << u"mp3"_s
                                   << QStringList { u"-ss"_s, u"1.5"_s, u"-t"_s, u"3.25"_s }
                + encoderOptions(u"libmp3lame"_s, u"128k"_s)
                                   << lossy;
        QTest::newRow("mp3 stream copy") << u"mp3"_s << u"mp3"_s << copy << lossy;
        QTest::newRow("mp3 stream copy of a range")
            << u"mp3"_s << u"mp3"_s << QStringList { u"-ss"_s, u"2"_s, u"-t"_s, u"3"_s } + copy << lossy;
        QTest::newRow("mp2") << u"music"_s << u"mp2"_s << encoderOptions(u"mp2"_s, u"192k"_s) << lossy;
        QTest::newRow("ogg") << u"music"_s << u"ogg"_s << encoderOptions(u"vorbis"_s, u"128k"_s) << lossy;
        QTest::newRow("aac") << u"music"_s << u"aac"_s << encoderOptions(u"aac"_s, u"128k"_s) << lossy;
        QTest::newRow("m4a") << u"music"_s << u"m4a"_s << encoderOptions(u"aac"_s, u"128k"_s) << lossy;
        QTest::newRow("ac3") << u"music"_s << u"ac3"_s << encoderOptions(u"ac3"_s, u"192k"_s) << lossy;
        QTest::newRow("opus, counted at 48 kHz")
            << u"music"_s << u"opus"_s << encoderOptions(u"opus"_s, u"128k"_s) << lossy;
        QTest::newRow("alac") << u"music"_s << u"m4a"_s << encoderOptions(u"alac"_s) << lossless;
        QTest::newRow("alac of 24 bits") << u"wide"_s << u"m4a"_s << copy + encoderOptions(u"alac"_s) << lossless;
    }
    void goodOutputsPass()
    {
        QFETCH(QString, input);
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QFETCH(QString, verified);
        const QMap<QString, QString> inputs { { u"music"_s, m_music }, { u"wide"_s, m_wide }, { u"float"_s, m_float },
            { u"deep"_s, m_deep }, { u"mp3"_s, m_mp3 } };
        const QString source = inputs.value(input);
        const QString output = path(u"good-%1.%2"_s.arg(QString::fromLatin1(QTest::currentDataTag()), extension));

        const Result checked = run(conversionArguments(source, output, options + QStringList { u"-verify"_s }));
        QVERIFY2(checked.exitCode == 0, qPrintable(checked.output));
        QVERIFY2(checked.output.contains(verified), qPrintable(checked.output));
        // The check comes before the summary, which still closes the run.
        QVERIFY(checked.output.indexOf(u"Verified: "_s) < checked.output.indexOf(u"global"_s));
        // The window judges the text by its words: the check's own line holds none of the failure's.
        for (const QString &word : failureWords())
            QVERIFY2(!checked.output.contains(word), qPrintable(word));
        QVERIFY(QFileInfo(output).size() > 0);
        QVERIFY(noLeftovers(m_dir.path()));

        // Plain sonmill keeps its text: no check, no Verified line, the same file.
        const QString plain = path(u"plain-%1.%2"_s.arg(QString::fromLatin1(QTest::currentDataTag()), extension));
        const Result unchecked = run(conversionArguments(source, plain, options));
        QCOMPARE(unchecked.exitCode, 0);
        QVERIFY(!unchecked.output.contains(u"Verified"_s));
    }

    // The disk damages the file after the encoder ended: the check finds it, the run fails
    // with the error line, and no file takes the output's name. Without the check the same
    // damage would have been kept under that name (the truncated rows show it).
    void damagedOutputsFail_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason");

        const QString check = u"Error: Incorrect output: it failed its check"_s;
        const QString decode = u"Error: Could not decode the output back for its check"_s;
        const QString anyCheck = check + u'|' + decode;
        QTest::newRow("flac corrupted") << u"flac"_s << encoderOptions(u"flac"_s) << u"corrupt"_s << anyCheck;
        QTest::newRow("wav corrupted") << u"wav"_s << encoderOptions(u"pcm16le"_s) << u"corrupt"_s
                                       << check + u", its samples differ from those encoded"_s;
        QTest::newRow("mp3 corrupted") << u"mp3"_s << encoderOptions(u"libmp3lame"_s, u"192k"_s) << u"corrupt"_s
                                       << anyCheck;
        QTest::newRow("m4a corrupted") << u"m4a"_s << encoderOptions(u"aac"_s, u"128k"_s) << u"corrupt"_s << anyCheck;
        QTest::newRow("wav truncated") << u"wav"_s << encoderOptions(u"pcm16le"_s) << u"drop:400000"_s
                                       << check + u": "_s;
        QTest::newRow("alac corrupted") << u"m4a"_s << encoderOptions(u"alac"_s) << u"corrupt"_s << anyCheck;
        QTest::newRow("flac truncated") << u"flac"_s << encoderOptions(u"flac"_s) << u"drop:300000"_s << anyCheck;
        QTest::newRow("mp3 truncated") << u"mp3"_s << encoderOptions(u"libmp3lame"_s, u"192k"_s) << u"drop:60000"_s
                                       << check + u": "_s;
        QTest::newRow("ogg truncated") << u"ogg"_s << encoderOptions(u"vorbis"_s, u"128k"_s) << u"drop:50000"_s
                                       << anyCheck;
    }
    void damagedOutputsFail()
    {
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        const QString output = path(u"damaged-%1.%2"_s.arg(QString::fromLatin1(QTest::currentDataTag()), extension));

        const Result result = run(
            conversionArguments(m_music, output, options + QStringList { u"-verify"_s }), 60000, damaging(damage));
        QVERIFY2(result.finished && !result.crashed, qPrintable(result.output));
        QVERIFY2(result.exitCode == 13, qPrintable(result.output)); // the check's own exit status
        bool named = false;
        for (const QString &expected : reason.split(u'|'))
            named = named || result.output.contains(expected);
        QVERIFY2(named, qPrintable(result.output));
        QVERIFY(!result.output.contains(u"global"_s));
        QVERIFY(!result.output.contains(u"Verified"_s));
        QVERIFY(!QFileInfo::exists(output));
        QVERIFY(noLeftovers(m_dir.path()));

        if (damage.startsWith(u"drop:")) {
            // Unchecked, the writes that never reached the disk go unnoticed.
            const Result unchecked = run(conversionArguments(m_music, output, options), 60000, damaging(damage));
            QVERIFY2(unchecked.exitCode == 0, qPrintable(unchecked.output));
            QVERIFY(QFileInfo::exists(output));
            QVERIFY(QFile::remove(output));
        }
    }

    // A length that falls short says how much of it decoded, grouped for reading.
    void shortLengthIsCounted()
    {
        const QString output = path(u"counted.wav"_s);
        const Result result
            = run(conversionArguments(m_music, output, { u"-verify"_s }), 60000, damaging(u"drop:400000"_s));
        static const QRegularExpression counts(uR"(: ([\d,]+) of 440,320 samples\n)"_s);
        const QRegularExpressionMatch match = counts.match(result.output);
        QVERIFY2(match.hasMatch(), qPrintable(result.output));
        const qint64 decoded = match.captured(1).remove(u',').toLongLong();
        // 400,000 bytes less the header, four bytes a frame.
        QVERIFY2(decoded > 99000 && decoded < 100000, qPrintable(result.output));
    }
};

QTEST_GUILESS_MAIN(TestSonmillCheck)
#include "tst_sonmillcheck.moc"
