// The preview with the real player on a real X server: its window taken into the panel,
// the picture moving, Pause and Resume on the same process, seeking, the end, Stop, and
// no player left behind by the window or as a zombie. Media are made here.

#include "core/startrecord.h"
#include "mainwindow/mainwindow.h"
#include "platform/childprocess.h"
#include "platform/recordingdialogs.h"
#include "platform/xcbwindowembedding.h"
#include "playback/previewplayer.h"
#include "sources/filelist.h"
#include "testfiles.h"
#include "testjobs.h"
#include "testmedia.h"
#include "testwindow.h"
#include "windowwaits.h"
#include "x11probe.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr QRect kEmbedded(-5, -33, 272, 232);

// Our children as the process table shows them: name and state ('Z' for a zombie).
struct Child
{
    qint64 pid;
    QString name;
    QChar state;
};

QList<Child> ourChildren()
{
    QList<Child> children;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromUtf8(stat.readAll());
        const qsizetype open = line.indexOf(u'(');
        const qsizetype close = line.lastIndexOf(u')');
        if (open < 0 || close < 0)
            continue;
        const QStringList rest = line.mid(close + 2).split(u' ');
        if (rest.size() > 1 && rest.at(1).toLongLong() == getpid())
            children.append({ pid, line.mid(open + 1, close - open - 1), rest.at(0).at(0) });
    }
    return children;
}

int playersRunning()
{
    int running = 0;
    for (const Child &child : ourChildren())
        running += child.name == u"mirplay"_s && child.state != u'Z';
    return running;
}

int zombies()
{
    int count = 0;
    for (const Child &child : ourChildren())
        count += child.state == u'Z';
    return count;
}

} // namespace

