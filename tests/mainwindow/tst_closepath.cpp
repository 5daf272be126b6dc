// The close button and the other ways out, in the window with the real transcoder on media
// this test makes: No leaves the batch converting; Yes ends our transcoder (its temporary file
// goes with it) and the program through its normal shutdown, which writes destination.ini.
// A sleep announced during a batch is answered with the message.

#include "batch/outputchoices.h"
#include "core/programversion.h"
#include "engine/conversionengine.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/mainwindowcontrols.h"
#include "mainwindow/picturebutton.h"
#include "platform/childprocess.h"
#include "platform/recordinginhibitor.h"
#include "platform/recordingnotifier.h"
#include "sources/filelist.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testwindow.h"
#include "windowwaits.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kMp3 = 5;

// The names of this process's children that are still there (zombies included: not reaped),
// but for the idle probe workers adding left (they end by themselves a while later).
QStringList childrenOfThisProcess()
{
    QStringList names;
    const QString self = QString::number(::getpid());
    for (const QString &pid : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        const QString stat = QString::fromUtf8(TestFiles::read(u"/proc/"_s + pid + u"/stat"_s));
        const qsizetype close = stat.lastIndexOf(u')');
        if (close < 0)
            continue;
        const QStringList fields = stat.mid(close + 2).split(u' ');
        if (fields.size() > 1 && fields[1] == self
            && !TestFiles::read(u"/proc/"_s + pid + u"/cmdline"_s).contains("-probeworker"))
            names << stat.mid(stat.indexOf(u'(') + 1, close - stat.indexOf(u'(') - 1);
    }
    return names;
}

} // namespace

