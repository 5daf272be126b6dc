// Adding a folder whole: which files below it count, in what order, and where each one's
// output goes below the destination.

#include "core/startrecord.h"
#include "sources/destinationname.h"
#include "sources/folderwalk.h"

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
};

QTEST_GUILESS_MAIN(TestFolderWalk)
#include "tst_folderwalk.moc"
