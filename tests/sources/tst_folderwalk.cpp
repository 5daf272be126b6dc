// Adding a folder whole: which files below it count, in what order, and where each one's
// output goes below the destination.

#include "core/startrecord.h"
#include "sources/destinationname.h"
#include "sources/folderwalk.h"
#include "sources/intakeplan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFolderWalk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    void touch(const QString &relative)
    {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QStringList walked(const QString &folder) const
    {
        QStringList out;
        for (const FolderFile &file : MediaFilesBelow(m_dir.filePath(folder)))
            out << file.relativeFolder + u" | "_s + QFileInfo(file.path).fileName();
        return out;
    }

private Q_SLOTS:
    void filesInReadingOrderWithTheirFolders()
    {
        for (const QString &name : { u"Music/10 Ten.flac"_s, u"Music/2 Two.mp3"_s, u"Music/cover.jpg"_s,
                 u"Music/notes.txt"_s, u"Music/album.cue"_s, u"Music/.hidden.mp3"_s, u"Music/.cache/x.mp3"_s,
                 u"Music/CD10/1.ogg"_s, u"Music/CD2/b.WAV"_s, u"Music/CD2/a.wav"_s })
            touch(name);
        QCOMPARE(walked(u"Music"_s),
            QStringList({ u"Music | 2 Two.mp3"_s, u"Music | 10 Ten.flac"_s, u"Music/CD2 | a.wav"_s,
                u"Music/CD2 | b.WAV"_s, u"Music/CD10 | 1.ogg"_s }));
        QCOMPARE(walked(u"nothing-here"_s), QStringList());
    }

    // A link back up the tree is followed once: the walk ends, each file listed once.
    void linkLoopEndsTheWalk()
    {
        touch(u"Loop/a/song.mp3"_s);
        QVERIFY(QFile::link(m_dir.filePath(u"Loop"_s), m_dir.filePath(u"Loop/a/back"_s)));
        QCOMPARE(walked(u"Loop"_s), QStringList({ u"Loop/a | song.mp3"_s }));
    }

    // The output keeps the sub-folders below the destination, whatever the destination.
    void rowFoldersBelowTheDestination()
    {
        TStartRecord job;
        job.RelativeFolder = u"Album One/CD2"_s;
        QCOMPARE(RowOutputFolder(u"/out"_s, job), u"/out/Album One/CD2"_s);
        job.OutputPath = JoinFolder(RowOutputFolder(u"/out/"_s, job), u"01.mp3"_s);
        QCOMPARE(QString(job.OutputPath), u"/out/Album One/CD2/01.mp3"_s);
        QCOMPARE(RowDestinationFolder(job), u"/out"_s);
        TStartRecord single;
        single.OutputPath = u"/music/out/a.mp3"_s;
        QCOMPARE(RowOutputFolder(u"/x"_s, single), u"/x"_s);
        QCOMPARE(RowDestinationFolder(single), u"/music/out"_s);
    }

    // What the window and tolm-convert both make of the paths given: each entry as
    // kind | shown | relative folder, with a sheet's tracks counted.
    void intakePlan_data()
    {
        QTest::addColumn<bool>("subFolders");
        QTest::addColumn<QStringList>("plan");
        QTest::newRow("a whole tree") << true
                                      << QStringList { u"file | Lib/01 first.flac | Lib"_s,
                                             u"sheet 2 | Lib/sub/album.cue | Lib/sub"_s,
                                             u"file | Lib/sub/x.mp3 | Lib/sub"_s, u"empty | Empty | "_s,
                                             u"not found | nothing.wav | "_s, u"refused | missing.cue | "_s };
        QTest::newRow("the folder's own files")
            << false
            << QStringList { u"file | Lib/01 first.flac | Lib"_s, u"empty | Empty | "_s,
                   u"not found | nothing.wav | "_s, u"refused | missing.cue | "_s };
    }
    void intakePlan()
    {
        QFETCH(bool, subFolders);
        QFETCH(QStringList, plan);
        QDir::setCurrent(m_dir.path());
        for (const QString &name : { u"Lib/01 first.flac"_s, u"Lib/out/earlier.mp3"_s, u"Lib/sub/x.mp3"_s,
                 u"Lib/sub/image.wav"_s, u"Empty/notes.txt"_s })
            touch(name);
        QFile sheet(m_dir.filePath(u"Lib/sub/album.cue"_s));
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("FILE \"image.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                    "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n");
        sheet.close();
        QStringList got;
        const IntakeOptions options { subFolders, m_dir.filePath(u"Lib/out"_s) };
        for (const IntakeEntry &entry :
            PlanIntake({ u"Lib"_s, u"Empty"_s, u"nothing.wav"_s, u"missing.cue"_s }, options)) {
            static const char *const kinds[] = { "file", "sheet", "refused", "empty", "not found", "unreadable" };
            QString kind = QString::fromLatin1(kinds[int(entry.kind)]);
            if (entry.kind == IntakeEntry::Kind::CueSheet)
                kind += u' ' + QString::number(entry.tracks.size());
            QVERIFY(QFileInfo(entry.path).isAbsolute());
            QCOMPARE(entry.refusal.isEmpty(), entry.kind != IntakeEntry::Kind::BadSheet);
            got << kind + u" | "_s + entry.shown + u" | "_s + entry.relativeFolder;
        }
        QCOMPARE(got, plan);
    }
};

QTEST_GUILESS_MAIN(TestFolderWalk)
#include "tst_folderwalk.moc"
