// The guards around a batch: the answers to a sleep or the end of the session, the locks
// taken and given back by the queue's run (recording back-end, scripted stand-in transcoder),
// the logind back-end against a mocked logind and the batch notification against a mocked
// notification service, each on a private bus this test starts and ends.

#include "batch/queuerows.h"
#include "core/logsink.h"
#include "dbusmock.h"
#include "engine/batchnotice.h"
#include "engine/conversionengine.h"
#include "engine/sessionguard.h"
#include "loginlocks.h"
#include "platform/childprocess.h"
#include "platform/dbusnotifier.h"
#include "platform/logindinhibitor.h"
#include "platform/recordinginhibitor.h"
#include "platform/recordingnotifier.h"
#include "recordinglog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class Rows : public QueueRows
{
public:
    struct Row
    {
        TStartRecord job;
        RowStatus status;
    };
    std::vector<Row> rows;

    int rowCount() const override { return int(rows.size()); }
    RowId rowId(int row) const override { return RowId(row + 1); }
    int rowOfId(RowId id) const override { return int(id) - 1 < rowCount() ? int(id) - 1 : -1; }
    RowStatus status(int row) const override { return rows[row].status; }
    void setStatus(int row, const RowStatus &status) override { rows[row].status = status; }
    TStartRecord &job(int row) override { return rows[row].job; }
    void setDestination(int, const QString &) override { }
};

QDBusMessage mockCall(const QString &service, const QString &path, const QString &method)
{
    return QDBusMessage::createMethodCall(service, path, u"org.freedesktop.DBus.Mock"_s, method);
}

// Runs a batch and waits for its end.
void runToEnd(ConversionEngine &engine)
{
    QSignalSpy finished(&engine, &ConversionEngine::queueFinished);
    if (engine.start() && finished.isEmpty())
        QVERIFY(finished.wait(20000));
}

} // namespace