class TestClosePath : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_out;
    QString m_long;
    TestWindow m_window;
    RecordingInhibitor *m_inhibitor = nullptr;

    QString historyPath() const
    {
        return m_root.filePath(u"home/Documents/TOLM/TOLM Audio Converter/profile/destination.ini"_s);
    }
    QStringList outputFiles() const { return QDir(m_out).entryList(QDir::Files | QDir::Hidden); }
    // Presses Start from the event loop, as a click does, and closes when the first row runs.
    void startThenClose(int afterMs)
    {
        connect(&m_window->queue(), &ConversionEngine::rowStarted, this,
            [this, afterMs] { QTimer::singleShot(afterMs, m_window.form(), &TForm1::closeBtnClick); });
        QTimer::singleShot(0, m_window.form(), &TForm1::startButtonClick);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(!TestFiles::useFreshHome(m_root.path()).isEmpty());
        ChildProcess::setProgramFolder(kProgramDir);
        // Three minutes of a tone: long enough to be cut in the middle.
        m_long = m_root.filePath(u"long tone.wav"_s);
        QVERIFY(TestMedia::writeWav(
            m_long, 22050, 1, 22050 * 180, [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.06); }));
    }

    void init()
    {
        m_window.open(kProgramDir, TestWindow::LogWindow::None, [this](TForm1 &form) {
            auto inhibitor = std::make_unique<RecordingInhibitor>();
            m_inhibitor = inhibitor.get();
            form.setDesktopGuards(std::move(inhibitor), std::make_unique<RecordingNotifier>());
        });
        m_out = m_root.filePath(u"out-"_s + QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(m_window.useOutputFolder(m_out));
        m_window->controls().output.profileBox->setCurrentIndex(kMp3);
        Q_EMIT m_window->filesDropped({ m_long });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(m_window->fileList().rowCount(), 1);
    }

    void cleanup() { m_window.close(); }

    void closeAnsweredNoLeavesTheBatchConverting()
    {
        m_window.dialogs.answers.enqueue(DialogAnswer::No);
        startThenClose(300);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->fileList().status(0).isDone(), 120000); // "100%" shows before the output is checked
        QCOMPARE(m_window.dialogs.calls.size(), 1);
        const MessageRequest question = m_window.dialogs.calls.first().message;
        QCOMPARE(question.text,
            u"The current conversion will fail if you exit TOLM Audio Converter now.\n\nDo you want to continue?"_s);
        QCOMPARE(question.icon, DialogIcon::Question);
        QCOMPARE(question.buttons, DialogButtons::YesNo);
        QCOMPARE(question.placement, DialogPlacement::ConfirmOffset);
        QVERIFY(m_window->isVisible());
        QVERIFY(QFile::exists(m_out + u"/long tone.mp3"_s));
        QCOMPARE(m_inhibitor->steps.size(), 3); // held through the question, given back at the end
    }

    void closeAnsweredYesEndsEverythingAndSaves()
    {
        QVERIFY(QFile::remove(historyPath())); // made at start-up; the shutdown makes it again
        m_window.dialogs.answers.enqueue(DialogAnswer::Yes);
        qint64 transcoder = 0;
        connect(&m_window->queue(), &ConversionEngine::rowStarted, this,
            [&] { transcoder = m_window->queue().transcoderProcessId(0); });
        startThenClose(500);
        // The program's own loop: Yes ends it.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
        giveUp.start(60000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(transcoder > 0);
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_window->fileList().status(0).text() != u"100%"_s);
        QCOMPARE(m_inhibitor->steps.last(), u"release"_s);
        m_window.close(); // what main() does after its loop
        // Killed outright, an idle probe worker is reaped once the loop hears it has gone.
        QTRY_COMPARE_WITH_TIMEOUT(
            childrenOfThisProcess().filter(QRegularExpression(u"^(sonmill|mirplay)$"_s)), QStringList(), 5000);
        QVERIFY(!QFile::exists(u"/proc/%1"_s.arg(transcoder)));
        QCOMPARE(outputFiles(), QStringList()); // neither the temporary file nor the final name
        QVERIFY(QFile::exists(historyPath()));
        QVERIFY(TestFiles::read(historyPath()).contains(QFile::encodeName(m_root.filePath(u"home/TOLM"_s))));
    }

    // The desktop's own close (window list, shortcut) asks the same question.
    void windowCloseFromOutsideAsksToo()
    {
        m_window.dialogs.answers.enqueue(DialogAnswer::No);
        bool stillShown = false;
        connect(&m_window->queue(), &ConversionEngine::rowStarted, this, [this, &stillShown] {
            QTimer::singleShot(300, this, [this, &stillShown] { stillShown = !m_window->close(); });
        });
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QVERIFY(stillShown);
        QCOMPARE(m_window.dialogs.calls.size(), 1);
        QCOMPARE(m_window.dialogs.calls.first().message.text, TForm1::closeQuestionText());
        QCOMPARE(m_window->fileList().status(0).text(), u"100%"_s);
        QVERIFY(m_window->isVisible());
    }

    // Stop with several rows converting: the call returns with the rows Stopped and the batch
    // over, before any transcoder has gone (nothing waited for them); they go afterwards, each
    // with its temporary file, and nothing is left under a final name.
    void stopDoesNotWaitForTheTranscoders_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("2 rows") << 2;
        QTest::newRow("4 rows") << 4;
    }
    void stopDoesNotWaitForTheTranscoders()
    {
        QFETCH(int, rows);
        for (int row = 1; row < rows; ++row)
            Q_EMIT m_window->filesDropped({ m_long });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(m_window->fileList().rowCount(), rows);
        ConversionEngine &queue = m_window->queue();
        queue.setSimultaneous(rows);
        QSignalSpy finished(&queue, &ConversionEngine::queueFinished);
        QSignalSpy gone(&queue, &ConversionEngine::childrenGone);
        m_window->startButtonClick();
        QTRY_COMPARE_WITH_TIMEOUT(queue.runningCount(), rows, 20000);
        // Each has begun writing its temporary file.
        QTRY_COMPARE_WITH_TIMEOUT(outputFiles().size(), rows, 20000);
        const std::vector<qint64> transcoders = queue.transcoderProcessIds();

        queue.abandon();
        QCOMPARE(finished.size(), 1);
        QVERIFY(queue.wasAbandoned());
        QCOMPARE(queue.runningCount(), 0);
        QCOMPARE(queue.endingCount(), rows);
        QVERIFY(gone.isEmpty());
        for (int row = 0; row < rows; ++row)
            QCOMPARE(m_window->fileList().status(row).state, RowState::Stopped);

        QVERIFY(gone.wait(10000));
        QCOMPARE(queue.endingCount(), 0);
        for (const qint64 pid : transcoders)
            QVERIFY(!QFile::exists(u"/proc/%1"_s.arg(pid)));
        QCOMPARE(outputFiles(), QStringList());
        QCOMPARE(childrenOfThisProcess().filter(QRegularExpression(u"^sonmill$"_s)), QStringList());
    }

    // Stop, asked with Esc or a press on the busy Start button: No goes on; Yes ends the running
    // row's transcoder and its partial file, the row is ready again, a finished row stays
    // finished and no after-done action follows.
    void stopFromTheWindow()
    {
        QVERIFY(TestMedia::writeWav(m_root.filePath(u"short.wav"_s), 22050, 1, 22050,
            [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.05); }));
        Q_EMIT m_window->filesDropped({ m_root.filePath(u"short.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        m_window->fileList().moveRowTo(1, 0); // the short file first: it finishes
        m_window->outputChoices().setAfterDone(1); // "Browse Output", which must not follow
        ConversionEngine &queue = m_window->queue();
        QSignalSpy gone(&queue, &ConversionEngine::childrenGone);
        m_window->startButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->fileList().status(0).isDone(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(queue.runningCount(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(outputFiles().size(), 2, 20000); // the long row's file has begun

        m_window.dialogs.answers.enqueue(DialogAnswer::No);
        QTest::keyClick(m_window.form(), Qt::Key_Escape);
        QCOMPARE(m_window.dialogs.messageTexts(), QStringList { u"Stop the conversion?"_s });
        QCOMPARE(m_window.dialogs.calls.last().message.buttons, DialogButtons::YesNo);
        QVERIFY(queue.isRunning());

        PictureButton *start = m_window->controls().output.startButton;
        QVERIFY(!start->isEnabled()); // busy, as it always is while a row converts
        m_window.dialogs.answers.enqueue(DialogAnswer::Yes);
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(m_window.dialogs.messageTexts().size(), 2);
        QVERIFY(!queue.isRunning());
        QVERIFY(gone.wait(10000));
        QCOMPARE(m_window->fileList().status(0).text(), u"100%"_s);
        QCOMPARE(m_window->fileList().status(1).text(), u"ready"_s);
        QCOMPARE(outputFiles(), QStringList { u"short.mp3"_s });
        QTest::qWait(100);
        QVERIFY(m_window.desktop.opened.isEmpty()); // no after-done action
        QVERIFY(start->isEnabled());
        QTest::keyClick(m_window.form(), Qt::Key_Escape); // nothing runs: nothing is asked
        QCOMPARE(m_window.dialogs.messageTexts().size(), 2);
    }

    void closeWithNothingConvertingAsksNothing()
    {
        m_window->closeBtnClick();
        QVERIFY(m_window.dialogs.calls.isEmpty());
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_window->fileList().status(0).text(), u"ready"_s);
    }

    void sleepDuringABatchIsAnsweredWithTheMessage()
    {
        connect(&m_window->queue(), &ConversionEngine::rowStarted, this,
            [this] { QTimer::singleShot(200, m_inhibitor, &RecordingInhibitor::announceSleep); });
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(m_window->fileList().status(0).text(), u"100%"_s);
        QCOMPARE(m_window.dialogs.messageTexts(),
            QStringList(
                { u"TOLM Audio Converter  " TOLM_PROGRAM_VERSION " is running!\n\nNO Hiberate or Standby!"_s }));
        QCOMPARE(m_window.dialogs.calls.first().message.caption, u"System Message"_s);
        m_inhibitor->announceSleep(); // idle now: no message
        QCOMPARE(m_window.dialogs.calls.size(), 1);
        QVERIFY(!m_window->conversionRunning());
    }
};

QTEST_MAIN(TestClosePath)
#include "tst_closepath.moc"
