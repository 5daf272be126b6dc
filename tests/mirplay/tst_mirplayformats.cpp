// The preview plays what the transcoder reads: both decode through the same media code, so a
// file the transcoder converts never meets a preview that cannot play it. The files are the
// transcoder's own output in each format it writes, so the rows follow what it can do.

#include "playerrun.h"
#include "testmedia.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kTranscoder = QStringLiteral(TOLM_PROGRAM_DIR "/sonmill");

// Runs the transcoder and tells whether it finished with its success line.
bool transcode(const QStringList &arguments, QByteArray *text)
{
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(kTranscoder, arguments);
    if (!run.waitForFinished(60000))
        return false;
    *text = run.readAll();
    return run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0 && text->contains("global");
}

} // namespace

class TestMirplayFormats : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        QVERIFY(TestMedia::launchInto(
            u"audiotestsrc wave=sine samplesperbuffer=4410 num-buffers=100 ! audioconvert ! wavenc"_s,
            m_folder.filePath(u"source.wav"_s)));
    }

    void playsWhatTheTranscoderReads_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<bool>("lossy");

        QTest::newRow("MP3") << u"mp3"_s << u"libmp3lame"_s << true;
        QTest::newRow("MP2") << u"mp2"_s << u"mp2"_s << true;
        QTest::newRow("Vorbis") << u"ogg"_s << u"vorbis"_s << true;
        QTest::newRow("AAC") << u"m4a"_s << u"aac"_s << true;
        QTest::newRow("FLAC") << u"flac"_s << u"flac"_s << false;
        QTest::newRow("WAV") << u"wav"_s << u"pcm16le"_s << false;
        QTest::newRow("AIFF") << u"aiff"_s << u"pcm16be"_s << false;
    }

    void playsWhatTheTranscoderReads()
    {
        QFETCH(QString, extension);
        QFETCH(QString, encoder);
        QFETCH(bool, lossy);

        const QString file = m_folder.filePath(u"made."_s + extension);
        QStringList make { u"qzv"_s, u"-y"_s, u"-i"_s, m_folder.filePath(u"source.wav"_s), u"-ss"_s, u"00:00:00"_s,
            u"-t"_s, u"00:00:10"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s, encoder };
        if (lossy)
            make += { u"-ab"_s, u"128k"_s, u"-qscale"_s, u"6"_s };
        make += { u"-ac"_s, u"2"_s, file };
        QByteArray text;
        // Every format here is one sonmill writes and reads: a failure is a fault, never a skip.
        QVERIFY2(transcode(make, &text),
            qPrintable(u"the transcoder did not write this format: "_s + QString::fromUtf8(text.trimmed())));

        const QString back = m_folder.filePath(u"back.wav"_s);
        QVERIFY2(transcode({ u"qzv"_s, u"-y"_s, u"-i"_s, file, u"-ss"_s, u"00:00:00"_s, u"-t"_s, u"00:00:02"_s,
                               u"-acodec"_s, u"pcm16le"_s, u"-ac"_s, u"2"_s, back },
                     &text),
            qPrintable(u"the transcoder did not read this format back: "_s + QString::fromUtf8(text.trimmed())));

        PlayerRun run({ u"qzv"_s, u"-ss"_s, u"3"_s, u"-x"_s, u"320"_s, u"-y"_s, u"240"_s, file });
        QTRY_VERIFY_WITH_TIMEOUT(run.indexOf(u"phase=playing") >= 0 || run.indexOf(u"phase=failed") >= 0, 10000);
        QVERIFY2(run.indexOf(u"phase=playing") >= 0, qPrintable(run.lines().join(u'\n')));
        QVERIFY(run.indexOf(u"picture=audio") >= 0);
        const std::optional<double> start = PlayerRun::positionOf(run.lines()[run.indexOf(u"phase=playing")]);
        QVERIFY(start && qAbs(*start - 3.0) < 0.05);
    }
};

QTEST_MAIN(TestMirplayFormats)
#include "tst_mirplayformats.moc"
