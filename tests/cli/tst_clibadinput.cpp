// tolm-convert on inputs that are odd rather than wrong, end to end with the real program and
// sonmill on files the test makes: what converts does, and what does not is named.

#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
using Run = TestProcess::Ended;

} // namespace

class TestCliBadInput : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    Run convert(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(TestProcess::terminalEnvironment(path(u"home"_s), path(u"cache"_s)));
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
        return TestProcess::waitForEnd(process, 120000);
    }

    static bool wav(const QString &file, qint64 frames, int rate = 44100)
    {
        QDir().mkpath(QFileInfo(file).path());
        return TestMedia::writeWav(
            file, rate, 2, frames, [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.05); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(path(u"home"_s)));
        QVERIFY(QDir().mkpath(path(u"cache"_s)));
    }

    // A file shorter than a second is a file like any other: it converts whole.
    void shorterThanASecond_data()
    {
        QTest::addColumn<qint64>("frames");
        QTest::newRow("10 ms") << qint64(441);
        QTest::newRow("0.5 s") << qint64(22050);
        QTest::newRow("0.99 s") << qint64(43659);
        QTest::newRow("1.5 s, as before") << qint64(66150);
    }

    void shorterThanASecond()
    {
        QFETCH(qint64, frames);
        const QString name = u"short-%1"_s.arg(frames);
        QVERIFY(wav(path(u"short/"_s + name + u".wav"_s), frames));
        const QString out = path(u"short-out"_s);
        const Run run = convert({ u"-p"_s, u"flac"_s, u"-o"_s, out, u"short/"_s + name + u".wav"_s });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const TestMedia::Discovered found = TestMedia::discover(out + u'/' + name + u".flac"_s);
        QVERIFY2(std::fabs(found.seconds - double(frames) / 44100) < 0.002,
            qPrintable(u"%1 s: %2"_s.arg(found.seconds).arg(found.text)));
    }
};

QTEST_GUILESS_MAIN(TestCliBadInput)
#include "tst_clibadinput.moc"
