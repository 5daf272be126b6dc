// The conversion queue's reading of the transcoder's text, with a scripted stand-in
// transcoder (tests/engine/standin/sonmill) whose behaviour each row picks by its input name.
// Conversions with the real transcoder are tested end to end elsewhere.

#include "core/logsink.h"
#include "core/queuerows.h"
#include "engine/conversionqueue.h"
#include "engine/transcodertext.h"
#include "platform/childprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

struct Row
{
    QueueRows::RowId id = 0;
    TStartRecord job;
    QStringList statuses; // every status written, in order
    QString destination;
};

class FakeRows : public QueueRows
{
public:
    std::vector<Row> rows;
    std::function<void(int)> onStatus; // lets a test act in the middle of a run

    int rowCount() const override { return int(rows.size()); }
    RowId rowId(int row) const override { return rows[row].id; }
    int rowOfId(RowId id) const override
    {
        const auto at = std::find_if(rows.begin(), rows.end(), [id](const Row &r) { return r.id == id; });
        return at == rows.end() ? -1 : int(at - rows.begin());
    }
    QString status(int row) const override { return rows[row].statuses.value(rows[row].statuses.size() - 1); }
    void setStatus(int row, const QString &status) override
    {
        rows[row].statuses << status;
        if (onStatus)
            onStatus(row);
    }
    TStartRecord &job(int row) override { return rows[row].job; }
    void setDestination(int row, const QString &fileName) override { rows[row].destination = fileName; }
};

class RecordingLog : public LogSink
{
public:
    QString text;
    void append(const QString &t, View) override { text += t; }
};

} // namespace

class TestConversionQueue : public QObject
{
    Q_OBJECT

    QTemporaryDir m_out;
    FakeRows m_rows;
    RecordingLog m_log;
    QTimer m_timer1;
    std::unique_ptr<ConversionQueue> m_queue;
    QList<int> m_progress;
    QueueRows::RowId m_lastId = 0;

    void addRow(const QString &inputName, const QString &length = u"00:00:08"_s, const QString &status = u"ready"_s)
    {
        Row row;
        row.id = ++m_lastId;
        row.job.SourcePath = u"/scripted/"_s + inputName;
        row.job.StartTime = u"00:00:00"_s;
        row.job.Length = length;
        row.job.Extension = u".mp3"_s;
        row.job.OutputPath = m_out.filePath(inputName + u".mp3"_s);
        row.job.AudioCodec = u"mp3"_s;
        row.statuses << status;
        m_rows.rows.push_back(row);
    }
    QStringList statuses(int row) const { return m_rows.rows[row].statuses.mid(1); }

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/engine/standin")); }

    void init()
    {
        m_rows = {};
        m_log = {};
        m_progress.clear();
        m_timer1.setInterval(100);
        m_queue = std::make_unique<ConversionQueue>(m_rows, m_log, m_timer1);
        connect(&m_timer1, &QTimer::timeout, m_queue.get(), &ConversionQueue::Timer1Timer);
        connect(m_queue.get(), &ConversionQueue::progressChanged, this, [this](int p) { m_progress << p; });
    }

