// The preview's window taken in under a window manager (openbox), with the real player: the
// manager is asked to give the window back and the session waits for it on a timer, never
// holding the UI thread, and the window stays in the panel once the manager has had its say.

#include "core/siblingcommands.h"
#include "platform/childprocess.h"
#include "platform/xcbwindowembedding.h"
#include "playback/playersession.h"
#include "testmedia.h"
#include "x11probe.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);

} // namespace

class TestPreviewWm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    X11Probe m_x11;
    std::unique_ptr<XcbWindowEmbedding> m_windows;
    std::unique_ptr<QWidget> m_host;
    QWidget *m_panel = nullptr;

    QString video() const { return m_root.filePath(u"ball.ogv"_s); }
    uint32_t panel() const { return uint32_t(m_panel->winId()); }
    QRect deviceGeometry() const
    {
        const qreal ratio = m_panel->devicePixelRatioF();
        const QRect logical = PlayerSession::kEmbeddedGeometry;
        return QRect(qRound(logical.x() * ratio), qRound(logical.y() * ratio), qRound(logical.width() * ratio),
            qRound(logical.height() * ratio));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_x11.isConnected(), "these tests need an X server (DISPLAY)");
        QVERIFY(m_root.isValid());
        ChildProcess::setProgramFolder(kProgramDir);
        qputenv("TOLM_MIRPLAY_AUDIO_OUTPUT", "fakesink sync=true");
        QVERIFY(TestMedia::launchInto(u"videotestsrc pattern=ball num-buffers=300 ! video/x-raw,width=320,height=240,"
                                      u"framerate=15/1 ! theoraenc ! oggmux"_s,
            video()));
        m_windows = std::make_unique<XcbWindowEmbedding>();
        QVERIFY(m_windows->isConnected());
        m_host = std::make_unique<QWidget>();
        m_host->resize(600, 400);
        m_panel = new QWidget(m_host.get());
        m_panel->setGeometry(300, 100, 263, 196);
        m_panel->setAttribute(Qt::WA_DontCreateNativeAncestors);
        m_panel->setAttribute(Qt::WA_NativeWindow);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }

    void cleanupTestCase()
    {
        m_host.reset();
        QTRY_COMPARE_WITH_TIMEOUT(ChildProcess::runningCount(), 0, 5000);
    }

    // A window the manager has taken (mapped and framed) is given back when asked: withdraw()
    // returns at once, isManaged() tells when the manager has let go, and the window then
    // stays where it was embedded.
    void managedWindowIsGivenBackWithoutWaiting()
    {
        QProcess player;
        const CommandLine command = PlayerCommand(0, video());
        player.start(ChildProcess::resolveProgram(command.program), command.arguments);
        QVERIFY(player.waitForStarted(10000));
        uint32_t window = 0;
        QTRY_VERIFY_WITH_TIMEOUT((window = m_x11.findWindow(u"Preview"_s, player.processId())) != 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_windows->isManaged(window), 10000);

        m_windows->withdraw(window);
        QTRY_VERIFY_WITH_TIMEOUT(!m_windows->isManaged(window), 2000);
        QVERIFY(m_windows->embed(window, panel(), deviceGeometry()));
        QTest::qWait(500); // a manager that had not let go would take it back meanwhile
        QVERIFY(m_windows->isEmbedded(window, panel(), deviceGeometry()));
        QCOMPARE(m_x11.parent(window), panel());

        player.terminate();
        QVERIFY(player.waitForFinished(5000));
    }

    // Through the session, five times: each start returns before the window is in, started()
    // says Embedded, and after the manager's moments (up to a second) the window is still in
    // the panel and shown.
    void sessionEmbedsUnderTheManager()
    {
        PlayerSession session(*m_windows, 41);
        QSignalSpy started(&session, &PlayerSession::started);
        for (int run = 1; run <= 5; ++run) {
            QVERIFY(session.start(PlayerCommand(0, video()), panel(), m_panel->devicePixelRatioF()));
            QVERIFY(session.isStarting());
            QTRY_COMPARE_WITH_TIMEOUT(started.size(), run, 10000);
            QCOMPARE(started.last().first().value<PlayerSession::Start>(), PlayerSession::Start::Embedded);
            const uint32_t window = session.window();
            QTest::qWait(1200);
            QCOMPARE(m_x11.parent(window), panel());
            QVERIFY(m_windows->isEmbedded(window, panel(), deviceGeometry()));
            QTRY_VERIFY_WITH_TIMEOUT(m_x11.isViewable(window), 2000);
            session.quit();
        }
        session.end();
        QTRY_VERIFY_WITH_TIMEOUT(!session.isRunning(), 5000);
    }
};

QTEST_MAIN(TestPreviewWm)
#include "tst_previewwm.moc"
