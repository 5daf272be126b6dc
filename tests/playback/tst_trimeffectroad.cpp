// Trim, volume and loudness end to end in the window: rows set through the real dialogs,
// converted by the real transcoder, and the outputs measured by outside tools
// (gst-discoverer-1.0, sox, ebur128).

#include "engine/logwindow.h"
#include "loudnesscheck.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/mainwindowcontrols.h"
#include "platform/childprocess.h"
#include "playback/effectwindow.h"
#include "playback/timecodeedit.h"
#include "playback/trimwindow.h"
#include "sources/filelist.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testwindow.h"
#include "windowwaits.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kMp3 = 5;
constexpr int kPcmWav = 9; // "WAV - Waveform Audio (*.wav)": PCM, the volume applies
constexpr int kFlac = 11;
constexpr int kRate = 44100;
constexpr double kToneAmplitude = 0.5;

double tone(qint64 frame)
{
    return kToneAmplitude * std::sin(2 * M_PI * 440.0 * double(frame) / kRate);
}

QString run(const QString &program, const QStringList &arguments, bool errorChannel = false)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(errorChannel ? process.readAllStandardError() : process.readAllStandardOutput());
}

double discoveredSeconds(const QString &path)
{
    return TestMedia::discover(path).seconds;
}

// sox's "stat" figure of that name ("RMS     amplitude", "Maximum amplitude").
double soxStat(const QString &path, const QString &name)
{
    const QString text = run(u"sox"_s, { path, u"-n"_s, u"stat"_s }, true);
    for (const QString &line : text.split(u'\n')) {
        if (line.startsWith(name))
            return line.section(u':', 1).trimmed().toDouble();
    }
    return -1;
}

} // namespace

class TestTrimEffectRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    TestWindow m_window;

    QString path(const QString &name) const { return m_root.filePath(name); }
    void selectOnly(int row) { m_window->fileList().selectOnly(row); }
    void convert()
    {
        QVERIFY(WindowWaits::convert(*m_window.form()));
        for (int row = 0; row < m_window->fileList().rowCount(); ++row)
            QCOMPARE(m_window->fileList().status(row).text(), u"100%"_s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(!TestFiles::useFreshHome(m_root.path()).isEmpty() && QDir().mkpath(path(u"out"_s)));
        ChildProcess::setProgramFolder(kProgramDir);
        QVERIFY(
            TestMedia::writeWav(path(u"twenty.wav"_s), kRate, 2, 20 * kRate, [](qint64 f, int) { return tone(f); }));
        QVERIFY(TestMedia::writeWav(path(u"three.wav"_s), kRate, 2, 3 * kRate, [](qint64 f, int) { return tone(f); }));
    }

    void init()
    {
        m_window.open(kProgramDir);
        QVERIFY(m_window.useOutputFolder(path(u"out/"_s) + QString::fromLatin1(QTest::currentTestFunction())));
        m_window->controls().output.profileBox->setCurrentIndex(kPcmWav);
    }

    void cleanup() { m_window.close(); }

    void trimmedRowConvertsToItsLength()
    {
        m_window->dropFiles({ path(u"twenty.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(m_window->fileList().rowCount(), 1);
        WindowWaits::whenModal([this] {
            auto *trim = m_window->findChild<TtrimFrm *>();
            QVERIFY(trim);
            for (const auto &[edit, keys] :
                { std::pair { trim->controls().startEdit, u"05"_s }, { trim->controls().endEdit, u"12"_s } }) {
                edit->setFocus();
                edit->setCursorPosition(6);
                edit->selectCaretCharacter();
                QTest::keyClicks(edit, keys);
            }
            QCOMPARE(trim->controls().lengthEdit->text(), u"00:00:07"_s);
            trim->controls().okButton->click();
        });
        m_window->trimBtnClick();
        QCOMPARE(m_window->fileList().job(0).StartTime, u"00:00:05"_s);
        QCOMPARE(m_window->fileList().job(0).Length, u"00:00:07"_s);
        convert();
        const double seconds = discoveredSeconds(m_window->fileList().job(0).OutputPath);
        QVERIFY2(qAbs(seconds - 7.0) < 0.05, qPrintable(QString::number(seconds)));
    }

    void volumeScalesTheLevel()
    {
        const QList<int> volumes { 100, 50, 0, 400 };
        for (int i = 0; i < volumes.size(); ++i) {
            m_window->dropFiles({ path(u"three.wav"_s) });
            QVERIFY(WindowWaits::adds(*m_window.form()));
            selectOnly(i);
            WindowWaits::whenModal([this, volume = volumes[i]] {
                auto *effect = m_window->findChild<TEffectFrm *>();
                QVERIFY(effect);
                effect->controls().volumeBar->setValue(volume);
                effect->controls().okButton->click();
            });
            m_window->effectBtnClick();
            QCOMPARE(m_window->fileList().job(i).Volume, volumes[i]);
        }
        convert();
        QStringList outputs;
        for (int i = 0; i < volumes.size(); ++i)
            outputs << m_window->fileList().job(i).OutputPath;
        QCOMPARE(QSet<QString>(outputs.begin(), outputs.end()).size(), 4);

        const double full = soxStat(outputs[0], u"RMS     amplitude"_s);
        QVERIFY2(qAbs(full - kToneAmplitude / std::sqrt(2.0)) < 0.01, qPrintable(QString::number(full)));
        const double half = soxStat(outputs[1], u"RMS     amplitude"_s);
        const double decibels = 20 * std::log10(half / full);
        QVERIFY2(qAbs(decibels + 6.02) < 0.2, qPrintable(QString::number(decibels)));
        QCOMPARE(soxStat(outputs[2], u"Maximum amplitude"_s), 0.0);
        QVERIFY(soxStat(outputs[3], u"Maximum amplitude"_s) > 0.99);

        // Four times a half-scale tone is clipped at full scale: every sample keeps the sign of
        // the tone it came from, where an overflow would wrap it round to the other side.
        QProcess raw;
        raw.start(u"sox"_s,
            { outputs[3], u"-t"_s, u"raw"_s, u"-e"_s, u"signed"_s, u"-b"_s, u"16"_s, u"-c"_s, u"1"_s, u"-"_s });
        QVERIFY(raw.waitForFinished(30000));
        const QByteArray bytes = raw.readAllStandardOutput();
        const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
        const qint64 frames = bytes.size() / 2;
        QVERIFY(frames > 2 * kRate);
        qint64 wrong = 0;
        qint64 clipped = 0;
        for (qint64 f = 0; f < frames; ++f) {
            const double source = tone(f);
            if (qAbs(source) > 0.15 && (samples[f] > 0) != (source > 0))
                ++wrong;
            clipped += qAbs(samples[f]) >= 32700;
        }
        QCOMPARE(wrong, 0);
        QVERIFY(clipped > frames / 3);
    }

    // "Normalize loudness" at -16 LUFS on a loud and a quiet row (the quiet one with its
    // volume at 300 %, which normalising sets aside): both come out at the target with their true
    // peaks under -1 dBTP, and the log shows each one's measured loudness.
    void normalizeThroughTheEffectDialog_data()
    {
        QTest::addColumn<int>("profile");
        QTest::newRow("flac") << kFlac;
        QTest::newRow("mp3") << kMp3;
    }
    void normalizeThroughTheEffectDialog()
    {
        QFETCH(int, profile);
        // Again, with a log window of its own.
        m_window.open(kProgramDir, TestWindow::LogWindow::Own);
        QVERIFY(m_window.useOutputFolder(path(u"out/"_s) + QString::fromLatin1(QTest::currentTestFunction())
            + QString::fromLatin1(QTest::currentDataTag())));
        TlogFrm *log = m_window.log();
        QVERIFY(log);
        m_window->controls().output.profileBox->setCurrentIndex(profile);
        // High quality (the normal one is tolm-convert's test, normalizeWhatPlays).
        m_window->controls().output.AQualityBtn->setCurrentIndex(0);
        const QString loud = path(u"loud.wav"_s);
        const QString quiet = path(u"quiet.wav"_s);
        if (!QFileInfo::exists(quiet)) {
            QVERIFY(LoudnessCheck::writeProgramme(loud, LoudnessCheck::Programme::Dense, 8, -14));
            QVERIFY(LoudnessCheck::writeProgramme(quiet, LoudnessCheck::Programme::Punchy, 8, -35));
        }
        m_window->dropFiles({ loud, quiet });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(m_window->fileList().rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            selectOnly(row);
            WindowWaits::whenModal([this, row] {
                auto *effect = m_window->findChild<TEffectFrm *>();
                QVERIFY(effect);
                effect->controls().normalizeBox->setChecked(true);
                effect->controls().targetChooser->setCurrentIndex(1); // -16 LUFS
                if (row == 1)
                    effect->controls().volumeBar->setValue(300);
                effect->controls().okButton->click();
            });
            m_window->effectBtnClick();
            QCOMPARE(m_window->fileList().job(row).Loudness.normalizeLufs, std::optional<int>(-16));
        }
        convert();
        for (int row = 0; row < 2; ++row) {
            const LoudnessCheck::Reading reading = LoudnessCheck::measure(m_window->fileList().job(row).OutputPath);
            QVERIFY2(reading.ok, qPrintable(reading.text));
            QVERIFY2(qAbs(reading.integratedLufs + 16) <= 0.5, qPrintable(reading.text));
            QVERIFY2(reading.truePeakDb <= -1.0, qPrintable(reading.text));
        }
        const QString text = log->Memo1->toPlainText();
        QCOMPARE(text.count(u"\nLoudness: integrated -1"_s), 2);
        // A lossless profile copies the stream and passes no volume (as the Parts have it):
        // only the MP3 row's volume is there to be set aside.
        QCOMPARE(text.count(u"Note: the volume percentage is ignored while normalizing"_s), profile == kMp3 ? 1 : 0);
    }
};

QTEST_MAIN(TestTrimEffectRoad)
#include "tst_trimeffectroad.moc"
