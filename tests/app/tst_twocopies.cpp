#include "stranger.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

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

    // The capture road: without a runtime folder, another user has planted listeners where a
    // shared-folder scheme would look. The window hands its files to none of them, and does
    // not take one for a running copy and quit.
    void anotherUsersSocketCapturesNothing_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::newRow("the shared temporary folder's own name") << u"shared"_s;
        QTest::newRow("our folder's name, made by another user") << u"folder"_s;
        QTest::newRow("another user's socket in our own folder") << u"renamed"_s;
    }

    void anotherUsersSocketCapturesNothing()
    {
        QFETCH(QString, plant);
        if (!Stranger::available())
            QSKIP("a second user needs root");
        const QString shared = m_home->filePath(u"tmp"_s);
        QVERIFY(::chmod(QFile::encodeName(m_home->path()).constData(), 0711) == 0);
        QVERIFY(Stranger::makeShared(shared));
        const QString ownFolder = shared + u"/tolm-runtime-"_s + QString::number(geteuid());
        const QString socketName = u"TOLM Audio Converter"_s;
        const QString record = shared + u"/record"_s;
        const QString stop = shared + u"/stop"_s;
        QStringList listenAt;
        if (plant == u"shared"_s) // where the name once went, and the folder Qt would use
            listenAt = { shared + u'/' + socketName + u'-' + QString::number(geteuid()),
                shared + u"/runtime-root/"_s + socketName };
        else if (plant == u"folder"_s)
            listenAt = { ownFolder + u'/' + socketName };
        else
            listenAt = { shared + u"/planted"_s };
        QProcess listener;
        Stranger::start(listener, QStringList { u"listen"_s, record, stop } + listenAt);
        const auto endListener = qScopeGuard([&] {
            QFile(stop).open(QIODevice::WriteOnly);
            listener.waitForFinished(5000);
        });
        QVERIFY(listener.waitForReadyRead(10000));
        QCOMPARE(listener.readLine().trimmed(), QByteArray("listening"));
        if (plant == u"renamed"_s) {
            QVERIFY(QDir().mkdir(ownFolder));
            QVERIFY(::chmod(QFile::encodeName(ownFolder).constData(), 0700) == 0);
            QVERIFY(QFile::rename(listenAt.first(), ownFolder + u'/' + socketName));
        }
        const QString wav = m_home->filePath(u"short.wav"_s);
        QVERIFY(TestMedia::writeWav(wav, 8000, 1, 800, [](qint64, int) { return 0.1; }));

        QProcessEnvironment env = environment(u"report"_s);
        env.remove(u"XDG_RUNTIME_DIR"_s);
        env.insert(u"TMPDIR"_s, shared);
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(program(), { wav });
        QVERIFY(first.waitForStarted());
        const auto endFirst = qScopeGuard([&first] {
            first.terminate();
            if (!first.waitForFinished(5000))
                first.kill();
        });
        QCOMPARE(TestProcess::waitForLine(first, "ready"), u"ready"_s);
        QTest::qWait(300);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(TestFiles::read(record), QByteArray());
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