class TestPreviewX11 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    X11Probe m_x11;
    std::unique_ptr<XcbWindowEmbedding> m_windows;
    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<FileList> m_list;
    PreviewWidgets m_ui;
    RecordingDialogs m_dialogs;
    std::unique_ptr<PreviewPlayer> m_preview;

    QString media(const QString &name) const { return m_root.filePath(name); }
    uint32_t panel() const { return uint32_t(m_ui.playpanel->winId()); }
    QRect devicePanel() const
    {
        const qreal ratio = m_ui.playpanel->devicePixelRatioF();
        return QRect(0, 0, qRound(263 * ratio), qRound(196 * ratio));
    }
    QImage picture() { return m_x11.grab(panel(), devicePanel()); }
    bool pictureMoves()
    {
        const QImage before = picture();
        QTest::qWait(400);
        return !before.isNull() && picture() != before;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_x11.isConnected(), "these tests need an X server (DISPLAY)");
        QVERIFY(m_root.isValid());
        ChildProcess::setProgramFolder(kProgramDir);
        qputenv("TOLM_MIRPLAY_AUDIO_OUTPUT", "fakesink sync=true");
        const QString tone = u"audiotestsrc samplesperbuffer=4410 num-buffers=%1 ! audioconvert ! vorbisenc ! mux. "_s;
        const QString ball = u"videotestsrc pattern=ball num-buffers=%1 ! video/x-raw,width=320,height=240,"
                             u"framerate=15/1 ! theoraenc ! oggmux name=mux "_s;
        QVERIFY(TestMedia::launchInto(ball.arg(150) + tone.arg(100) + u"mux."_s, media(u"ball.ogv"_s)));
        QVERIFY(TestMedia::launchInto(ball.arg(45) + tone.arg(30) + u"mux."_s, media(u"short.ogv"_s)));
        m_windows = std::make_unique<XcbWindowEmbedding>();
        QVERIFY(m_windows->isConnected());
    }

    void init()
    {
        if (QByteArray(QTest::currentTestFunction()) == "closingTheMainWindowLeavesNoPlayer")
            return; // the main window brings its own preview
        m_host = std::make_unique<QWidget>();
        m_host->setWindowTitle(u"preview host"_s);
        m_host->resize(800, 450);
        m_list = std::make_unique<FileList>();
        m_ui.videoNamelabel = new QLabel(m_host.get());
        m_ui.playpanel = new QFrame(m_host.get());
        m_ui.playpanel->setGeometry(517, 146, 263, 196);
        m_ui.pretimeLabel = new QLabel(m_host.get());
        m_ui.TrackBar1 = new QSlider(Qt::Horizontal, m_host.get());
        m_ui.TrackBar1->setGeometry(517, 350, 263, 22);
        m_ui.moveEdit = new QLabel(m_host.get());
        m_ui.previewBtn = new QToolButton(m_host.get());
        m_ui.pauseBtn = new QToolButton(m_host.get());
        m_ui.stopBtn = new QToolButton(m_host.get());
        m_preview = std::make_unique<PreviewPlayer>(m_ui, *m_list, m_dialogs, *m_windows, m_host.get());
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
        m_list->appendRow(u"ball.ogv"_s, {}, u"00:00:10"_s, {}, TestJobs::source(media(u"ball.ogv"_s), u"00:00:10"_s));
        m_list->appendRow(
            u"short.ogv"_s, {}, u"00:00:03"_s, {}, TestJobs::source(media(u"short.ogv"_s), u"00:00:03"_s));
        m_list->select(0);
    }

    void cleanup()
    {
        m_preview.reset();
        m_list.reset();
        m_host.reset();
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(zombies(), 0, 5000);
    }

    void playEmbedsPausesResumesAndStops()
    {
        m_preview->previewBtnClick();
        QVERIFY2(m_dialogs.calls.isEmpty(), qPrintable(m_dialogs.messageTexts().join(u'\n')));
        QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
        const uint32_t window = m_preview->session().window();
        const qint64 pid = m_preview->session().processId();
        QCOMPARE(m_x11.windowTitle(window, false), u"Preview"_s);
        QCOMPARE(m_x11.children(panel()), QList<uint32_t>({ window }));

        const qreal ratio = m_ui.playpanel->devicePixelRatioF();
        QCOMPARE(m_x11.parent(window), panel());
        QCOMPARE(m_x11.geometry(window),
            QRect(qRound(kEmbedded.x() * ratio), qRound(kEmbedded.y() * ratio), qRound(kEmbedded.width() * ratio),
                qRound(kEmbedded.height() * ratio)));
        QTRY_VERIFY_WITH_TIMEOUT(m_x11.isViewable(window), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(pictureMoves(), 5000);

        m_preview->pauseBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(!pictureMoves(), 3000);
        m_preview->previewBtnClick();
        QCOMPARE(m_preview->session().processId(), pid);
        QTRY_VERIFY_WITH_TIMEOUT(pictureMoves(), 3000);

        m_preview->stopBtnClick();
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 0, 5000);
        QVERIFY(!m_x11.exists(window));
    }

    void releaseStartsANewPlayerAtThePosition()
    {
        m_preview->previewBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
        const qint64 first = m_preview->session().processId();
        QTest::mousePress(m_ui.TrackBar1, Qt::LeftButton);
        m_ui.TrackBar1->setValue(6);
        QTest::mouseRelease(m_ui.TrackBar1, Qt::LeftButton);
        QTRY_VERIFY(m_preview->session().processId() != first);
        QCOMPARE(m_preview->session().lastCommand().arguments.mid(1, 2), QStringList({ u"-ss"_s, u"6"_s }));
        QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
        QCOMPARE(m_x11.parent(m_preview->session().window()), panel());
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(pictureMoves(), 5000);
    }

    void endTickQuitsThePlayer()
    {
        m_list->selectOnly(1);
        m_preview->previewBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
        for (int tick = 0; tick < 4; ++tick)
            m_preview->previewTimerTick();
        QCOMPARE(m_ui.TrackBar1->value(), 0);
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:00:00 / 00:00:03"_s);
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 0, 5000);
    }

    // What a press on another row does to the preview: Stop, then Load of that row.
    void anotherRowEndsThePlayer()
    {
        m_preview->previewBtnClick();
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 1, 5000);
        m_preview->Stop();
        m_preview->Load(m_list->job(1));
        QTRY_VERIFY_WITH_TIMEOUT(!m_preview->session().isRunning(), 5000);
        QCOMPARE(playersRunning(), 0);
    }

    // Play returns before the player has shown its window (it cannot have yet: it was only just
    // started); the window is taken in afterwards, and the controls follow then.
    void playReturnsBeforeThePlayerShows()
    {
        QSignalSpy started(&m_preview->session(), &PlayerSession::started);
        m_preview->previewBtnClick();
        QVERIFY(m_preview->session().isStarting());
        QVERIFY(!m_preview->session().isKnown());
        QVERIFY(!m_preview->isTicking());
        QVERIFY(m_x11.children(panel()).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().value<PlayerSession::Start>(), PlayerSession::Start::Embedded);
        QVERIFY(!m_preview->session().isStarting());
        QVERIFY(m_preview->isTicking());
        QVERIFY(m_ui.stopBtn->isEnabled() && m_ui.pauseBtn->isVisible() && !m_ui.previewBtn->isVisible());
        QCOMPARE(m_x11.children(panel()), QList<uint32_t>({ m_preview->session().window() }));
    }

    // Stop or another row while the player is still starting: it is ended, never shown in the
    // panel, and nothing announces a start.
    void stopWhileStartingEndsThePlayer_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("Stop") << false;
        QTest::newRow("another row") << true;
    }
    void stopWhileStartingEndsThePlayer()
    {
        QFETCH(bool, reset);
        QSignalSpy started(&m_preview->session(), &PlayerSession::started);
        m_preview->previewBtnClick();
        QVERIFY(m_preview->session().isStarting());
        if (reset)
            m_preview->Reset();
        else
            m_preview->Stop();
        QVERIFY(!m_preview->session().isStarting());
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 0, 5000);
        QTest::qWait(2 * PlayerSession::kLookIntervalMs); // a look that was due finds nothing to do
        QVERIFY(started.isEmpty());
        QVERIFY(!m_preview->session().isKnown());
        QVERIFY(m_x11.children(panel()).isEmpty());
        QVERIFY(!m_preview->isTicking());
    }

    // Ten plays and stops in a row, each play while the last player may still be going: each
    // is taken in, and none is left, not even as a zombie.
    void repeatedPlayAndStopLeavesNothing()
    {
        for (int run = 0; run < 10; ++run) {
            m_preview->previewBtnClick();
            QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
            QVERIFY(m_x11.children(panel()).contains(m_preview->session().window()));
            m_preview->stopBtnClick();
        }
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(zombies(), 0, 5000);
        QCOMPARE(ChildProcess::runningCount(), 0);
        QVERIFY(m_x11.children(panel()).isEmpty());
    }

    void closingTheMainWindowLeavesNoPlayer()
    {
        QVERIFY(!TestFiles::useFreshHome(m_root.filePath(u"user"_s)).isEmpty());
        TestWindow window;
        TForm1 &form = window.open(kProgramDir);
        RecordingDialogs &dialogs = window.dialogs;
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.dropFiles({ media(u"ball.ogv"_s) });
        QVERIFY(WindowWaits::adds(form));
        QCOMPARE(form.fileList().rowCount(), 1);
        form.controls().preview.previewBtn->click();
        QVERIFY2(dialogs.calls.isEmpty(), qPrintable(dialogs.messageTexts().join(u'\n')));
        QTRY_VERIFY_WITH_TIMEOUT(form.controls().preview.pauseBtn->isVisible(), 5000);
        QCOMPARE(playersRunning(), 1);
        const QList<uint32_t> embedded = m_x11.children(uint32_t(form.controls().preview.playpanel->winId()));
        QCOMPARE(embedded.size(), 1);
        QCOMPARE(m_x11.windowTitle(embedded.first(), false), u"Preview"_s);
        QTRY_VERIFY_WITH_TIMEOUT(m_x11.isViewable(embedded.first()), 2000);
        QVERIFY(form.controls().preview.pauseBtn->isVisible());

        form.close();
        window.close();
        QTRY_COMPARE_WITH_TIMEOUT(playersRunning(), 0, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(zombies(), 0, 5000);
    }
};

QTEST_MAIN(TestPreviewX11)
#include "tst_previewx11.moc"
