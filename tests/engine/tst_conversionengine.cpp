// The conversion engine's reading of the transcoder's text and its batches of one or several
// rows at once, with a scripted stand-in transcoder (tests/engine/standin/sonmill) whose
// behaviour each row picks by its input name. Conversions with the real transcoder are tested
// end to end elsewhere.

#include "batch/queuerows.h"
#include "core/logsink.h"
#include "engine/conversionengine.h"
#include "engine/rowrefusal.h"
#include "engine/transcodertext.h"
#include "platform/childprocess.h"
#include "recordinglog.h"
#include "testjobs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

struct Row
{
    QueueRows::RowId id = 0;
    TStartRecord job;
    RowStatus status;
    QStringList statuses; // every Status text shown, in order
    QString destination;
};

// A status as the Status column shows it, for a row that stands there before a batch.
RowStatus statusShown(const QString &text)
{
    if (text == u"100%"_s)
        return RowStatus::in(RowState::Done);
    if (text == u" -  -  -  "_s)
        return RowStatus::failed(u"earlier"_s);
    if (text.endsWith(u'%'))
        return { RowState::Stopped, text.chopped(1).toInt(), {}, 0 };
    return {};
}

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
    RowStatus status(int row) const override { return rows[row].status; }
    void setStatus(int row, const RowStatus &status) override
    {
        Row &r = rows[row];
        if (status == r.status)
            return;
        r.status = status;
        if (status.text() != r.statuses.last())
            r.statuses << status.text();
        if (onStatus)
            onStatus(row);
    }
    TStartRecord &job(int row) override { return rows[row].job; }
    void setDestination(int row, const QString &fileName) override { rows[row].destination = fileName; }
};

} // namespace

class TestConversionEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_out;
    FakeRows m_rows;
    RecordingLog m_log;
    std::unique_ptr<ConversionEngine> m_queue;
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
        row.status = statusShown(status);
        row.statuses << status;
        m_rows.rows.push_back(row);
    }
    QStringList statuses(int row) const { return m_rows.rows[row].statuses.mid(1); }

    // Starts a batch and waits for its end; true when it was not abandoned.
    bool runBatch(int timeoutMs = 20000)
    {
        QSignalSpy finished(m_queue.get(), &ConversionEngine::queueFinished);
        if (!m_queue->start())
            return false;
        if (finished.isEmpty() && !finished.wait(timeoutMs))
            return false;
        return !m_queue->wasAbandoned();
    }

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/engine/standin")); }

    void init()
    {
        m_rows = {};
        m_log = {};
        m_progress.clear();
        m_queue = std::make_unique<ConversionEngine>(m_rows, m_log);
        connect(m_queue.get(), &ConversionEngine::progressChanged, this, [this](int p) { m_progress << p; });
    }

    void successfulRowsGoFromZeroToDone()
    {
        addRow(u"ok-a"_s);
        addRow(u"ok-b"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"12%"_s, u"38%"_s, u"100%"_s }));
        QCOMPARE(statuses(1), QStringList({ u"0%"_s, u"12%"_s, u"38%"_s, u"100%"_s }));
        QVERIFY(m_log.text().contains(u"Duration: 00:00:08.00"_s));
        QCOMPARE(m_log.text().count(u"global"_s), 2);
        // Each row's text follows the window's own line naming it.
        const qsizetype first
            = m_log.text().indexOf(u"\nConverting \"/scripted/ok-a\" to \"%1\"\n"_s.arg(m_out.filePath(u"ok-a.mp3"_s)));
        const qsizetype second
            = m_log.text().indexOf(u"\nConverting \"/scripted/ok-b\" to \"%1\"\n"_s.arg(m_out.filePath(u"ok-b.mp3"_s)));
        QVERIFY2(first == 0 && second > m_log.text().indexOf(u"global"_s), qPrintable(m_log.text()));
        QVERIFY(m_queue->convFinished());
        QVERIFY(!m_queue->isRunning());
        QVERIFY(m_progress.contains(3) && m_progress.contains(100));
        QCOMPARE(m_progress.last(), 0);
    }

    // tolm-convert's batch grows while its files are examined: rows appended to the running
    // batch convert in turn, and the batch ends only once no more may come.
    void appendedRowsConvertAndTheBatchEndsWhenNoMoreMayCome()
    {
        QSignalSpy finished(m_queue.get(), &ConversionEngine::queueFinished);
        m_queue->setMoreToCome(true);
        QVERIFY(m_queue->start(std::vector<QueueRows::RowId> {}));
        QVERIFY(!finished.wait(300)); // dry, but more may come
        QVERIFY(m_queue->isRunning());
        addRow(u"ok-a"_s);
        m_queue->append({ m_rows.rowId(0) });
        QTRY_COMPARE_WITH_TIMEOUT(m_rows.rows[0].status.state, RowState::Done, 10000);
        QVERIFY(finished.isEmpty());
        addRow(u"ok-b"_s);
        addRow(u"ok-c"_s);
        m_queue->append({ m_rows.rowId(2), m_rows.rowId(1) });
        m_queue->setMoreToCome(false);
        QVERIFY(finished.wait(20000));
        QVERIFY(!m_queue->wasAbandoned());
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QCOMPARE(statuses(2).last(), u"100%"_s);
        // In the order appended.
        QVERIFY(m_log.text().indexOf(u"ok-c"_s) < m_log.text().indexOf(u"ok-b"_s));
        m_queue->append({ m_rows.rowId(0) }); // after the end: no batch to join
        QVERIFY(!m_queue->isRunning());
    }

    void doneRowsAreSkippedAndOthersConvertAgain()
    {
        addRow(u"ok-done"_s, u"00:00:08"_s, u"100%"_s);
        addRow(u"ok-failed-before"_s, u"00:00:08"_s, u" -  -  -  "_s);
        addRow(u"ok-half-before"_s, u"00:00:08"_s, u"50%"_s);
        QVERIFY(runBatch());
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
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"50%"_s, u" -  -  -  "_s }));
        QCOMPARE(m_rows.rows[0].status.state, RowState::Failed);
        QCOMPARE(m_rows.rows[0].status.reason, u"Error while decoding frame, going on"_s);
        QCOMPARE(statuses(1).last(), u"100%"_s);
        // The stand-in keeps going for three more seconds; the queue did not wait for it.
        QVERIFY2(clock.elapsed() < 2900, qPrintable(QString::number(clock.elapsed())));
    }

    void summaryAndErrorWordInOneReadIsAFailure()
    {
        addRow(u"both-in-one"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u" -  -  -  "_s }));
    }

    void bitrateBeforeTimeGivesNoProgressForThatRead()
    {
        addRow(u"bitrate-first"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"75%"_s, u"100%"_s }));
        QVERIFY(!m_progress.contains(5));
    }

    void percentagesGoBeyondTheLength()
    {
        addRow(u"beyond-length"_s, u"00:00:04"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"200%"_s, u"100%"_s }));
    }

    void silentDeathFailsTheRowAndTheQueueGoesOn()
    {
        addRow(u"silent-death"_s);
        addRow(u"ok-after"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u" -  -  -  "_s }));
        QCOMPARE(statuses(1).last(), u"100%"_s);
    }

    void lengthThatIsNoTimeCodeStillConvertsWithoutPercentages()
    {
        addRow(u"ok-unknown-length"_s, u"--:--:--"_s);
        int total = -1;
        connect(m_queue.get(), &ConversionEngine::rowStarted, this, [&](int, int seconds) { total = seconds; });
        QVERIFY(runBatch());
        QCOMPARE(total, 0);
        QCOMPARE(statuses(0), QStringList({ u"0%"_s, u"100%"_s }));
        QVERIFY(m_progress.contains(3)); // the bar still follows the position
    }

    // Which rows are refused before a transcoder starts.
    void rowRefusal_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<bool>("refused");
        QTest::newRow("whole file") << u"00:00:00"_s << u"00:03:00"_s << u"00:03:00"_s << false;
        QTest::newRow("trimmed") << u"00:01:00"_s << u"00:00:01"_s << u"00:03:00"_s << false;
        QTest::newRow("zero-length trim") << u"00:01:00"_s << u"00:00:00"_s << u"00:03:00"_s << true;
        QTest::newRow("zero-length trim at the start") << u"00:00:00"_s << u"00:00:00"_s << u"00:03:00"_s << true;
        QTest::newRow("zero-length trim, length unknown") << u"00:00:05"_s << u"00:00:00"_s << u"--:--:--"_s << true;
        QTest::newRow("source under a second") << u"00:00:00"_s << u"00:00:00"_s << u"00:00:00"_s << false;
        QTest::newRow("length unknown") << u"00:00:00"_s << u"--:--:--"_s << u"--:--:--"_s << false;
        QTest::newRow("length empty") << u"00:00:00"_s << QString() << QString() << false;
    }
    void rowRefusal()
    {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(QString, duration);
        QFETCH(bool, refused);
        TStartRecord job = TestJobs::source(u"/music/some song.flac"_s, duration, start);
        job.Length = length; // also an empty one
        const std::optional<QString> refusal = RowRefusal(job);
        QCOMPARE(refusal.has_value(), refused);
        if (refused) {
            QVERIFY2(refusal->contains(u"\"some song.flac\" is 0 seconds long"_s), qPrintable(*refusal));
            QVERIFY(refusal->contains(start));
        }
    }

    // A zero-length trim fails at Start with the reason in the log: no transcoder, no file,
    // and the rows after it still convert.
    void zeroLengthTrimFailsWithoutATranscoder()
    {
        addRow(u"ok-zero"_s, u"00:00:00"_s);
        m_rows.rows[0].job.StartTime = u"00:00:04"_s;
        m_rows.rows[0].job.Duration = u"00:00:08"_s;
        addRow(u"ok-after"_s);
        QList<int> started;
        QList<int> ended;
        connect(m_queue.get(), &ConversionEngine::rowStarted, this, [&](int row) { started << row; });
        connect(m_queue.get(), &ConversionEngine::rowEnded, this, [&](int row) { ended << row; });
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u" -  -  -  "_s }));
        QCOMPARE(m_rows.rows[0].status.state, RowState::Refused);
        QVERIFY(m_rows.rows[0].status.reason.startsWith(u"Not converted: "_s));
        QVERIFY(!QFile::exists(m_rows.rows[0].job.OutputPath.text()));
        QVERIFY(m_log.text().contains(u"Not converted: the range chosen in Trim for \"ok-zero\" is 0 seconds long"_s));
        QCOMPARE(started, QList<int>({ 1 }));
        QCOMPARE(ended, QList<int>({ 0, 1 }));
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QVERIFY(QFile::exists(m_rows.rows[1].job.OutputPath.text()));
    }

    // A transcoder that is not there fails the start at once; one that is there but cannot be
    // run (not a program the system can load) fails it a moment later, with the same outcome.
    void missingTranscoderKeepsTheStatusAndGoesOn_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("missing") << false;
        QTest::newRow("cannot be run") << true;
    }
    void missingTranscoderKeepsTheStatusAndGoesOn()
    {
        QFETCH(bool, present);
        ChildProcess::setProgramFolder(m_out.path()); // no stand-in here, and none on PATH
        if (present) {
            QFile broken(m_out.filePath(u"sonmill"_s));
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write("\x7f"
                         "ELF, but no program");
            broken.close();
            broken.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        addRow(u"ok-cannot-start"_s);
        QStringList failures;
        connect(m_queue.get(), &ConversionEngine::startFailed, this, [&](const QString &e) { failures << e; });
        QVERIFY(runBatch());
        qputenv("PATH", path);
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/engine/standin"));
        QFile::remove(m_out.filePath(u"sonmill"_s));
        QCOMPARE(failures.size(), 1);
        QVERIFY(!failures.first().isEmpty());
        if (!present)
            QCOMPARE(statuses(0), QStringList());
        QCOMPARE(m_rows.rows[0].status.state, RowState::Waiting);
        QVERIFY(!m_queue->convFinished()); // as before: only a later row's end sets it again
    }

    void rowsAddedDuringTheRunWaitForTheNextRun()
    {
        addRow(u"ok-first"_s);
        m_rows.onStatus = [this](int row) {
            if (row == 0 && m_rows.rows.size() == 1)
                addRow(u"ok-added-late"_s);
        };
        QVERIFY(runBatch());
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
        connect(m_queue.get(), &ConversionEngine::rowStarted, this, [&started](int row) { started << row; });
        QVERIFY(runBatch());
        m_rows.onStatus = {};
        QVERIFY(removed);
        QCOMPARE(m_rows.rows[0].job.SourcePath, u"/scripted/ok-converting"_s);
        QCOMPARE(statuses(0).last(), u"100%"_s);
        QVERIFY(statuses(0).contains(u"38%"_s)); // time=3.00 of 8 s, written after the removal
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QCOMPARE(started, QList<int>({ 1, 1 }));
        QCOMPARE(m_queue->convRow(), 1);
    }

    // While the start gate is shut (the window shuts it while a box is open) the running row is
    // still followed and can end, but the next row starts only once the gate opens again.
    void shutGateHoldsTheNextRowButFollowsTheRunningOne()
    {
        addRow(u"ok-under-dialog"_s);
        addRow(u"ok-after-dialog"_s);
        QElapsedTimer clock;
        bool boxOpen = false;
        qint64 firstEnded = -1, secondStarted = -1, boxClosed = -1;
        m_queue->setStartGate([&boxOpen] { return !boxOpen; });
        connect(m_queue.get(), &ConversionEngine::rowEnded, this, [&](int row) {
            if (row == 0)
                firstEnded = clock.elapsed();
        });
        connect(m_queue.get(), &ConversionEngine::rowStarted, this, [&](int row) {
            if (row == 1)
                secondStarted = clock.elapsed();
        });
        QTimer::singleShot(200, this, [&] { boxOpen = true; });
        QTimer::singleShot(2500, this, [&] {
            boxOpen = false;
            boxClosed = clock.elapsed();
        });
        clock.start();
        QVERIFY(runBatch());
        QCOMPARE(statuses(0).last(), u"100%"_s);
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QVERIFY2(firstEnded > 0 && firstEnded < boxClosed, qPrintable(u"%1 %2"_s.arg(firstEnded).arg(boxClosed)));
        QVERIFY(secondStarted >= boxClosed);
    }

    // start() returns at once: the batch goes on in the caller's event loop, and its end is a
    // signal. A second start while it runs does nothing.
    void startReturnsAtOnceAndASecondStartIsRefused()
    {
        addRow(u"slow-returns"_s);
        QSignalSpy finished(m_queue.get(), &ConversionEngine::queueFinished);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_queue->start());
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(m_queue->isRunning());
        QVERIFY(!m_queue->start());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(statuses(0).last(), u"100%"_s);
    }

    void abandonedRunEndsItsTranscoderAndStartsNoOtherRow()
    {
        addRow(u"slow-abandoned"_s); // runs for three seconds
        addRow(u"ok-never"_s);
        QTimer::singleShot(600, this, [this] { m_queue->abandon(); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!runBatch());
        QVERIFY(m_queue->wasAbandoned());
        QVERIFY(clock.elapsed() < 2500);
        QCOMPARE(statuses(1), QStringList());
        QVERIFY(m_queue->transcoderProcessIds().empty());
        // Given up is neither done nor failed: both convert at the next Start.
        QCOMPARE(m_rows.rows[0].status.state, RowState::Stopped);
        QCOMPARE(m_rows.rows[1].status.state, RowState::Ready);
    }

    void takenOutputNameIsRenamedAndShown()
    {
        addRow(u"ok-taken"_s);
        QFile taken(m_rows.rows[0].job.OutputPath);
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("keep me");
        taken.close();
        QVERIFY(runBatch());
        QCOMPARE(m_rows.rows[0].destination, u"ok-taken-1.mp3"_s);
        QVERIFY(m_log.text().startsWith(u"\nConverting \"/scripted/ok-taken\" to \"%1\"\n"_s.arg(
            m_out.filePath(u"ok-taken-1.mp3"_s)))); // the name it was given
        QCOMPARE(QString(m_rows.rows[0].job.OutputPath), m_out.filePath(u"ok-taken-1.mp3"_s));
        QVERIFY(taken.open(QIODevice::ReadOnly));
        QCOMPARE(taken.readAll(), QByteArray("keep me"));
    }

    // Words split between two reads of the pipe are still seen: the summary, and an error.
    void wordsSplitBetweenReadsAreJudgedWhole()
    {
        addRow(u"split-word"_s);
        addRow(u"split-error"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0).last(), u"100%"_s);
        QCOMPARE(statuses(1).last(), u" -  -  -  "_s);
    }

    // A summary followed by a non-zero exit is no success: the exit status is a second word.
    void nonZeroExitAfterTheSummaryFailsTheRow()
    {
        addRow(u"summary-then-exit"_s);
        QVERIFY(runBatch());
        QCOMPARE(statuses(0).last(), u" -  -  -  "_s);
        QVERIFY(m_log.text().contains(u"The transcoder reported an error when it ended."_s));
    }

    // Two at once: both rows run side by side, each with its own percentage; the log keeps each
    // transcoder's text together under a line naming its row; rows bound for the same name
    // never both take it.
    void twoAtOnceRunSideBySideWithTheirOwnTextsAndNames()
    {
        m_queue->setSimultaneous(2);
        addRow(u"pair-a"_s);
        addRow(u"pair-b"_s);
        addRow(u"pair-c"_s);
        m_rows.rows[1].job.OutputPath = m_rows.rows[0].job.OutputPath; // both bound for pair-a.mp3
        int mostAtOnce = 0;
        connect(m_queue.get(), &ConversionEngine::rowStarted, this,
            [&] { mostAtOnce = qMax(mostAtOnce, m_queue->runningCount()); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(runBatch());
        QCOMPARE(mostAtOnce, 2);
        QVERIFY2(clock.elapsed() < 3300, qPrintable(QString::number(clock.elapsed()))); // one at a time: 3.6 s
        for (int row = 0; row < 3; ++row)
            QCOMPARE(statuses(row), QStringList({ u"0%"_s, u"50%"_s, u"100%"_s }));
        QCOMPARE(QString(m_rows.rows[0].job.OutputPath), m_out.filePath(u"pair-a.mp3"_s));
        QCOMPARE(QString(m_rows.rows[1].job.OutputPath), m_out.filePath(u"pair-a-1.mp3"_s));
        QCOMPARE(m_rows.rows[1].destination, u"pair-a-1.mp3"_s);
        // Each row's text in one piece: its heading, then its own lines up to its summary.
        for (const QString &name : { u"pair-a"_s, u"pair-b"_s, u"pair-c"_s }) {
            const qsizetype heading = m_log.text().indexOf(u"\nConverting \"/scripted/"_s + name + u"\" to \""_s);
            QVERIFY2(heading >= 0, qPrintable(m_log.text()));
            const qsizetype next = m_log.text().indexOf(u"\nConverting"_s, heading + 4);
            const QString block = m_log.text().mid(heading, next < 0 ? -1 : next - heading);
            QCOMPARE(block.count(u"Duration:"_s), 1);
            QCOMPARE(block.count(u"global"_s), 1);
        }
        QCOMPARE(m_queue->batchDoneSeconds(), 24);
    }

    // A refusal decided before the start fails the row without a transcoder.
    void rowCheckRefusesARowWithoutStartingIt()
    {
        addRow(u"ok-refused"_s);
        addRow(u"ok-allowed"_s);
        m_queue->setRowCheck([](const TStartRecord &job) -> std::optional<QString> {
            if (job.SourcePath.endsWith(u"refused"))
                return u"This row cannot be converted."_s;
            return std::nullopt;
        });
        QList<bool> ends;
        connect(m_queue.get(), &ConversionEngine::rowEnded, this, [&](int, bool converted) { ends << converted; });
        QVERIFY(runBatch());
        QCOMPARE(statuses(0), QStringList({ u" -  -  -  "_s }));
        QCOMPARE(statuses(1).last(), u"100%"_s);
        QCOMPARE(ends, QList<bool>({ false, true }));
        QVERIFY(m_log.text().contains(u"This row cannot be converted."_s));
        QVERIFY(!QFile::exists(m_rows.rows[0].job.OutputPath));
    }

    // The engine going away (the program ending) ends the transcoders it started: asked,
    // not waited for, and reaped once they have gone.
    void destroyingTheEngineEndsItsTranscoders()
    {
        addRow(u"slow-at-exit"_s);
        QVERIFY(m_queue->start());
        const std::vector<qint64> ids = m_queue->transcoderProcessIds();
        QCOMPARE(ids.size(), size_t(1));
        m_queue.reset();
        QVERIFY(ChildProcess::runningCount() >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(u"/proc/%1/cmdline"_s.arg(ids.front())), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(ChildProcess::runningCount(), 0, 5000);
    }
};

QTEST_GUILESS_MAIN(TestConversionEngine)
#include "tst_conversionengine.moc"