class TestSessionGuard : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_logind;
    QProcess m_notifications;
    Rows m_rows;
    RecordingLog m_log;

    void addRow(const QString &script)
    {
        Rows::Row row;
        row.job.SourcePath = u"/scripted/"_s + script;
        row.job.StartTime = u"00:00:00"_s;
        row.job.Length = u"00:00:08"_s;
        row.job.Extension = u".mp3"_s;
        row.job.OutputPath = m_dir.filePath(script + u".mp3"_s);
        row.job.AudioCodec = u"mp3"_s;
        m_rows.rows.push_back(row);
    }

    bool startMock(QProcess &mock, const QString &templateName, const QString &service)
    {
        return DbusMock::start(mock, QDBusConnection(u"mock"_s), m_busAddress, templateName,
            m_dir.filePath(templateName + u".log"_s), service);
    }
    QString mockLog(const QString &templateName) const
    {
        QFile log(m_dir.filePath(templateName + u".log"_s));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QString m_busAddress;

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/engine/standin")); }

    void init() { m_rows = {}; }

    void answers_data()
    {
        QTest::addColumn<bool>("session");
        QTest::addColumn<bool>("converting");
        QTest::addColumn<bool>("allow");
        QTest::addColumn<bool>("stopPreview");
        QTest::addColumn<bool>("bringToFront");
        QTest::addColumn<QString>("message");
        QTest::newRow("sleep while idle") << false << false << true << true << false << QString();
        QTest::newRow("sleep while converting") << false << true << false << false << true << LoginLocks::sleepReason();
        QTest::newRow("session end while idle") << true << false << true << true << false << QString();
        QTest::newRow("session end while converting")
            << true << true << false << false << false << LoginLocks::shutdownReason();
    }
    void answers()
    {
        QFETCH(bool, session);
        QFETCH(bool, converting);
        QFETCH(QString, message);
        const GuardAnswer answer = session ? AnswerSessionEnd(converting) : AnswerPowerChange(converting);
        QTEST(answer.allow, "allow");
        QTEST(answer.stopPreview, "stopPreview");
        QTEST(answer.bringToFront, "bringToFront");
        QCOMPARE(answer.message.has_value(), !message.isEmpty());
        if (answer.message) {
            QCOMPARE(answer.message->text, message);
            QCOMPARE(answer.message->caption, u"System Message"_s);
            QCOMPARE(answer.message->icon, DialogIcon::Warning);
            QCOMPARE(answer.message->buttons, DialogButtons::Ok);
            QCOMPARE(answer.message->placement, DialogPlacement::ScreenCentre);
        }
    }

    // The locks are held exactly while the queue runs, however its run ends.
    void locksFollowTheRun_data()
    {
        QTest::addColumn<QStringList>("scripts");
        QTest::addColumn<bool>("abandonMidway");
        QTest::addColumn<QStringList>("ended");
        QTest::newRow("two rows to the end")
            << QStringList { u"ok-a"_s, u"ok-b"_s } << false << QStringList { u"100%"_s, u"100%"_s };
        QTest::newRow("a transcoder that dies")
            << QStringList { u"silent-a"_s } << false << QStringList { u" -  -  -  "_s };
        QTest::newRow("abandoned") << QStringList { u"slow-a"_s, u"ok-b"_s } << true
                                   << QStringList { u"0%"_s, u"ready"_s };
    }
    void locksFollowTheRun()
    {
        QFETCH(QStringList, scripts);
        QFETCH(bool, abandonMidway);
        for (const QString &script : scripts)
            addRow(script);
        ConversionEngine queue(m_rows, m_log);
        auto owned = std::make_unique<RecordingInhibitor>();
        RecordingInhibitor &inhibitor = *owned;
        SessionGuard guard(queue, std::move(owned));
        QStringList heldAtRowStart;
        connect(&queue, &ConversionEngine::rowStarted, this, [&] {
            heldAtRowStart << u"%1%2"_s.arg(int(inhibitor.holds(Inhibitor::What::Sleep)))
                                  .arg(int(inhibitor.holds(Inhibitor::What::Shutdown)));
            if (abandonMidway)
                QTimer::singleShot(0, &queue, &ConversionEngine::abandon);
        });
        runToEnd(queue);
        QCOMPARE(heldAtRowStart.first(), u"11"_s);
        QCOMPARE(inhibitor.steps,
            QStringList({ u"hold sleep: "_s + LoginLocks::sleepReason(),
                u"hold shutdown: "_s + LoginLocks::shutdownReason(), u"release"_s }));
        QVERIFY(!inhibitor.holds(Inhibitor::What::Sleep) && !inhibitor.holds(Inhibitor::What::Shutdown));
        QStringList statuses;
        for (const auto &row : m_rows.rows)
            statuses << row.status.text();
        QTEST(statuses, "ended");
    }

    void refusedLockIsLoggedAndTheRowConverts()
    {
        addRow(u"ok-a"_s);
        ConversionEngine queue(m_rows, m_log);
        auto inhibitor = std::make_unique<RecordingInhibitor>();
        inhibitor->refuse = true;
        SessionGuard guard(queue, std::move(inhibitor));
        QSignalSpy logged(&guard, &SessionGuard::logLine);
        runToEnd(queue);
        QCOMPARE(m_rows.rows[0].status.text(), u"100%"_s);
        QCOMPARE(logged.size(), 2);
        QVERIFY(logged.at(0).at(0).toString().contains(u"may sleep"_s));
        QVERIFY(logged.at(1).at(0).toString().contains(u"may shutdown"_s));
    }

    void notificationCountsTheBatch_data()
    {
        QTest::addColumn<QStringList>("scripts");
        QTest::addColumn<bool>("looking");
        QTest::addColumn<bool>("abandon");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("away, two done one failed") << QStringList { u"ok-a"_s, u"broken"_s,
            u"ok-b"_s } << false << false << QStringList { u"Conversion finished | 2 converted, 1 failed"_s };
        QTest::newRow("user looking") << QStringList { u"ok-a"_s } << true << false << QStringList();
        QTest::newRow("abandoned") << QStringList { u"slow-a"_s } << false << true << QStringList();
    }
    void notificationCountsTheBatch()
    {
        QFETCH(QStringList, scripts);
        QFETCH(bool, looking);
        QFETCH(bool, abandon);
        for (const QString &script : scripts)
            addRow(script);
        ConversionEngine queue(m_rows, m_log);
        auto owned = std::make_unique<RecordingNotifier>();
        RecordingNotifier &notifier = *owned;
        BatchNotice notice(queue, std::move(owned), [looking] { return looking; });
        if (abandon)
            connect(&queue, &ConversionEngine::rowStarted, this,
                [&queue] { QTimer::singleShot(0, &queue, &ConversionEngine::abandon); });
        runToEnd(queue);
        QTEST(notifier.shown, "shown");
        QSignalSpy activated(&notice, &BatchNotice::activated);
        notifier.click();
        QCOMPARE(activated.size(), 1);
    }

    void startPrivateBus()
    {
        m_bus.start(u"dbus-daemon"_s, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
        QVERIFY(m_bus.waitForReadyRead(10000));
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(QDBusConnection::connectToBus(m_busAddress, u"mock"_s).isConnected());
    }

    void withoutServicesNothingHappens()
    {
        QDBusConnection bus(u"mock"_s);
        LogindInhibitor inhibitor(bus);
        QVERIFY(!inhibitor.hold(Inhibitor::What::Sleep, LoginLocks::sleepReason()));
        QVERIFY2(inhibitor.errorText().contains(u"ServiceUnknown"_s), qPrintable(inhibitor.errorText()));
        QVERIFY(!inhibitor.holds(Inhibitor::What::Sleep));
        inhibitor.releaseAll();

        DBusNotifier notifier(bus);
        QSignalSpy activated(&notifier, &Notifier::activated);
        notifier.notify(u"Conversion finished"_s, u"1 converted, 0 failed"_s);
        QTest::qWait(300);
        QCOMPARE(activated.size(), 0);
    }

    void logindHoldsAndReleasesTheLocks()
    {
        QVERIFY(startMock(m_logind, u"logind"_s, u"org.freedesktop.login1"_s));
        QDBusConnection bus(u"mock"_s);
        LogindInhibitor inhibitor(bus);
        QVERIFY2(inhibitor.hold(Inhibitor::What::Sleep, LoginLocks::sleepReason()), qPrintable(inhibitor.errorText()));
        QVERIFY(inhibitor.hold(Inhibitor::What::Shutdown, LoginLocks::shutdownReason()));
        QVERIFY(inhibitor.hold(Inhibitor::What::Sleep, LoginLocks::sleepReason())); // held already: not twice
        QCOMPARE(LoginLocks::held(bus), LoginLocks::batch());
        inhibitor.releaseAll();
        QTRY_COMPARE_WITH_TIMEOUT(LoginLocks::held(bus), QStringList(), 5000);

        // A sleep logind announces anyway reaches the program.
        QSignalSpy sleeps(&inhibitor, &Inhibitor::prepareForSleep);
        for (const bool starting : { true, false }) {
            QDBusMessage emit = mockCall(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s, u"EmitSignal"_s);
            emit << u"org.freedesktop.login1.Manager"_s << u"PrepareForSleep"_s << u"b"_s
                 << QVariantList { QVariant::fromValue(QDBusVariant(starting)) };
            const QDBusMessage reply = bus.call(emit);
            QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
        }
        QTRY_COMPARE(sleeps.size(), 1); // the wake-up is not a sleep
    }

    void notificationServiceShowsAndAnswersTheClick()
    {
        QVERIFY(startMock(m_notifications, u"notification_daemon"_s, u"org.freedesktop.Notifications"_s));
        QDBusConnection bus(u"mock"_s);
        DBusNotifier notifier(bus);
        QSignalSpy activated(&notifier, &Notifier::activated);
        notifier.notify(u"Conversion finished"_s, u"2 converted, 1 failed"_s);
        QTRY_VERIFY_WITH_TIMEOUT(mockLog(u"notification_daemon"_s).contains(u"Notify"_s), 5000);
        QVERIFY2(mockLog(u"notification_daemon"_s).contains(u"\"Conversion finished\" \"2 converted, 1 failed\""_s),
            qPrintable(mockLog(u"notification_daemon"_s)));
        QTest::qWait(200); // the id of the reply

        for (const uint id : { 77u, 1u }) { // another program's notification first, then ours
            QDBusMessage emit
                = mockCall(u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s, u"EmitSignal"_s);
            emit << u"org.freedesktop.Notifications"_s << u"ActionInvoked"_s << u"us"_s
                 << QVariantList { QVariant::fromValue(QDBusVariant(id)),
                        QVariant::fromValue(QDBusVariant(u"default"_s)) };
            QCOMPARE(bus.call(emit).type(), QDBusMessage::ReplyMessage);
        }
        QTRY_COMPARE(activated.size(), 1);
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(u"mock"_s);
        for (QProcess *p : { &m_notifications, &m_logind, &m_bus }) {
            if (p->state() == QProcess::NotRunning)
                continue;
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
        }
    }
};

QTEST_GUILESS_MAIN(TestSessionGuard)
#include "tst_sessionguard.moc"
