#include "testprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The real program twice under the real X server: the second copy creates no window, hands the
// restore request to the first and ends; the first comes back, also from minimised. The
// program reports what it did on standard output because the tests turn its hooks on.
class TestTwoCopies : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;

    QProcessEnvironment environment(const QString &hooks) const
    {
        return TestProcess::programEnvironment(m_home->path(), hooks);
    }

    static QString program() { return QStringLiteral(TOLM_PROGRAM_DIR) + u"/tolm-audio-converter"_s; }

    // X windows titled exactly like the main window, as the X server reports them.
    static QStringList mainWindowsOnScreen()
    {
        QProcess search;
        search.start(u"xdotool"_s, { u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^TOLM Audio Converter$"_s });
        if (!search.waitForFinished(5000))
            return { u"xdotool did not answer"_s };
        return QString::fromUtf8(search.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the X server the test script starts");
        QVERIFY(QFile::exists(program()));
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QVERIFY(QDir().mkdir(m_home->filePath(u"run"_s)));
        QFile::setPermissions(m_home->filePath(u"run"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void secondCopyRestoresTheFirst_data()
    {
        QTest::addColumn<bool>("startMinimized");
        QTest::newRow("first copy minimised") << true;
        QTest::newRow("first copy showing") << false;
    }

    void secondCopyRestoresTheFirst()
    {
        QFETCH(bool, startMinimized);
        QProcess first;
        first.setProcessEnvironment(environment(startMinimized ? u"report,start-minimized"_s : u"report"_s));
        first.start(program());
        QVERIFY(first.waitForStarted());
        const auto endFirst = qScopeGuard([&first] {
            first.terminate();
            if (!first.waitForFinished(5000))
                first.kill();
        });
        QCOMPARE(TestProcess::waitForLine(first, "ready"), u"ready"_s);
        // The working folders of the fresh home were made by this start.
        QVERIFY(QFileInfo(m_home->filePath(u"Documents/TOLM/TOLM Audio Converter/profile/destination.ini"_s)).isFile());
        if (!startMinimized) {
            QTRY_COMPARE(mainWindowsOnScreen().size(), 1);
            // The window class carries the program's name, as desktop tools look it up.
            QProcess xprop;
            xprop.start(u"xprop"_s, { u"-name"_s, u"TOLM Audio Converter"_s, u"WM_CLASS"_s });
            QVERIFY(xprop.waitForFinished(5000));
            QCOMPARE(QString::fromUtf8(xprop.readAllStandardOutput()).trimmed(),
                u"WM_CLASS(STRING) = \"tolm-audio-converter\", \"TOLM Audio Converter\""_s);
        }

        QProcess second;
        second.setProcessEnvironment(environment(u"report"_s));
        second.start(program());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), u"second-copy restore-sent windows=0"_s);

        const QString restored = TestProcess::waitForLine(first, "restore");
        QCOMPARE(restored, u"restore was-minimized=%1 minimized=0 visible=1"_s.arg(int(startMinimized)));
        // One main window on the screen: the first copy's, back in view.
        QTRY_COMPARE(mainWindowsOnScreen().size(), 1);
        QCOMPARE(first.state(), QProcess::Running);
    }

    void firstCopyGoneMeansNewFirst()
    {
        // A copy that ended leaves no claim behind: the next start is a first copy again.
        for (int run = 0; run < 2; ++run) {
            QProcess copy;
            copy.setProcessEnvironment(environment(u"report"_s));
            copy.start(program());
            QCOMPARE(TestProcess::waitForLine(copy, "ready"), u"ready"_s);
            copy.terminate();
            QVERIFY(copy.waitForFinished(5000));
        }
    }
};

QTEST_GUILESS_MAIN(TestTwoCopies)
#include "tst_twocopies.moc"
