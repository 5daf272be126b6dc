// The window's adding road: files probed side by side, rows and refusals in the order given,
// never one inside another's box, long adds stopped; with the probe's stand-in transcoder
// (tests/sources/standin) and the shipped profile catalogue.

#include "batch/outputchoices.h"
#include "core/logsink.h"
#include "platform/childprocess.h"
#include "platform/dialogs.h"
#include "profiles/profilecatalogue.h"
#include "sources/filelist.h"
#include "sources/sourceadder.h"
#include "sources/sourceintake.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class NoLog : public LogSink
{
public:
    void append(const QString &, View) override { }
};

// Message boxes that stay open for a while in an event loop of their own, as real ones do:
// whatever the program does meanwhile happens inside the box.
class ModalDialogs : public Dialogs
{
public:
    int openMs = 400;
    int depth = 0;
    int deepest = 0;
    QStringList shown; // the file named by each box, in order
    std::function<void()> whileOpen; // run once, inside the first box

    DialogAnswer showMessage(QWidget *, const MessageRequest &request) override
    {
        const qsizetype quote = request.text.indexOf(u'"');
        shown << QFileInfo(request.text.mid(quote + 1, request.text.indexOf(u'"', quote + 1) - quote - 1)).fileName();
        deepest = qMax(deepest, ++depth);
        if (auto run = std::exchange(whileOpen, {}))
            QTimer::singleShot(50, run);
        QEventLoop box;
        QTimer::singleShot(openMs, &box, &QEventLoop::quit);
        box.exec();
        --depth;
        return DialogAnswer::Yes;
    }
    QStringList openFiles(QWidget *, const FileOpenRequest &) override { return {}; }
    QString chooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
};

} // namespace

class TestSourceIntake : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FileList> m_list;
    OutputChoices m_choices;
    ModalDialogs m_dialogs;
    NoLog m_log;
    std::unique_ptr<SourceAdder> m_adder;
    std::unique_ptr<SourceIntake> m_intake;

    QString media(const QString &name) const { return m_dir.filePath(name); }
    QStringList rows() const
    {
        QStringList names;
        for (int row = 0; row < m_list->rowCount(); ++row)
            names << QFileInfo(m_list->job(row).SourcePath).fileName();
        return names;
    }
    bool waitIdle(int timeoutMs = 15000)
    {
        return QTest::qWaitFor([this] { return !m_intake->isBusy(); }, timeoutMs);
    }

