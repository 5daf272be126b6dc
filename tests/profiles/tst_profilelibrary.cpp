#include "profiles/profilelibrary.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QList<ChooserRecord> sampleRecords()
{
    return {
        { { u"mp3"_s }, 0, u"mp3"_s, false },
        { { u"1 Channel Mono"_s, u"2 Channels Stereo"_s, u"5.1"_s }, 1, u"2 Channels Stereo"_s, false },
        { { u"44100 Hz"_s, u"48000 Hz"_s }, -1, u"typed = by hand"_s, true },
        // texts that could be mistaken for the file's own syntax
        { { u" lead and trail "_s, u"[bitrate]"_s, u"a\\nb"_s, u"line\nbreak\r"_s, QString(), u"ü ß 😀"_s }, 5, u"x=y"_s,
            true },
    };
}

} // namespace

class TestProfileLibrary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsBackExactlyWhatItWrote()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Voice"_s);
        QCOMPARE(WriteProfileLibrary(path, sampleRecords()), QString());
        const LibraryReadResult all = ReadProfileLibrary(path);
        QCOMPARE(all.error, QString());
        QCOMPARE(all.records, sampleRecords());

        const LibraryReadResult two = ReadProfileLibrary(path, 2);
        QCOMPARE(two.error, QString());
        QCOMPARE(two.records, sampleRecords().mid(0, 2));
    }

    void rewriteReplacesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Voice"_s);
        QCOMPARE(WriteProfileLibrary(path, sampleRecords()), QString());
        QList<ChooserRecord> changed = sampleRecords();
        changed[0] = { { u"aac"_s }, 0, u"aac"_s, false };
        changed[3].disabled = false;
        QCOMPARE(WriteProfileLibrary(path, changed), QString());
        QCOMPARE(ReadProfileLibrary(path).records, changed);
    }

    void fileThatCannotBeCreatedSaysWhy()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"missing/Voice"_s);
        const QString error = WriteProfileLibrary(path, sampleRecords());
        QVERIFY2(error.startsWith(u"Cannot create file \""_s + path + u"\". "_s), qPrintable(error));
        QVERIFY(error.size() > path.size() + 23); // the system's reason follows
    }

    void damagedFileKeepsTheRecordsReadBeforeTheDamage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Broken"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[encoder]\nitem=mp3\nselected=0\ntext=mp3\n[channels]\nitem=5.1\nselected=7\n");
        file.close();

        const LibraryReadResult result = ReadProfileLibrary(path);
        QCOMPARE(result.records.size(), 1);
        QCOMPARE(result.records.first().text, u"mp3"_s);
        QVERIFY(result.error.contains(u"line 7"_s));
    }

    void missingOrShortFileIsAnError()
    {
        QTemporaryDir dir;
        QVERIFY(!ReadProfileLibrary(dir.filePath(u"none"_s)).error.isEmpty());

        const QString path = dir.filePath(u"Short"_s);
        QCOMPARE(WriteProfileLibrary(path, sampleRecords().mid(0, 2)), QString());
        const LibraryReadResult result = ReadProfileLibrary(path);
        QCOMPARE(result.records.size(), 2);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(ReadProfileLibrary(path, 2).error, QString());
    }
};

QTEST_GUILESS_MAIN(TestProfileLibrary)
#include "tst_profilelibrary.moc"
