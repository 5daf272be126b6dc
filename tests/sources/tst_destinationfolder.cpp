// The destination folder edit's rules on real folders, its completion from the history, and
// what a press on a row shows in the choosers.

#include "core/filenamefit.h"
#include "core/startrecord.h"
#include "platform/recordingdialogs.h"
#include "profiles/destinationhistory.h"
#include "sources/destinationfolder.h"
#include "sources/rowchoices.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The edit as a plain text with a caret and a selection.
struct Field : FolderField
{
    QString value;
    int cursor = 0;
    int selectionStart = -1;
    QString text() const override { return value; }
    void setText(const QString &text) override
    {
        value = text;
        cursor = int(text.size());
        selectionStart = -1;
    }
    int caret() const override { return cursor; }
    void selectAll() override { selectionStart = 0; }
    void selectToEnd(int caret) override
    {
        cursor = caret;
        selectionStart = caret;
    }
    QString selected() const { return selectionStart < 0 ? QString() : value.mid(selectionStart); }
};

} // namespace

class TestDestinationFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_default;
    Field m_field;
    RecordingDialogs m_dialogs;
    DestinationHistory m_history;
    int m_applied = 0;
    std::unique_ptr<DestinationFolder> m_folder;

private Q_SLOTS:
    void init()
    {
        m_default = m_root.filePath(u"TOLM"_s);
        QDir(m_root.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_default));
        m_field = Field();
        m_dialogs = RecordingDialogs();
        m_history = DestinationHistory();
        m_applied = 0;
        m_folder = std::make_unique<DestinationFolder>(
            m_field, m_dialogs, m_history, m_default, nullptr, [this] { ++m_applied; });
    }

    void completion_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("start of an entry") << u"/m"_s << u"/Music"_s;
        QTest::newRow("on to the separator: the longer entry") << u"/Music/"_s << u"/Music/Live"_s;
        QTest::newRow("a whole entry proposes a longer one") << u"/music"_s << u"/Music/Live"_s;
        QTest::newRow("nothing typed") << QString() << QString();
        QTest::newRow("no entry begins so") << u"/x"_s << QString();
        QTest::newRow("the longest entry itself") << u"/Music/Live"_s << QString();
    }

    void completion()
    {
        QFETCH(QString, typed);
        QFETCH(QString, proposed);
        DestinationHistory history;
        for (const QString &entry : { u"/Music/Live"_s, u"/Music"_s, u"/Audio"_s })
            history.add(entry);
        QCOMPARE(CompleteFolder(history.entries(), typed).value_or(QString()), proposed);
    }

    // The proposal replaces the text; the caret stays and the remainder is selected.
    void keyReleaseProposesTheRemainder()
    {
        m_history.add(u"/Music"_s);
        m_history.add(u"/Music/Live"_s);
        m_field.setText(u"/M"_s);
        m_folder->keyReleased(Qt::Key_M);
        QCOMPARE(m_field.value, u"/Music"_s);
        QCOMPARE(m_field.cursor, 2);
        QCOMPARE(m_field.selected(), u"usic"_s);

        m_field.setText(u"/M"_s);
        for (const int key : { Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Down })
            m_folder->keyReleased(key);
        QCOMPARE(m_field.value, u"/M"_s);

        m_field.cursor = 0; // the caret at the start proposes nothing
        m_folder->keyReleased(Qt::Key_Home);
        QCOMPARE(m_field.value, u"/M"_s);
    }

    // A relative text lies in the default output folder; a missing one is made on Yes.
    void enterOnARelativeMissingFolder()
    {
        m_field.setText(u"Music"_s);
        m_dialogs.answers.append({ DialogAnswer::Yes });
        m_folder->confirm();
        QCOMPARE(m_field.value, m_default + u"/Music"_s);
        QVERIFY(QFileInfo(m_default + u"/Music"_s).isDir());
        QCOMPARE(m_dialogs.messageTexts(), QStringList { u"Create a new folder? "_s });
        QCOMPARE(m_dialogs.calls.first().message.placement, DialogPlacement::ConfirmOffset);
        QCOMPARE(m_dialogs.calls.first().message.buttons, DialogButtons::YesNo);
        QCOMPARE(m_applied, 1);
        QVERIFY(m_history.entries().isEmpty()); // confirming does not record it; leaving does
        m_folder->left();
        QCOMPARE(m_history.entries(), QStringList { m_default + u"/Music"_s });
    }

    void enterAnsweredNoPutsThePreviousFolderBack()
    {
        m_field.setText(m_default);
        m_folder->mouseReleased();
        QCOMPARE(m_field.selectionStart, 0);
        m_field.setText(m_root.filePath(u"Other"_s));
        m_dialogs.answers.append({ DialogAnswer::No });
        m_folder->confirm();
        QCOMPARE(m_field.value, m_default);
        QVERIFY(!QFileInfo::exists(m_root.filePath(u"Other"_s)));
        QCOMPARE(m_applied, 0);
    }

    // Only one level is made: a missing parent gives the message, then the folder browser.
    void creationFailsWithTheMessageThenBrowse()
    {
        m_field.setText(m_default);
        m_folder->mouseReleased();
        m_field.setText(m_root.filePath(u"a/b"_s));
        m_dialogs.answers.append({ DialogAnswer::Yes });
        m_dialogs.folderAnswers.append({ m_root.path() });
        m_folder->confirm();
        QCOMPARE(m_dialogs.messageTexts(),
            QStringList({ u"Create a new folder? "_s,
                u"Destination folder is not valid.\r\n\r\nPlease input another folder."_s }));
        QCOMPARE(m_dialogs.calls.at(1).message.placement, DialogPlacement::ScreenCentre);
        QCOMPARE(m_dialogs.calls.at(2).kind, RecordingDialogs::Call::ChooseFolder);
        QCOMPARE(m_dialogs.calls.at(2).title, u"Please select a folder:"_s);
        QCOMPARE(m_dialogs.calls.at(2).startFolder, u"/"_s);
        QVERIFY(!QFileInfo::exists(m_root.filePath(u"a"_s)));
        QCOMPARE(m_field.value, m_root.path()); // what was browsed to
        QCOMPARE(m_history.entries(), QStringList { m_root.path() });
        QCOMPARE(m_applied, 1);
    }

    // A folder that exists but takes no file (a read-only one; /proc refuses even the
    // superuser) is refused as a missing one would be, typed or browsed to.
    void foldersThatTakeNoFileAreRefused()
    {
        m_field.setText(m_default);
        m_folder->mouseReleased();
        m_field.setText(u"/proc"_s);
        m_folder->confirm();
        QCOMPARE(m_dialogs.messageTexts(),
            QStringList({ u"Destination folder is not valid.\r\n\r\nPlease input another folder."_s }));
        QCOMPARE(m_field.value, m_default);
        m_dialogs.folderAnswers.append({ u"/proc/self"_s });
        m_folder->browse();
        QCOMPARE(m_dialogs.messageTexts().size(), 2);
        QCOMPARE(m_field.value, m_default);
        QCOMPARE(m_applied, 0);
        QVERIFY(CanWriteInFolder(m_default));
        QVERIFY(CanWriteInFolder(m_default + u"/not/made/yet"_s)); // made when the row's turn comes
        QVERIFY(QDir(m_default).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }

    void enterOnAnEmptyEditIsTheDefaultFolder()
    {
        m_folder->confirm();
        QCOMPARE(m_field.value, m_default + u'/');
        QVERIFY(m_dialogs.calls.isEmpty());
        QCOMPARE(m_applied, 1);
    }

    void leavingWithAnInvalidFolder()
    {
        m_field.setText(u"/no/such/folder"_s);
        m_folder->left(); // never clicked: nothing to put back
        QCOMPARE(m_field.value, QString());
        m_field.setText(m_default);
        m_folder->mouseReleased();
        m_field.setText(u"/no/such/folder"_s);
        m_folder->left();
        QCOMPARE(m_field.value, m_default);
        QVERIFY(m_history.entries().isEmpty());
        QCOMPARE(m_applied, 0); // leaving never changes a row
    }

    void browseCancelledChangesNothing()
    {
        m_field.setText(m_default);
        m_folder->browse();
        QCOMPARE(m_field.value, m_default);
        QCOMPARE(m_applied, 0);
    }

    void rowChoices_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("bitrate");
        QTest::addColumn<QString>("bitrateNot");
        QTest::addColumn<QString>("lossless");
        QTest::addColumn<int>("profileIndex");
        QTest::addColumn<bool>("qualityEnabled");
        QTest::addColumn<int>("quality"); // -1: left as it is
        QTest::addColumn<bool>("settingsEnabled");
        const QString mp3 = u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s;
        QTest::newRow("above Normal: High")
            << mp3 << u"192 kbps"_s << u"False"_s << u"False"_s << 1 << true << 0 << true;
        QTest::newRow("equal: Normal") << mp3 << u"128 kbps"_s << u"False"_s << u"False"_s << 1 << true << 1 << true;
        QTest::newRow("below: Low") << mp3 << u"64 kbps"_s << u"False"_s << u"False"_s << 1 << true << 2 << true;
        QTest::newRow("letter case ignored") << u"mp3 - mpeg layer-3 audio (*.MP3)"_s << u"64 kbps"_s << u"False"_s
                                             << u"False"_s << 1 << true << 2 << true;
        QTest::newRow("no bit-rate choice")
            << u"FLAC (*.flac)"_s << QString() << u"True"_s << u"True"_s << 0 << false << -1 << false;
        QTest::newRow("switch that is neither word")
            << mp3 << u"64 kbps"_s << u"true"_s << u"false"_s << 1 << false << -1 << true;
        QTest::newRow("lossless row whose bit rate holds no number: Normal")
            << mp3 << QString() << u"False"_s << u"True"_s << 1 << true << 1 << false;
        QTest::newRow("profile not in the list")
            << u"Gone (*.ogg)"_s << u"64 kbps"_s << u"False"_s << u"False"_s << -1 << true << 2 << true;
    }

    void rowChoices()
    {
        QFETCH(QString, profile);
        QFETCH(QString, bitrate);
        QFETCH(QString, bitrateNot);
        QFETCH(QString, lossless);
        QFETCH(int, profileIndex);
        QFETCH(bool, qualityEnabled);
        QFETCH(int, quality);
        QFETCH(bool, settingsEnabled);
        const QString catalogue = m_root.filePath(u"config.ini"_s);
        QVERIFY(TestFiles::write(catalogue, "[MP3 - MPEG Layer-3 Audio (*.mp3)]\nABRN=128 kbps\n"));
        TStartRecord job;
        job.ProfileName = profile;
        job.Bitrate = bitrate;
        job.BitrateNot = bitrateNot;
        job.Lossless = lossless;
        job.OutputPath = u"/out/sub/take.mp3"_s;
        const RowChoices choices = ChoicesForRow(job, { u"FLAC (*.flac)"_s, u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s },
            catalogue, m_root.filePath(u"user.ini"_s));
        QCOMPARE(choices.folder, u"/out/sub/"_s);
        QCOMPARE(choices.profileIndex, profileIndex);
        QCOMPARE(choices.qualityEnabled, qualityEnabled);
        QCOMPARE(choices.qualityIndex.value_or(-1), quality);
        QCOMPARE(choices.settingsEnabled, settingsEnabled);
    }
};

QTEST_GUILESS_MAIN(TestDestinationFolder)
#include "tst_destinationfolder.moc"
