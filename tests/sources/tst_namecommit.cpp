// A destination name typed into the list's editor: the blank and extension rules, names
// that could reach another folder, and the "File exists,rewrite?" loop on real files.

#include "platform/recordingdialogs.h"
#include "sources/destinationname.h"
#include "sources/namecommit.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestNameCommit : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    NameCommitRequest request(const QString &typed) const
    {
        return { typed, u"take one.wav"_s, u".mp3"_s, m_dir.path(), u"take one.mp3"_s };
    }

private Q_SLOTS:
    void nameWithExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blank then x: the source name") << u" x"_s << u"take one.mp3"_s;
        QTest::newRow("empty: the source name") << QString() << u"take one.mp3"_s;
        QTest::newRow("no extension: appended") << u"track"_s << u"track.mp3"_s;
        QTest::newRow("extension in other letter case: replaced") << u"track.MP3"_s << u"track.mp3"_s;
        QTest::newRow("same extension: kept") << u"track.mp3"_s << u"track.mp3"_s;
        QTest::newRow("another extension: replaced") << u"live.at.home"_s << u"live.at.mp3"_s;
        QTest::newRow("blank inside is typing") << u"first take"_s << u"first take.mp3"_s;
    }

    void nameWithExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(NameWithExtension(typed, u"take one.wav"_s, u".mp3"_s), expected);
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("separator") << u"../elsewhere"_s;
        QTest::newRow("absolute") << u"/tmp/x"_s;
        QTest::newRow("NUL") << u"a"_s + QChar(0) + u"b"_s;
        QTest::newRow("dot") << u"."_s;
        QTest::newRow("dot dot") << u".."_s;
    }

    // Refused: a message, the previous name, no path, no question.
    void refusedNames()
    {
        QFETCH(QString, typed);
        RecordingDialogs dialogs;
        const NameCommit commit = CommitDestinationName(request(typed), dialogs, nullptr, {});
        QVERIFY(commit.refused);
        QCOMPARE(commit.name, u"take one.mp3"_s);
        QVERIFY(commit.outputPath.isEmpty());
        QCOMPARE(dialogs.messageTexts(), QStringList { kRefusedNameMessage.toString() });
        QCOMPARE(dialogs.calls.first().message.caption, u"TOLM Audio Converter"_s);
    }

    // Answering No twice when track(new).mp3 is taken as well gives track(new)(new).mp3.
    void noTwiceGivesNewNew()
    {
        QVERIFY(TestFiles::write(m_dir.filePath(u"track.mp3"_s), "old"));
        QVERIFY(TestFiles::write(m_dir.filePath(u"track(new).mp3"_s), "older"));
        RecordingDialogs dialogs;
        dialogs.answers.append({ DialogAnswer::No, DialogAnswer::No });
        const NameCommit commit = CommitDestinationName(request(u"track"_s), dialogs, nullptr, {});
        QCOMPARE(commit.name, u"track(new)(new).mp3"_s);
        QCOMPARE(commit.outputPath, m_dir.filePath(u"track(new)(new).mp3"_s));
        QVERIFY(commit.replace.isEmpty());
        QCOMPARE(dialogs.messageTexts(), QStringList({ u"File exists,rewrite?"_s, u"File exists,rewrite?"_s }));
        const MessageRequest asked = dialogs.calls.first().message;
        QCOMPARE(asked.buttons, DialogButtons::YesNo);
        QCOMPARE(asked.placement, DialogPlacement::ConfirmOffset);
    }

    // Yes marks the file and leaves it as it is: nothing is deleted before a conversion.
    void yesMarksWithoutDeleting()
    {
        const QString taken = m_dir.filePath(u"keep.mp3"_s);
        QVERIFY(TestFiles::write(taken, "existing output"));
        RecordingDialogs dialogs;
        dialogs.answers.append({ DialogAnswer::Yes });
        const NameCommit commit = CommitDestinationName(request(u"keep"_s), dialogs, nullptr, {});
        QCOMPARE(commit.name, u"keep.mp3"_s);
        QCOMPARE(commit.replace.path, taken);
        QVERIFY(commit.replace.allows(taken));
        QCOMPARE(TestFiles::read(taken), QByteArray("existing output"));
        QVERIFY(TestFiles::write(taken, "changed since")); // the mark no longer holds
        QVERIFY(!commit.replace.allows(taken));
    }

    // A row's source and a folder are never offered for replacing: they count as No.
    void sourcesAndFoldersAreNeverOffered()
    {
        const QString source = m_dir.filePath(u"song.mp3"_s);
        QVERIFY(TestFiles::write(source, "a source"));
        QVERIFY(QDir(m_dir.path()).mkpath(u"song(new).mp3"_s));
        RecordingDialogs dialogs;
        const auto isSource = [&](const QString &path) { return path == source; };
        const NameCommit commit = CommitDestinationName(request(u"song"_s), dialogs, nullptr, isSource);
        QCOMPARE(commit.name, u"song(new)(new).mp3"_s);
        QVERIFY(commit.replace.isEmpty());
        QVERIFY(dialogs.calls.isEmpty());
    }

    // A name past 255 bytes is shortened before its extension; the folder, however long the
    // whole path, stays whole.
    void longNameKeepsItsExtensionAndTheWholeFolder()
    {
        const QString folder = m_dir.path() + u'/' + QString(u'f').repeated(200);
        RecordingDialogs dialogs;
        NameCommitRequest longName = request(QString(u'n').repeated(300));
        longName.folder = folder;
        const NameCommit commit = CommitDestinationName(longName, dialogs, nullptr, {});
        QCOMPARE(commit.name, QString(u'n').repeated(251) + u".mp3"_s);
        QCOMPARE(commit.outputPath, JoinFolder(folder, commit.name));
    }
};

QTEST_GUILESS_MAIN(TestNameCommit)
#include "tst_namecommit.moc"