private Q_SLOTS:
    void initTestCase()
    {
        ChildProcess::setProgramFolder(QStringLiteral(TOLM_SOURCE_DIR "/tests/sources/standin"));
        for (const QString &name : { u"wait5-a.wav"_s, u"wait1-b.wav"_s, u"refuse-c.wav"_s, u"refuse-d.wav"_s,
                 u"wait2-e.wav"_s, u"slow-f.wav"_s }) {
            QFile file(media(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void init()
    {
        m_list = std::make_unique<FileList>();
        // The MP3 profile at Normal.
        m_choices.setProfiles(BuiltInProfileNames());
        m_choices.setProfilePosition(5);
        m_choices.setQualityPosition(1);
        m_choices.setDestinationFolder(m_dir.filePath(u"out"_s));
        QDir().mkpath(m_choices.destinationFolder());
        m_dialogs = ModalDialogs();
        m_adder = std::make_unique<SourceAdder>(*m_list, m_choices, m_dialogs, m_log,
            SourcePaths { QStringLiteral(TOLM_PROGRAM_DIR "/Config/config.ini"), media(u"userprofile.ini"_s),
                media(u"TOLM"_s), media(u"default"_s) });
        m_intake = std::make_unique<SourceIntake>(*m_adder, media(u"cache"_s));
        m_intake->setSimultaneous(3);
    }

    // Rows and refusals in the order given, whichever probe ends first, and the call returns
    // before any probe has ended.
    void rowsAndRefusalsInTheOrderGiven()
    {
        QSignalSpy finished(m_intake.get(), &SourceIntake::finished);
        m_intake->add({ media(u"wait5-a.wav"_s), media(u"refuse-c.wav"_s), media(u"wait1-b.wav"_s) });
        QVERIFY(m_intake->isBusy());
        QCOMPARE(m_list->rowCount(), 0);
        QVERIFY(waitIdle());
        QCOMPARE(rows(), QStringList({ u"wait5-a.wav"_s, u"wait1-b.wav"_s }));
        QCOMPARE(m_dialogs.shown, QStringList({ u"refuse-c.wav"_s }));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m_intake->added(), 3);
        QCOMPARE(m_intake->total(), 3);
    }

    // Files handed over while a refusal's box is open wait for it: no box opens inside another,
    // and everything ends as a row or a refusal, in order.
    void handOverDuringABoxWaitsForIt()
    {
        m_dialogs.whileOpen = [this] { m_intake->add({ media(u"refuse-d.wav"_s), media(u"wait2-e.wav"_s) }); };
        m_intake->add({ media(u"refuse-c.wav"_s), media(u"wait1-b.wav"_s) });
        QVERIFY(waitIdle());
        QCOMPARE(m_dialogs.deepest, 1);
        QCOMPARE(m_dialogs.shown, QStringList({ u"refuse-c.wav"_s, u"refuse-d.wav"_s }));
        QCOMPARE(rows(), QStringList({ u"wait1-b.wav"_s, u"wait2-e.wav"_s }));
    }

    // While the gate is shut (another box is open) nothing is added; then all of it, in order.
    void shutGateHoldsTheRows()
    {
        bool open = false;
        m_intake->setGate([&open] { return open; });
        m_intake->add({ media(u"wait1-b.wav"_s), media(u"wait2-e.wav"_s) });
        QTest::qWait(800);
        QCOMPARE(m_list->rowCount(), 0);
        open = true;
        QVERIFY(waitIdle());
        QCOMPARE(rows(), QStringList({ u"wait1-b.wav"_s, u"wait2-e.wav"_s }));
    }

    // A folder adds the files below it, each row keeping its sub-folders below the destination;
    // a folder with nothing to convert says so once.
    void foldersAddTheirFilesWithTheirSubFolders()
    {
        // The destination lies inside the added folder and holds an earlier run's output.
        m_choices.setDestinationFolder(media(u"Music/converted"_s));
        for (const QString &name :
            { u"Music/Album One/wait1-x.wav"_s, u"Music/Album Two/wait1-x.wav"_s, u"Music/Album Two/cover.jpg"_s,
                u"Empty/readme.txt"_s, u"Music/converted/Music/Album One/wait1-x.mp3"_s }) {
            QDir().mkpath(QFileInfo(media(name)).path());
            QFile file(media(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        m_intake->add({ media(u"Music"_s), media(u"Empty"_s) });
        QVERIFY(waitIdle());
        QCOMPARE(m_list->rowCount(), 2);
        QCOMPARE(m_list->job(0).RelativeFolder, u"Music/Album One"_s);
        // Not taken as a source, the earlier output still takes its name, in its own folder only.
        QCOMPARE(
            QString(m_list->job(0).OutputPath), m_choices.destinationFolder() + u"/Music/Album One/wait1-x(new).mp3"_s);
        QCOMPARE(QString(m_list->job(1).OutputPath), m_choices.destinationFolder() + u"/Music/Album Two/wait1-x.mp3"_s);
        QCOMPARE(m_dialogs.shown, QStringList({ u"Empty"_s }));
    }

    // A CUE sheet, given or found in an added folder, becomes one row per track without
    // blocking: its image is probed with the other files, the image is not added whole as
    // well, and a sheet that cannot be used gets one box, in its place among the refusals.
    void cueSheetsExpandIntoTracks()
    {
        const auto write = [this](const QString &name, const QByteArray &bytes) {
            QDir().mkpath(QFileInfo(media(name)).path());
            QFile file(media(name));
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(u"Live/image.flac"_s, "x"));
        QVERIFY(write(u"Live/wait1-z.wav"_s, {}));
        QVERIFY(write(u"Live/Live.cue"_s,
            "FILE \"image.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"Opening\"\nINDEX 01 00:00:00\n"
            "TRACK 02 AUDIO\nINDEX 00 00:03:40\nINDEX 01 00:04:17\n"
            "TRACK 03 AUDIO\nTITLE \"Finale\"\nINDEX 01 00:09:01\n"));
        QVERIFY(write(u"Bad/bad.cue"_s, "FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"));

        m_intake->add({ media(u"Bad/bad.cue"_s), media(u"Live"_s), media(u"refuse-c.wav"_s) });
        QVERIFY(m_intake->isBusy());
        QCOMPARE(m_list->rowCount(), 0); // nothing probed on the caller's thread
        QVERIFY(waitIdle());

        QCOMPARE(rows(), QStringList({ u"image.flac"_s, u"image.flac"_s, u"image.flac"_s, u"wait1-z.wav"_s }));
        QStringList captions;
        for (int row = 0; row < m_list->rowCount(); ++row)
            captions << m_list->caption(row);
        QCOMPARE(captions, QStringList({ u"01 - Opening"_s, u"02 - Track 02"_s, u"03 - Finale"_s, u"wait1-z.wav"_s }));
        QCOMPARE(QString(m_list->job(0).OutputPath), m_choices.destinationFolder() + u"/Live/01 - Opening.mp3"_s);
        QCOMPARE(m_list->job(1).SpanStartNs, 4'226'666'667);
        QCOMPARE(m_list->job(2).SpanEndNs, 12'280'000'000); // the image's end, from its probe
        QCOMPARE(m_dialogs.shown, QStringList({ u"bad.cue"_s, u"refuse-c.wav"_s }));
        QCOMPARE(m_dialogs.deepest, 1);
        QCOMPARE(m_intake->added(), 4); // the bad sheet, the good one, a file, a refused file
    }

    // Stopping a long add keeps the rows already added and drops the rest.
    void stopKeepsWhatWasAdded()
    {
        QSignalSpy finished(m_intake.get(), &SourceIntake::finished);
        m_intake->add({ media(u"wait1-b.wav"_s), media(u"slow-f.wav"_s), media(u"wait2-e.wav"_s) });
        QTRY_COMPARE_WITH_TIMEOUT(m_list->rowCount(), 1, 5000);
        m_intake->stop();
        QVERIFY(!m_intake->isBusy());
        QCOMPARE(finished.size(), 1);
        QTest::qWait(400);
        QCOMPARE(rows(), QStringList({ u"wait1-b.wav"_s }));
    }
};

QTEST_MAIN(TestSourceIntake)
#include "tst_sourceintake.moc"
