#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using TestProcess::waitForLine;

// Files handed to the real program while one of its boxes is open, under the real X server:
// the hand-over waits for the box, every file ends as a row or a refusal in the order given,
// no box opens over another, and the program goes on running.
class TestHandOver : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    QProcessEnvironment environment() const { return TestProcess::programEnvironment(m_home.path(), u"report"_s); }
    static QString program() { return QStringLiteral(TOLM_PROGRAM_DIR) + u"/tolm-audio-converter"_s; }
    QString file(const QString &name) const { return m_home.filePath(name); }

    // The refusal boxes on the screen (their caption is "Information").
    static QStringList boxes()
    {
        QProcess search;
        search.start(u"xdotool"_s, { u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Information$"_s });
        search.waitForFinished(5000);
        return QString::fromUtf8(search.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Waits for exactly one box, and answers it with Enter (its Yes button).
    static bool answerTheBox()
    {
        if (!QTest::qWaitFor([] { return boxes().size() == 1; }, 20000))
            return false;
        QTest::qWait(300); // a second box would have shown by now
        const QStringList shown = boxes();
        if (shown.size() != 1) {
            qWarning("%lld boxes on the screen", qint64(shown.size()));
            return false;
        }
        // The box gets the keyboard first (there is no window manager to give it), then the
        // key goes to it as a user's would.
        QProcess focus;
        focus.start(u"xdotool"_s, { u"windowfocus"_s, u"--sync"_s, shown.first() });
        focus.waitForFinished(5000);
        QProcess key;
        key.start(u"xdotool"_s, { u"key"_s, u"Return"_s });
        key.waitForFinished(5000);
        return QTest::qWaitFor([&shown] { return !boxes().contains(shown.first()); }, 10000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the X server the test script starts");
        QVERIFY(QDir().mkpath(m_home.filePath(u"run"_s)));
        QFile::setPermissions(m_home.filePath(u"run"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const QString &name : { u"bad1.mp3"_s, u"bad2.mp3"_s }) {
            QFile text(file(name));
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("this is a text file, not audio\n");
        }
        QVERIFY(TestMedia::writeWav(file(u"good.wav"_s), 8000, 1, 8000 * 2, [](qint64, int) { return 0.1; }));
    }

    void handOverDuringARefusalBoxWaitsForIt()
    {
        QProcess first;
        first.setProcessEnvironment(environment());
        first.start(program(), { file(u"bad1.mp3"_s) });
        QVERIFY(first.waitForStarted());
        const auto endFirst = qScopeGuard([&first] {
            first.terminate();
            if (!first.waitForFinished(5000))
                first.kill();
        });
        QCOMPARE(waitForLine(first, "ready"), u"ready"_s);
        QVERIFY(QTest::qWaitFor([] { return boxes().size() == 1; }, 20000)); // bad1's box is open

        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(program(), { file(u"bad2.mp3"_s), file(u"good.wav"_s) });
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QTest::qWait(1000); // the hand-over has arrived and its probes have ended meanwhile

        QVERIFY(answerTheBox()); // bad1
        QVERIFY(answerTheBox()); // then bad2, never on top of bad1's
        QCOMPARE(waitForLine(first, "files-opened"), u"files-opened 2 rows=1"_s);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(boxes(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestHandOver)
#include "tst_handover.moc"
