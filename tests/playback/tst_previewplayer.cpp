// The main window's preview as the user drives it: Play, Pause, Stop, seeking and the tick,
// with a stand-in player process and a recording windowing service.

#include "core/startrecord.h"
#include "core/timecode.h"
#include "platform/childprocess.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingwindowembedding.h"
#include "playback/previewplayer.h"
#include "sources/filelist.h"
#include "testjobs.h"

#include <QFrame>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kStandins = QStringLiteral(TOLM_SOURCE_DIR "/tests/playback/standin");

} // namespace

class TestPreviewPlayer : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<FileList> m_list;
    PreviewWidgets m_ui;
    RecordingDialogs m_dialogs;
    RecordingWindowEmbedding m_windows;
    std::unique_ptr<PreviewPlayer> m_preview;

    void addRows(const QList<TStartRecord> &jobs)
    {
        for (const TStartRecord &record : jobs)
            m_list->appendRow(record.SourcePath.section(u'/', -1), {}, record.Duration, {}, record);
    }

    // Which of Play, Pause and Stop are usable and shown, the timer, and a known player.
    QString state() const
    {
        return u"play=%1%2 pause=%3%4 stop=%5 tick=%6 known=%7"_s.arg(m_ui.previewBtn->isEnabled())
            .arg(m_ui.previewBtn->isVisibleTo(m_host.get()) ? u"shown"_s : u"hidden"_s)
            .arg(m_ui.pauseBtn->isEnabled())
            .arg(m_ui.pauseBtn->isVisibleTo(m_host.get()) ? u"shown"_s : u"hidden"_s)
            .arg(m_ui.stopBtn->isEnabled())
            .arg(m_preview->isTicking())
            .arg(m_preview->session().isKnown());
    }
    QList<PlayerKey> keys() const
    {
        QList<PlayerKey> sent;
        for (const auto &key : m_windows.keys)
            sent << key.key;
        return sent;
    }
    void releaseTrackBarAt(int seconds)
    {
        QTest::mousePress(m_ui.TrackBar1, Qt::LeftButton);
        QVERIFY(m_ui.moveEdit->isVisible());
        m_ui.TrackBar1->setValue(seconds);
        QTest::mouseRelease(m_ui.TrackBar1, Qt::LeftButton);
        QCoreApplication::processEvents(); // the seek follows the bar's own handling of the release
    }

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(kStandins); }

    void init()
    {
        m_host = std::make_unique<QWidget>();
        m_host->resize(800, 450);
        m_list = std::make_unique<FileList>();
        m_ui.videoNamelabel = new QLabel(u"Preview the source file"_s, m_host.get());
        m_ui.playpanel = new QFrame(m_host.get());
        m_ui.playpanel->setGeometry(517, 146, 263, 196);
        m_ui.pretimeLabel = new QLabel(u"00:00:00 / 00:00:00"_s, m_host.get());
        m_ui.TrackBar1 = new QSlider(Qt::Horizontal, m_host.get());
        m_ui.TrackBar1->setGeometry(517, 350, 263, 22);
        m_ui.TrackBar1->setPageStep(10);
        m_ui.TrackBar1->setEnabled(false);
        m_ui.moveEdit = new QLabel(u"00:00:00"_s, m_host.get());
        m_ui.moveEdit->hide();
        m_ui.previewBtn = new QToolButton(m_host.get());
        m_ui.previewBtn->setEnabled(false);
        m_ui.pauseBtn = new QToolButton(m_host.get());
        m_ui.pauseBtn->setEnabled(false);
        m_ui.pauseBtn->hide();
        m_ui.stopBtn = new QToolButton(m_host.get());
        m_ui.stopBtn->setEnabled(false);
        m_dialogs = RecordingDialogs();
        m_windows = RecordingWindowEmbedding();
        m_windows.playersShowWindows = true;
        m_preview = std::make_unique<PreviewPlayer>(m_ui, *m_list, m_dialogs, m_windows, m_host.get());
        m_host->show();
    }

    void cleanup()
    {
        m_preview.reset();
        m_list.reset();
        m_host.reset();
    }

    void playWithOneRowSelectsItAndEmbeds()
    {
        addRows({ TestJobs::source(u"/media/holiday_recording_2008.flac"_s, u"00:03:25"_s) });
        m_ui.previewBtn->setEnabled(true);
        m_preview->previewBtnClick();

        QCOMPARE(m_list->selectedRows(), QList<int>({ 0 }));
        QCOMPARE(m_preview->session().lastCommand().text,
            u"mirplay qzv  -ss  0 -x 320 -y 240  \"/media/holiday_recording_2008.flac\""_s);
        QCOMPARE(m_preview->session().lastCommand().arguments,
            QStringList({ u"qzv"_s, u"-ss"_s, u"0"_s, u"-x"_s, u"320"_s, u"-y"_s, u"240"_s,
                u"/media/holiday_recording_2008.flac"_s }));
        QVERIFY(m_preview->session().isRunning());
        QCOMPARE(m_windows.embeddings.size(), 1);
        QCOMPARE(m_windows.embeddings.first().parent, WindowEmbedding::WindowId(m_ui.playpanel->winId()));
        const qreal ratio = m_ui.playpanel->devicePixelRatioF();
        QCOMPARE(m_windows.embeddings.first().geometry,
            QRect(qRound(-5 * ratio), qRound(-33 * ratio), qRound(272 * ratio), qRound(232 * ratio)));
        QCOMPARE(state(), u"play=0hidden pause=1shown stop=1 tick=1 known=1"_s);
        QCOMPARE(m_ui.videoNamelabel->text(), u"holi...008.flac"_s);
        QCOMPARE(m_ui.videoNamelabel->accessibleName(), u"holi...008.flac"_s);
        QCOMPARE(m_ui.videoNamelabel->toolTip(), u"/media/holiday_recording_2008.flac"_s);
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:00:00 / 00:03:25"_s);
        QCOMPARE(m_ui.TrackBar1->maximum(), 205);
        QVERIFY(m_ui.TrackBar1->isEnabled());
    }

    void playWithTwoRowsAndNoSelectionAsksForOne()
    {
        addRows(
            { TestJobs::source(u"/media/a.wav"_s, u"00:00:10"_s), TestJobs::source(u"/media/b.wav"_s, u"00:00:10"_s) });
        m_preview->previewBtnClick();
        QCOMPARE(m_dialogs.messageTexts(), QStringList({ u"First select a file in the filelist!"_s }));
        QCOMPARE(m_dialogs.calls.first().message.caption, u"TOLM Audio Converter"_s);
        QVERIFY(!m_preview->session().isRunning());
        QCOMPARE(m_windows.looks, 0);
    }

    // A 10-second file: ticks 1 to 10 move the bar, the eleventh quits the player.
    void ticksToTheEndAndResets()
    {
        addRows({ TestJobs::source(u"/media/ten.wav"_s, u"00:00:10"_s) });
        m_preview->previewBtnClick();
        QStringList shown;
        for (int tick = 1; tick <= 10; ++tick) {
            m_preview->previewTimerTick();
            shown << m_ui.pretimeLabel->text();
            QCOMPARE(m_ui.TrackBar1->value(), tick);
        }
        QCOMPARE(shown.first(), u"00:00:01 / 00:00:10"_s);
        QCOMPARE(shown.last(), u"00:00:10 / 00:00:10"_s);
        QCOMPARE(m_ui.pretimeLabel->accessibleName(), u"00:00:10 / 00:00:10"_s);
        QVERIFY(keys().isEmpty());
        m_preview->previewTimerTick();
        QCOMPARE(keys(), QList<PlayerKey>({ PlayerKey::Quit }));
        QCOMPARE(m_ui.TrackBar1->value(), 0);
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:00:00 / 00:00:10"_s);
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
    }

    void pauseThenPlayResumesTheSamePlayer()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_preview->previewBtnClick();
        const qint64 pid = m_preview->session().processId();
        m_preview->previewTimerTick();
        m_preview->previewTimerTick();
        m_preview->pauseBtnClick();
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=1 tick=0 known=1"_s);
        QCOMPARE(m_preview->playSecond(), 2);
        m_preview->previewBtnClick();
        QCOMPARE(state(), u"play=0hidden pause=1shown stop=1 tick=1 known=1"_s);
        QCOMPARE(m_preview->session().processId(), pid);
        QCOMPARE(keys(), QList<PlayerKey>({ PlayerKey::Pause, PlayerKey::Pause }));
        m_preview->previewTimerTick();
        QCOMPARE(m_preview->playSecond(), 3);
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:00:03 / 00:01:00"_s);
    }

    void releasingTheBarWhilePausedStartsANewPlayerThere()
    {
        addRows({ TestJobs::source(u"/media/long.ogg"_s, u"00:03:00"_s) });
        m_preview->previewBtnClick();
        const qint64 first = m_preview->session().processId();
        m_preview->pauseBtnClick();
        releaseTrackBarAt(90);
        QVERIFY(!m_ui.moveEdit->isVisible());
        QVERIFY(m_preview->session().processId() != first);
        QCOMPARE(m_preview->session().lastCommand().arguments.mid(1, 2), QStringList({ u"-ss"_s, u"90"_s }));
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:01:30 / 00:03:00"_s);
        QCOMPARE(m_preview->playSecond(), 90);
        QCOMPARE(state(), u"play=0hidden pause=1shown stop=1 tick=1 known=1"_s);
        // The old player was told nothing: it was ended as the new one started.
        QCOMPARE(keys(), QList<PlayerKey>({ PlayerKey::Pause }));
    }

    void hoverLabelFollowsThePointer()
    {
        addRows({ TestJobs::source(u"/media/long.ogg"_s, u"00:03:00"_s) });
        m_preview->Load(m_list->job(0));
        QTest::mousePress(m_ui.TrackBar1, Qt::LeftButton, {}, QPoint(5, 10));
        m_ui.TrackBar1->setValue(42);
        QMouseEvent move(QEvent::MouseMove, QPointF(100, 10), m_ui.TrackBar1->mapToGlobal(QPointF(100, 10)),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_ui.TrackBar1, &move);
        QCOMPARE(m_ui.moveEdit->x(), 517 + 100 - 16);
        // The drag has moved the thumb under the pointer; the label shows where it is.
        QVERIFY(m_ui.TrackBar1->value() != 42);
        QCOMPARE(m_ui.moveEdit->text(), SecondsToTimeCode(m_ui.TrackBar1->value()));
        QVERIFY(m_ui.moveEdit->isVisible());
        m_ui.TrackBar1->setValue(43); // the thumb follows the pointer after its move
        QCOMPARE(m_ui.moveEdit->text(), u"00:00:43"_s);
    }

    void stopWithoutPlayerSendsNothing()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_preview->Load(m_list->job(0));
        m_ui.TrackBar1->setValue(30);
        m_preview->stopBtnClick();
        QCOMPARE(m_ui.TrackBar1->value(), 0);
        QCOMPARE(m_preview->playSecond(), 0);
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
        QVERIFY(keys().isEmpty());
        // No row selected: the name goes back to the invitation.
        QCOMPARE(m_ui.videoNamelabel->text(), u"Preview the source file"_s);
    }

    // What a press on another row does: Stop, then Load of that row.
    void anotherRowStopsThePlayerAndLoadsAtZero()
    {
        addRows(
            { TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s), TestJobs::source(u"/media/b.wav"_s, u"00:02:00"_s) });
        m_list->select(0);
        m_preview->previewBtnClick();
        m_preview->previewTimerTick();
        m_list->selectOnly(1);
        m_preview->Stop();
        m_preview->Load(m_list->job(1));
        QCOMPARE(keys(), QList<PlayerKey>({ PlayerKey::Quit }));
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
        QCOMPARE(m_ui.videoNamelabel->text(), u"b.wav"_s);
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:00:00 / 00:02:00"_s);
        QCOMPARE(m_ui.TrackBar1->maximum(), 120);
        QCOMPARE(m_ui.TrackBar1->value(), 0);
    }

    void resetWhilePlayingQuitsAndEmpties()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_preview->previewBtnClick();
        m_preview->Reset();
        QCOMPARE(keys(), QList<PlayerKey>({ PlayerKey::Quit }));
        QCOMPARE(m_ui.videoNamelabel->text(), u"Preview the source file"_s);
        QCOMPARE(m_ui.pretimeLabel->text(), u"00:00:00 / 00:00:00"_s);
        QCOMPARE(m_ui.pretimeLabel->accessibleName(), u"00:00:00 / 00:00:00"_s);
        QVERIFY(!m_ui.TrackBar1->isEnabled());
        QCOMPARE(state(), u"play=0shown pause=0hidden stop=0 tick=0 known=0"_s);
    }

    // Our window wins over another program's "Preview"; one that names no owner is taken
    // only when ours cannot be told apart.
    void windowOfAnotherProgramIsNotTaken()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_windows.announce(0x100, 1, u"Preview"_s); // another program's, naming its owner
        m_windows.announce(0x200, 0, u"Preview"_s); // one that names none
        m_preview->previewBtnClick();
        QCOMPARE(m_windows.embeddings.size(), 1);
        QVERIFY(m_windows.embeddings.first().window != 0x100);
        QVERIFY(m_windows.embeddings.first().window != 0x200);

        m_preview->Stop();
        m_windows.playersShowWindows = false;
        m_preview->previewBtnClick();
        QCOMPARE(m_windows.embeddings.last().window, WindowEmbedding::WindowId(0x200));
    }

    void playerThatShowsNoWindowIsEnded()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_windows.playersShowWindows = false;
        m_preview->previewBtnClick();
        // The looks are a timer's steps: the click returned after the first.
        QCOMPARE(m_windows.looks, 1);
        QVERIFY(m_preview->session().isStarting());
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_windows.looks, 41, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_preview->session().isRunning(), 5000);
        QVERIFY(!m_preview->session().isStarting());
        QVERIFY(m_windows.embeddings.isEmpty());
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    // The window shows a few looks after the start: the controls change only then, and a
    // second press meanwhile starts no second player.
    void windowThatShowsLaterIsTakenInThen()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_windows.playersShowWindows = false;
        m_preview->previewBtnClick();
        const qint64 pid = m_preview->session().processId();
        m_preview->previewBtnClick();
        QCOMPARE(m_preview->session().processId(), pid);
        QCOMPARE(m_windows.looks, 1);
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
        QTRY_VERIFY(m_windows.looks >= 3);
        m_windows.announce(0x300, pid);
        QTRY_VERIFY_WITH_TIMEOUT(m_preview->session().isKnown(), 5000);
        QCOMPARE(m_windows.embeddings.size(), 1);
        QCOMPARE(m_windows.embeddings.first().window, WindowEmbedding::WindowId(0x300));
        QCOMPARE(state(), u"play=0hidden pause=1shown stop=1 tick=1 known=1"_s);
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void unknownDurationStartsNothing()
    {
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"--:--:--"_s) });
        m_preview->previewBtnClick();
        QCOMPARE(m_dialogs.messageTexts(), QStringList({ u"'--' is not a valid integer value"_s }));
        QVERIFY(!m_preview->session().isRunning());
    }

    void missingPlayerShowsTheError()
    {
        QTemporaryDir empty;
        ChildProcess::setProgramFolder(empty.path());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(empty.path()));
        addRows({ TestJobs::source(u"/media/a.wav"_s, u"00:01:00"_s) });
        m_preview->previewBtnClick();
        qputenv("PATH", path);
        ChildProcess::setProgramFolder(kStandins);
        QCOMPARE(m_dialogs.messageTexts().size(), 1);
        QVERIFY2(m_dialogs.messageTexts().first().contains(u"mirplay"_s), qPrintable(m_dialogs.messageTexts().first()));
        QCOMPARE(state(), u"play=1shown pause=0hidden stop=0 tick=0 known=0"_s);
    }
};

QTEST_MAIN(TestPreviewPlayer)
#include "tst_previewplayer.moc"
