#include "platform/recordingdialogs.h"
#include "profiles/destinationhistory.h"
#include "profiles/programstartup.h"
#include "profiles/workingfolders.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString systemUserName()
{
    const passwd *entry = getpwuid(geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : u"TOLM_USER"_s;
}

} // namespace

// Start-up in a temporary home whose documents folder is set through the XDG user-dirs file
// (Docs instead of the usual Documents, so the XDG setting is what decides).
class TestStartup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_home;
    QString m_docs;

    ProgramState start(RecordingDialogs &dialogs)
    {
        return PrepareProgramState(StartupEnvironment::fromSystem(QStringLiteral(TOLM_PROGRAM_DIR)), dialogs);
    }

    void useHome(const QString &home)
    {
        m_home = home;
        qputenv("HOME", QFile::encodeName(home));
    }

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        const QString config = m_root->filePath(u"config"_s);
        QVERIFY(TestFiles::write(config + u"/user-dirs.dirs"_s, "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        useHome(m_root->filePath(u"home"_s));
        QVERIFY(QDir().mkdir(m_home));
        m_docs = m_home + u"/Docs"_s;
    }

    void freshHomeCreatesTheChain()
    {
        RecordingDialogs dialogs;
        const ProgramState state = start(dialogs);
        QCOMPARE(dialogs.calls.size(), 0);
        const QString program = m_docs + u"/TOLM/TOLM Audio Converter"_s;
        QCOMPARE(state.defaultOutputFolder, program);
        QCOMPARE(state.profileFolder, program + u"/profile"_s);
        QVERIFY(QFileInfo(state.profileFolder).isDir());
        QCOMPARE(state.userProfilePath, program + u"/profile/userprofile.ini"_s);
        QCOMPARE(state.destinationHistoryPath, program + u"/profile/destination.ini"_s);
        QCOMPARE(state.cataloguePath, QStringLiteral(TOLM_PROGRAM_DIR) + u"/Config/config.ini"_s);
        QVERIFY(!state.quitRequested);
        QVERIFY(state.userProfileNames.isEmpty());

        // The history file is created empty; the history holds only the initial destination,
        // which is not created.
        QCOMPARE(QFileInfo(state.destinationHistoryPath).size(), 0);
        QVERIFY(QFileInfo(state.destinationHistoryPath).isFile());
        QCOMPARE(state.initialDestination, m_home + u"/TOLM"_s);
        QCOMPARE(state.destinationHistory.entries(), QStringList { m_home + u"/TOLM"_s });
        QVERIFY(!QFileInfo::exists(m_home + u"/TOLM"_s));

        // A second start finds everything in place and changes nothing.
        QVERIFY(TestFiles::write(state.destinationHistoryPath, "/srv/out\n"));
        RecordingDialogs again;
        const ProgramState second = start(again);
        QCOMPARE(again.calls.size(), 0);
        QCOMPARE(second.profileFolder, state.profileFolder);
        QCOMPARE(second.destinationHistory.entries(), QStringList({ u"/srv/out"_s, m_home + u"/TOLM"_s }));
    }

    // Where a conversion goes when no folder was chosen (tolm-convert without -o): the
    // window's initial destination, made when missing; the default output folder when it
    // cannot be made; nothing made when creating is not allowed.
    void destinationWithoutChoice()
    {
        RecordingDialogs dialogs;
        const ProgramState state = start(dialogs);
        QCOMPARE(InitialDestinationFolder(m_home + u"/"_s), state.initialDestination);
        const QString initial = state.initialDestination;
        QCOMPARE(DestinationWithoutChoice(initial, state.defaultOutputFolder, false), initial);
        QVERIFY(!QFileInfo::exists(initial));
        QCOMPARE(DestinationWithoutChoice(initial, state.defaultOutputFolder, true), initial);
        QVERIFY(QFileInfo(initial).isDir());
        QCOMPARE(DestinationWithoutChoice(initial, state.defaultOutputFolder, true), initial); // there already
        QVERIFY(QDir(initial).removeRecursively() && TestFiles::write(initial, "a file"));
        QCOMPARE(DestinationWithoutChoice(initial, state.defaultOutputFolder, true), state.defaultOutputFolder);
    }

    void blockedLevel_data()
    {
        QTest::addColumn<QString>("blocker"); // a plain file standing where the folder should be
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("defaultOutput"); // relative to the temporary root
        QTest::addColumn<QString>("profile");

        QTest::newRow("user folder") << u"home"_s << u"Can't create directory  \\%1 !"_s.arg(systemUserName())
                                     << u"Docs/TOLM/TOLM Audio Converter"_s
                                     << u"Docs/TOLM/TOLM Audio Converter/profile"_s;
        QTest::newRow("documents folder")
            << u"home/Docs"_s << u"Can't create directory \\My Documents !"_s << u"home/TOLM/TOLM Audio Converter"_s
            << u"home/TOLM/TOLM Audio Converter/profile"_s;
        QTest::newRow("product folder") << u"home/Docs/TOLM"_s << u"Can't create directory \\TOLM !"_s
                                        << u"home/Docs/TOLM Audio Converter"_s
                                        << u"home/Docs/TOLM Audio Converter/profile"_s;
        QTest::newRow("program folder") << u"home/Docs/TOLM/TOLM Audio Converter"_s
                                        << u"Can't create directory \\PROG-NAME !"_s << u"home/Docs/TOLM"_s
                                        << u"home/Docs/TOLM/profile"_s;
        QTest::newRow("profile folder") << u"home/Docs/TOLM/TOLM Audio Converter/profile"_s
                                        << u"Can't create directory \\profile !"_s
                                        << u"home/Docs/TOLM/TOLM Audio Converter"_s
                                        << u"home/Docs/TOLM/TOLM Audio Converter"_s;
    }

    void blockedLevel()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, message);
        QFETCH(QString, defaultOutput);
        QFETCH(QString, profile);

        const QString blockerPath = m_root->filePath(blocker);
        QDir(blockerPath).removeRecursively();
        QVERIFY(TestFiles::write(blockerPath, "in the way"));

        RecordingDialogs dialogs;
        const ProgramState state = start(dialogs);
        QCOMPARE(dialogs.messageTexts(), QStringList { message });
        const MessageRequest shown = dialogs.calls.constFirst().message;
        QCOMPARE(shown.caption, u"TOLM Audio Converter"_s);
        QCOMPARE(shown.placement, DialogPlacement::ScreenCentre);
        QCOMPARE(shown.buttons, DialogButtons::Ok);

        QCOMPARE(state.defaultOutputFolder, m_root->filePath(defaultOutput));
        QCOMPARE(state.profileFolder, m_root->filePath(profile));
        QVERIFY(QFileInfo(state.profileFolder).isDir());
        QVERIFY(QFileInfo(state.destinationHistoryPath).isFile());
        QCOMPARE(QFileInfo(state.destinationHistoryPath).absolutePath(), state.profileFolder);
        QVERIFY(!state.quitRequested);
        // The file in the way is left as it was.
        QFile kept(blockerPath);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("in the way"));
    }

    void unusableUserPath_data()
    {
        QTest::addColumn<QString>("home");
        QTest::newRow("home below a missing folder") << u"missing/home"_s;
        QTest::newRow("relative home") << u"relative"_s;
        QTest::newRow("no home") << QString();
    }

    void unusableUserPath()
    {
        QFETCH(QString, home);
        QString path = home;
        if (home.contains(u'/'))
            path = m_root->filePath(home);
        useHome(path);
        const QStringList before = QDir(m_root->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        RecordingDialogs dialogs;
        const ProgramState state = start(dialogs);
        QVERIFY(state.quitRequested);
        // Every later level fails with its own message, and nothing is created anywhere.
        QCOMPARE(dialogs.messageTexts(),
            QStringList({ u"User path is not valid!\r\n\r\nProgram terminate!"_s,
                u"Can't create directory  \\%1 !"_s.arg(systemUserName()), u"Can't create directory \\My Documents !"_s,
                u"Can't create directory \\TOLM !"_s, u"Can't create directory \\PROG-NAME !"_s,
                u"Can't create directory \\profile !"_s }));
        QCOMPARE(QDir(m_root->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QVERIFY(state.destinationHistoryPath.isEmpty());
    }

    void userProfileSections()
    {
        const QString profileFolder = m_docs + u"/TOLM/TOLM Audio Converter/profile"_s;
        QVERIFY(TestFiles::write(profileFolder + u"/userprofile.ini"_s,
            "[Voice (*.mp3)]\r\nAudioCodec=mp3\r\n[Archive (*.flac)]\r\nLossless=True\r\n[Car (*.aac)]\r\nABR=96 "
            "kbps\r\n"));
        RecordingDialogs dialogs;
        const ProgramState state = start(dialogs);
        QCOMPARE(dialogs.calls.size(), 0);
        QCOMPARE(state.userProfileNames, QStringList({ u"Voice (*.mp3)"_s, u"Archive (*.flac)"_s, u"Car (*.aac)"_s }));
    }

    void historyFile()
    {
        const QString profileFolder = m_docs + u"/TOLM/TOLM Audio Converter/profile"_s;
        QVERIFY(TestFiles::write(profileFolder + u"/destination.ini"_s,
            "/data/Music\r\n/srv/zeta\n/DATA/music\n\n/data/alpha\n" + QFile::encodeName(m_home.toUpper())
                + "/tolm\n"));
        RecordingDialogs dialogs;
        const ProgramState state = start(dialogs);
        const QStringList entries = state.destinationHistory.entries();
        // One entry per folder whatever its letter case, the first spelling kept, and the initial
        // destination not added again when the file holds it in other letters.
        QCOMPARE(entries,
            QStringList({ u"/data/alpha"_s, u"/data/Music"_s, u"/srv/zeta"_s, m_home.toUpper() + u"/tolm"_s }));
    }

    void historyKeepsOrderAndUniqueness_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("sorted without regard to case")
            << QStringList { u"/b"_s, u"/A"_s, u"/c"_s } << QStringList { u"/A"_s, u"/b"_s, u"/c"_s };
        QTest::newRow("duplicate in other case dropped")
            << QStringList { u"/Music"_s, u"/music"_s, u"/MUSIC"_s } << QStringList { u"/Music"_s };
        QTest::newRow("prefix sorts first")
            << QStringList { u"/Music/Live"_s, u"/Music"_s } << QStringList { u"/Music"_s, u"/Music/Live"_s };
    }

    void historyKeepsOrderAndUniqueness()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, expected);
        DestinationHistory history;
        for (const QString &folder : added)
            history.add(folder);
        QCOMPARE(history.entries(), expected);

        // What is saved is what loads.
        const QString path = m_root->filePath(u"destination.ini"_s);
        QVERIFY(history.save(path));
        DestinationHistory loaded;
        QVERIFY(loaded.load(path));
        QCOMPARE(loaded.entries(), expected);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
