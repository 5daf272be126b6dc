// Every built-in profile as the program uses it: the probe's line, then the conversion
// line BuildConversionCommand composes from the shipped catalogue, run through the real
// sonmill. Profiles without an encoder here fail with "Unknown encoder"; the others give
// the format, rate and channels the profile asks for.

#include "core/siblingcommands.h"
#include "engine/conversioncommand.h"
#include "profiles/profilejob.h"
#include "sonmillrun.h"
#include "testjobs.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

class TestSonmillProfiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_source; // 48 kHz stereo, so every profile's rate means a change or a keep

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_source = m_dir.filePath(u"source file.wav"_s);
        QVERIFY(writeWav(m_source, 48000, 2, 48000 * 5 / 2,
            [](qint64 f, int c) { return 0.4 * std::sin(2 * M_PI * (c ? 660.0 : 440.0) * double(f) / 48000); }));
    }

    void builtInProfiles_data()
    {
        QTest::addColumn<QString>("profile");
        for (const QString &name : BuiltInProfileNames())
            QTest::newRow(qPrintable(name)) << name;
    }
    void builtInProfiles()
    {
        QFETCH(QString, profile);
        const QString catalogue = QStringLiteral(TOLM_PROGRAM_DIR) + kCatalogueRelativePath;
        const ProfileSettings settings = ReadProfileSettings(catalogue, profile);

        // The probe, as the program runs it when the file is added.
        const Result probe = run(ProbeCommand(m_source, m_dir.filePath(u"inadd.wav"_s)).arguments);
        QCOMPARE(probe.exitCode, 0);
        const qsizetype at = probe.output.indexOf(u"Duration:"_s);
        QVERIFY(at >= 0);
        const QString duration = probe.output.mid(at + 10, 8);
        QCOMPARE(duration, u"00:00:02"_s);

        TStartRecord job;
        job.SourcePath = m_source;
        job.Duration = duration;
        job.StartTime = kStartOfFile.toString();
        job.Length = duration;
        ApplyProfileToJob(job, profile, settings, QualityPosition::Normal);
        job.Volume = 100;
        job.OutputPath = m_dir.filePath(u"source file"_s + job.Extension.text());
        job.OutputPath = FreeOutputPath(job); // the WAV profiles' output would be the source itself

        const CommandLine cmd = BuildConversionCommand(job);
        const Result result = run(cmd.arguments);
        QVERIFY(result.finished);
        const QString output = job.OutputPath;
        const bool noEncoder = QStringList { u"realaudio"_s, u"wma"_s, u"wmalossless"_s }.contains(settings.audioCodec);
        if (noEncoder) {
            QVERIFY2(result.output.contains(u"Error: Unknown encoder"_s), qPrintable(result.output));
            QVERIFY(result.exitCode != 0);
            QVERIFY(!QFileInfo::exists(output));
            return;
        }
        QVERIFY2(result.exitCode == 0, qPrintable(cmd.text + u'\n' + result.output));
        QCOMPARE(result.output.count(u"global"_s), 1);
        const Media media = inspect(output);
        QVERIFY(media.ok);
        const int profileRate = NumberBeforeUnit(settings.sampleRate, u"Hz").toInt();
        // Lossless profiles and those without a rate of their own (Opus) keep the source's.
        QCOMPARE(media.rate, settings.lossless == kTrue || profileRate == 0 ? 48000 : profileRate);
        QCOMPARE(media.channels, 2);
        // -t 00:00:02 of a 2.5 s file.
        QVERIFY2(std::fabs(media.seconds - 2.0) <= 0.05, qPrintable(QString::number(media.seconds)));
    }

    // The same line typed by hand: a shell splits it into the same arguments.
    void typedInAShell()
    {
        TStartRecord job = TestJobs::mp3(m_source, m_dir.filePath(u"typed by hand.mp3"_s), u"00:00:01"_s);
        job.Volume = 50;
        job.SampleRate = u"22050 Hz"_s;
        job.Bitrate = u"96 kbps"_s;
        job.Channels = u"1 Channel Mono"_s;
        const CommandLine cmd = BuildConversionCommand(job);
        QString text = cmd.text;
        text.replace(0, cmd.program.size(), sonmillPath());

        QProcess shell;
        shell.setProcessEnvironment(environment());
        shell.setProcessChannelMode(QProcess::MergedChannels);
        shell.start(u"/bin/sh"_s, { u"-c"_s, text });
        QVERIFY(shell.waitForFinished(60000));
        const QString output = QString::fromUtf8(shell.readAll());
        QVERIFY2(shell.exitCode() == 0, qPrintable(text + u'\n' + output));
        QCOMPARE(output.count(u"global"_s), 1);
        const Media media = inspect(job.OutputPath);
        QCOMPARE(media.rate, 22050);
        QCOMPARE(media.channels, 1);
        QVERIFY(std::fabs(media.seconds - 1.0) <= 0.05);
    }
};

QTEST_GUILESS_MAIN(TestSonmillProfiles)
#include "tst_sonmillprofiles.moc"