    void successfulRowsGoFromZeroToDone()
    {
        addRow(u"ok-a"_s);
        addRow(u"ok-b"_s);
        m_queue->run();
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"12%"_s, u"38%"_s, u"100%"_s }));
        QCOMPARE(statuses(1), QStringList({ u"0%"_s, u"12%"_s, u"38%"_s, u"100%"_s }));
        QVERIFY(m_log.text.contains(u"Duration: 00:00:08.00"_s));
        QCOMPARE(m_log.text.count(u"global"_s), 2);
        // Each row's text follows the window's own line naming it.
        const qsizetype first
            = m_log.text.indexOf(u"\nConverting \"/scripted/ok-a\" to \"%1\"\n"_s.arg(m_out.filePath(u"ok-a.mp3"_s)));
        const qsizetype second
            = m_log.text.indexOf(u"\nConverting \"/scripted/ok-b\" to \"%1\"\n"_s.arg(m_out.filePath(u"ok-b.mp3"_s)));
        QVERIFY2(first == 0 && second > m_log.text.indexOf(u"global"_s), qPrintable(m_log.text));
        QVERIFY(m_queue->convFinished());
        QVERIFY(!m_timer1.isActive());
        QVERIFY(m_progress.contains(3) && m_progress.contains(100));
        QCOMPARE(m_progress.last(), 0);
    }

    void doneRowsAreSkippedAndOthersConvertAgain()
    {
        addRow(u"ok-done"_s, u"00:00:08"_s, u"100%"_s);
        addRow(u"ok-failed-before"_s, u"00:00:08"_s, u" -  -  -  "_s);
        addRow(u"ok-half-before"_s, u"00:00:08"_s, u"50%"_s);
        m_queue->run();
        QCOMPARE(statuses(0), QStringList());
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QCOMPARE(statuses(2).last(), u"100%"_s);
    }

    void errorWordMidwayEndsTheRowAndTheNextStartsAtOnce()
    {
        addRow(u"error-midway"_s);
        addRow(u"ok-next"_s);
        QElapsedTimer clock;
        clock.start();
        m_queue->run();
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"50%"_s, u" -  -  -  "_s }));
        QCOMPARE(statuses(1).last(), u"100%"_s);
        // The stand-in keeps going for three more seconds; the queue did not wait for it.
        QVERIFY2(clock.elapsed() < 2900, qPrintable(QString::number(clock.elapsed())));
    }

    void summaryAndErrorWordInOneReadIsAFailure()
    {
        addRow(u"both-in-one"_s);
        m_queue->run();
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u" -  -  -  "_s }));
    }

    void bitrateBeforeTimeGivesNoProgressForThatRead()
    {
        addRow(u"bitrate-first"_s);
        m_queue->run();
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"75%"_s, u"100%"_s }));
        QVERIFY(!m_progress.contains(5));
    }

    void percentagesGoBeyondTheLength()
    {
        addRow(u"beyond-length"_s, u"00:00:04"_s);
        m_queue->run();
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"200%"_s, u"200%"_s, u"100%"_s }));
    }

    void silentDeathFailsTheRowAndTheQueueGoesOn()
    {
        addRow(u"silent-death"_s);
        addRow(u"ok-after"_s);
        m_queue->run();
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u" -  -  -  "_s }));
        QCOMPARE(statuses(1).last(), u"100%"_s);
    }

    void lengthThatIsNoTimeCodeStillConvertsWithoutPercentages()
    {
        addRow(u"ok-unknown-length"_s, u"--:--:--"_s);
        int total = -1;
        connect(m_queue.get(), &ConversionQueue::rowStarted, this, [&](int, int seconds) { total = seconds; });
        m_queue->run();
        QCOMPARE(total, 0);
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"100%"_s }));
        QVERIFY(m_progress.contains(3)); // the bar still follows the position
    }

    void missingTranscoderKeepsTheStatusAndGoesOn()
    {
        ChildProcess::setProgramFolder(m_out.path()); // no stand-in here, and none on PATH
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        addRow(u"ok-cannot-start"_s);
        QStringList failures;
        connect(m_queue.get(), &ConversionQueue::startFailed, this, [&](const QString &e) { failures << e; });
        m_queue->run();
        qputenv("PATH", path);
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/engine/standin"));
        QCOMPARE(failures.size(), 1);
        QVERIFY(!failures.first().isEmpty());
        QCOMPARE(statuses(0), QStringList());
        QVERIFY(!m_queue->convFinished()); // as before: only a later row's end sets it again
    }

    void rowsAddedDuringTheRunWaitForTheNextRun()
    {
        addRow(u"ok-first"_s);
        m_rows.onStatus = [this](int row) {
            if (row == 0 && m_rows.rows.size() == 1)
                addRow(u"ok-added-late"_s);
        };
        m_queue->run();
        m_rows.onStatus = {};
        QCOMPARE(m_rows.rows.size(), size_t(2));
        QCOMPARE(statuses(1), QStringList());
    }

    // The row being converted is followed by its identity: when a row before it leaves the
    // list meanwhile, the progress and the end still go to the converting row, and the next
    // row to start is the one that followed it, wherever it now stands.
    void rowsFollowedByIdentityWhenIndexesChange()
    {
        addRow(u"ok-done-before"_s, u"00:00:08"_s, u"100%"_s);
        addRow(u"ok-converting"_s);
        addRow(u"ok-next"_s);
        bool removed = false;
        m_rows.onStatus = [this, &removed](int row) {
            if (!removed && row == 1 && m_rows.rows[1].statuses.last() == u"0%"_s) {
                removed = true;
                m_rows.rows.erase(m_rows.rows.begin());
            }
        };
        QList<int> started;
        connect(m_queue.get(), &ConversionQueue::rowStarted, this, [&started](int row) { started << row; });
        m_queue->run();
        m_rows.onStatus = {};
        QVERIFY(removed);
        QCOMPARE(m_rows.rows[0].job.SourcePath, u"/scripted/ok-converting"_s);
        QCOMPARE(statuses(0).last(), u"100%"_s);
        QVERIFY(statuses(0).contains(u"38%"_s)); // time=3.00 of 8 s, written after the removal
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QCOMPARE(started, QList<int>({ 1, 1 }));
        QCOMPARE(m_queue->convRow(), 1);
    }

    // A modal dialog runs its own event loop inside the queue's wait: the running row is still
    // followed and can end meanwhile, but the next row starts only once the dialog is closed.
    void modalLoopDuringTheWaitKeepsFollowingTheRow()
    {
        addRow(u"ok-under-dialog"_s);
        addRow(u"ok-after-dialog"_s);
        QElapsedTimer clock;
        qint64 firstEnded = -1, secondStarted = -1, dialogClosed = -1;
        connect(m_queue.get(), &ConversionQueue::rowEnded, this, [&](int row) {
            if (row == 0)
                firstEnded = clock.elapsed();
        });
        connect(m_queue.get(), &ConversionQueue::rowStarted, this, [&](int row) {
            if (row == 1)
                secondStarted = clock.elapsed();
        });
        QTimer::singleShot(200, this, [&] {
            QEventLoop modal;
            QTimer::singleShot(2500, &modal, &QEventLoop::quit);
            modal.exec();
            dialogClosed = clock.elapsed();
        });
        clock.start();
        m_queue->run();
        QCOMPARE(statuses(0).last(), u"100%"_s);
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QVERIFY2(firstEnded > 0 && firstEnded < dialogClosed, qPrintable(u"%1 %2"_s.arg(firstEnded).arg(dialogClosed)));
        QVERIFY(secondStarted >= dialogClosed);
    }

    void abandonedRunEndsItsTranscoderAndStartsNoOtherRow()
    {
        addRow(u"slow-abandoned"_s); // runs for three seconds
        addRow(u"ok-never"_s);
        QTimer::singleShot(600, this, [this] { m_queue->abandon(); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_queue->run());
        QVERIFY(clock.elapsed() < 2500);
        QCOMPARE(statuses(1), QStringList());
        QVERIFY(!m_timer1.isActive());
    }

    void takenOutputNameIsRenamedAndShown()
    {
        addRow(u"ok-taken"_s);
        QFile taken(m_rows.rows[0].job.OutputPath);
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("keep me");
        taken.close();
        m_queue->run();
        QCOMPARE(m_rows.rows[0].destination, u"ok-taken-1.mp3"_s);
        QVERIFY(m_log.text.startsWith(u"\nConverting \"/scripted/ok-taken\" to \"%1\"\n"_s.arg(
            m_out.filePath(u"ok-taken-1.mp3"_s)))); // the name it was given
        QCOMPARE(QString(m_rows.rows[0].job.OutputPath), m_out.filePath(u"ok-taken-1.mp3"_s));
        QVERIFY(taken.open(QIODevice::ReadOnly));
        QCOMPARE(taken.readAll(), QByteArray("keep me"));
    }

    // Start runs from the application's own event loop, which then quits: once it is quitting
    // no further event loop starts, and the run must end instead of spinning.
    void quittingTheApplicationEndsTheRun()
    {
        addRow(u"slow-at-quit"_s);
        addRow(u"ok-never"_s);
        bool completed = true;
        QTimer::singleShot(0, this, [&] { completed = m_queue->run(); });
        QTimer::singleShot(600, this, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::exec();
        QVERIFY(!completed);
        QVERIFY(clock.elapsed() < 2500);
        QCOMPARE(statuses(1), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestConversionQueue)
#include "tst_conversionqueue.moc"
