// The parts of tolm-convert --sync that need no transcoder: the plan, the manifest and its
// journals, the shares of --shard.

#include "cli/convertoptions.h"
#include "cli/sync/syncmanifest.h"
#include "cli/sync/syncplan.h"
#include "cli/sync/syncrun.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A library in words: "name=stamp:audio" per source; the manifest as "name=stamp:audio:settings".
struct Library
{
    QList<SyncSource> sources;
    QHash<QString, QString> audio; // by key: what the fingerprint gives
};

Library sourcesOf(const QStringList &described)
{
    Library library;
    for (const QString &text : described) {
        const QString name = text.section(u'=', 0, 0);
        const QStringList parts = text.section(u'=', 1).split(u':');
        SyncSource source;
        source.key = u"/lib/"_s + name;
        source.source.path = source.key;
        source.stamp = parts.value(0);
        source.output = name.section(u'.', 0, 0) + u".mp3"_s;
        source.album = name.section(u'/', 0, 0);
        library.audio.insert(source.key, parts.value(1));
        library.sources << source;
    }
    return library;
}

SyncManifest manifestOf(const QStringList &described)
{
    SyncManifest manifest;
    for (const QString &text : described) {
        const QString name = text.section(u'=', 0, 0);
        const QStringList parts = text.section(u'=', 1).split(u':');
        manifest.put({ u"/lib/"_s + name, parts.value(0), parts.value(1), parts.value(2),
            name.section(u'.', 0, 0) + u".mp3"_s, name.section(u'/', 0, 0) });
    }
    return manifest;
}

} // namespace

class TestSyncParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plan_data()
    {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("manifest");
        QTest::addColumn<QStringList>("missingOutputs");
        QTest::addColumn<bool>("albumGain");
        QTest::addColumn<QStringList>("expected"); // "action key-or-output [from]", in order
        QTest::addColumn<int>("fingerprints"); // how many sources had to be decoded

        const QStringList none;
        QTest::newRow("unchanged: not even read")
            << QStringList { u"A/1.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s } << none << false
            << QStringList { u"keep A/1.mp3"_s } << 0;
        QTest::newRow("tags edited") << QStringList { u"A/1.flac=s2:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s }
                                     << none << false << QStringList { u"tags A/1.mp3"_s } << 1;
        QTest::newRow("new rip") << QStringList { u"A/1.flac=s2:y"_s } << QStringList { u"A/1.flac=s1:x:S"_s } << none
                                 << false << QStringList { u"convert A/1.mp3 A/1.mp3"_s } << 1;
        QTest::newRow("audio not told") << QStringList { u"A/1.flac=s2:"_s } << QStringList { u"A/1.flac=s1::S"_s }
                                        << none << false << QStringList { u"convert A/1.mp3 A/1.mp3"_s } << 1;
        QTest::newRow("settings changed") << QStringList { u"A/1.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:T"_s }
                                          << none << false << QStringList { u"convert A/1.mp3"_s } << 1;
        QTest::newRow("output gone") << QStringList { u"A/1.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s }
                                     << QStringList { u"A/1.mp3"_s } << false << QStringList { u"convert A/1.mp3"_s }
                                     << 1;
        QTest::newRow("new") << QStringList { u"A/1.flac=s1:x"_s } << none << none << false
                             << QStringList { u"convert A/1.mp3"_s } << 1;
        QTest::newRow("renamed") << QStringList { u"A/2.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s } << none
                                 << false << QStringList { u"move A/2.mp3 A/1.mp3"_s } << 1;
        QTest::newRow("renamed, old output gone")
            << QStringList { u"A/2.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s }
            << QStringList { u"A/1.mp3"_s } << false << QStringList { u"convert A/2.mp3"_s, u"orphan A/1.mp3"_s } << 1;
        QTest::newRow("same audio twice: one move")
            << QStringList { u"A/2.flac=s1:x"_s, u"A/3.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s } << none
            << false << QStringList { u"move A/2.mp3 A/1.mp3"_s, u"convert A/3.mp3"_s } << 2;
        QTest::newRow("deleted") << QStringList { u"A/1.flac=s1:x"_s }
                                 << QStringList { u"A/1.flac=s1:x:S"_s, u"B/1.flac=s1:z:S"_s } << none << false
                                 << QStringList { u"keep A/1.mp3"_s, u"orphan B/1.mp3"_s } << 0;
        QTest::newRow("album gain: one new rip converts its album")
            << QStringList { u"A/1.flac=s1:x"_s, u"A/2.flac=s2:q"_s, u"B/1.flac=s1:z"_s }
            << QStringList { u"A/1.flac=s1:x:S"_s, u"A/2.flac=s1:p:S"_s, u"B/1.flac=s1:z:S"_s } << none << true
            << QStringList { u"convert A/1.mp3 A/1.mp3"_s, u"convert A/2.mp3 A/2.mp3"_s, u"keep B/1.mp3"_s } << 1;
        QTest::newRow("album gain: a file gone converts its album")
            << QStringList { u"A/1.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s, u"A/2.flac=s1:p:S"_s } << none
            << true << QStringList { u"convert A/1.mp3 A/1.mp3"_s, u"orphan A/2.mp3"_s } << 0;
        QTest::newRow("album gain: a rename into another album converts")
            << QStringList { u"B/1.flac=s1:x"_s } << QStringList { u"A/1.flac=s1:x:S"_s } << none << true
            << QStringList { u"convert B/1.mp3"_s, u"orphan A/1.mp3"_s } << 1;
    }

    void plan()
    {
        QFETCH(QStringList, sources);
        QFETCH(QStringList, manifest);
        QFETCH(QStringList, missingOutputs);
        QFETCH(bool, albumGain);
        QFETCH(QStringList, expected);
        QFETCH(int, fingerprints);
        const Library library = sourcesOf(sources);
        int decoded = 0;
        SyncPlanInput input;
        input.settings = u"S"_s;
        input.fingerprint = [&](const SyncSource &source) {
            ++decoded;
            return library.audio.value(source.key);
        };
        input.outputExists = [&](const QString &output) { return !missingOutputs.contains(output); };
        input.ownsAlbum = [](const QString &) { return true; };
        input.albumGain = albumGain;
        QStringList steps;
        for (const SyncStep &step : PlanSync(library.sources, manifestOf(manifest), input))
            steps << (SyncActionName(step.action) + u' ' + step.entry.output
                + (step.from.isEmpty() ? QString() : u' ' + step.from));
        QCOMPARE(steps, expected);
        QCOMPARE(decoded, fingerprints);
    }

    // Orphans are looked after by the share their album falls in, and deleted only when asked.
    void orphansByShare()
    {
        const SyncManifest manifest = manifestOf({ u"A/1.flac=s1:x:S"_s, u"B/1.flac=s1:y:S"_s });
        SyncPlanInput input;
        input.settings = u"S"_s;
        input.fingerprint = [](const SyncSource &) { return QString(); };
        input.outputExists = [](const QString &) { return true; };
        input.ownsAlbum = [](const QString &album) { return album == u"B"_s; };
        input.deleteOrphans = true;
        const QList<SyncStep> steps = PlanSync({}, manifest, input);
        QCOMPARE(steps.size(), 1);
        QCOMPARE(steps.first().action, SyncAction::Delete);
        QCOMPARE(steps.first().entry.output, u"B/1.mp3"_s);
    }

    // The manifest survives a round trip; journals replay over it, a torn line left out; a
    // file of another version or a damaged one is refused, never overwritten by guesswork.
    void manifestAndJournals()
    {
        QTemporaryDir folder;
        SyncManifest manifest = manifestOf({ u"A/1.flac=s1:x:S"_s, u"A/2.flac=s1:y:S"_s });
        QString error;
        QVERIFY(manifest.save(folder.path(), &error));
        {
            SyncJournal journal(folder.path(), u"1of2"_s);
            QVERIFY(journal.open(&error));
            journal.put({ u"/lib/A/3.flac"_s, u"s1"_s, u"z"_s, u"S"_s, u"A/3.mp3"_s, u"A"_s });
            journal.drop(u"/lib/A/1.flac"_s);
        }
        // A kill in the middle of a line of another shard's journal.
        QVERIFY(TestFiles::write(folder.filePath(u".tolm-sync.journal-0of2"_s),
            R"({"key":"/lib/B/1.flac","stamp":"s","audio":"a","settings":"S","output":"B/1.mp3","album":"B"})"
            "\n{\"key\":\"/lib/B/2.fl"));
        // Another entry that would write outside the folder.
        QVERIFY(TestFiles::write(folder.filePath(u".tolm-sync.journal-x"_s),
            R"({"key":"/etc","stamp":"s","audio":"a","settings":"S","output":"../../etc/passwd","album":""})"
            "\n"));
        auto loaded = SyncManifest::load(folder.path(), &error);
        QVERIFY2(loaded, qPrintable(error));
        QStringList keys = loaded->entries().keys();
        keys.sort();
        QCOMPARE(keys, QStringList({ u"/lib/A/2.flac"_s, u"/lib/A/3.flac"_s, u"/lib/B/1.flac"_s }));
        QCOMPARE(*loaded->find(u"/lib/A/2.flac"_s), *manifest.find(u"/lib/A/2.flac"_s));

        // Folding keeps what every journal says and removes only this run's journal.
        SyncJournal mine(folder.path(), u"1of2"_s);
        QVERIFY(mine.open(&error));
        QVERIFY(mine.fold(&error));
        QVERIFY(!QFileInfo::exists(folder.filePath(u".tolm-sync.journal-1of2"_s)));
        QVERIFY(QFileInfo::exists(folder.filePath(u".tolm-sync.journal-0of2"_s)));
        QFile::remove(folder.filePath(u".tolm-sync.journal-0of2"_s));
        QFile::remove(folder.filePath(u".tolm-sync.journal-x"_s));
        loaded = SyncManifest::load(folder.path(), &error);
        QVERIFY(loaded && loaded->entries().size() == 3);

        QByteArray text = TestFiles::read(folder.filePath(u".tolm-sync.json"_s));
        QVERIFY(text.contains("\"version\": 1"));
        QVERIFY(
            TestFiles::write(folder.filePath(u".tolm-sync.json"_s), text.replace("\"version\": 1", "\"version\": 9")));
        QVERIFY(!SyncManifest::load(folder.path(), &error));
        QVERIFY2(error.contains(u"version 9"_s), qPrintable(error));
        QVERIFY(TestFiles::write(folder.filePath(u".tolm-sync.json"_s), "{\"format\": \"tolm-sync\", \"vers"));
        QVERIFY(!SyncManifest::load(folder.path(), &error));
        QVERIFY2(error.contains(u"damaged"_s), qPrintable(error));
    }

    void shares_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("givenCount");
        QTest::addColumn<int>("index"); // -1: refused
        QTest::addColumn<int>("count");
        QTest::newRow("slurm 0-3") << QStringList { u"SLURM_ARRAY_TASK_ID=2"_s, u"SLURM_ARRAY_TASK_COUNT=4"_s } << 0
                                   << 2 << 4;
        QTest::newRow("slurm 1-4") << QStringList { u"SLURM_ARRAY_TASK_ID=4"_s, u"SLURM_ARRAY_TASK_COUNT=4"_s,
            u"SLURM_ARRAY_TASK_MIN=1"_s }
                                   << 0 << 3 << 4;
        QTest::newRow("slurm without count") << QStringList { u"SLURM_ARRAY_TASK_ID=1"_s } << 0 << -1 << 0;
        QTest::newRow("kubernetes, count given") << QStringList { u"JOB_COMPLETION_INDEX=5"_s } << 8 << 5 << 8;
        QTest::newRow("kubernetes, count in the environment")
            << QStringList { u"JOB_COMPLETION_INDEX=0"_s, u"TOLM_SHARD_COUNT=3"_s } << 0 << 0 << 3;
        QTest::newRow("kubernetes without count") << QStringList { u"JOB_COMPLETION_INDEX=0"_s } << 0 << -1 << 0;
        QTest::newRow("index past the count") << QStringList { u"JOB_COMPLETION_INDEX=3"_s } << 3 << -1 << 0;
        QTest::newRow("no job array") << QStringList {} << 4 << -1 << 0;
    }

    void shares()
    {
        QFETCH(QStringList, environment);
        QFETCH(int, givenCount);
        QFETCH(int, index);
        QFETCH(int, count);
        QProcessEnvironment variables;
        for (const QString &pair : environment)
            variables.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        QString error;
        const auto shard = SyncShard::fromEnvironment(variables, givenCount, &error);
        QCOMPARE(shard.has_value(), index >= 0);
        if (shard) {
            QCOMPARE(shard->index, index);
            QCOMPARE(shard->count, count);
        } else {
            QVERIFY(error.startsWith(u"--shard auto: "_s));
        }
    }

    // An album's share is the same in every process and on every machine, and the shares
    // together take every album once.
    void stableShares()
    {
        QCOMPARE(SyncShard::of(u"lib/Album 1"_s, 4), SyncShard::of(u"lib/Album 1"_s, 4));
        QCOMPARE(SyncShard::of(u"Pärt/Tabula Rasa"_s, 7), 3); // fixed: a change would move every share
        QList<int> per(5);
        for (int album = 0; album < 1000; ++album)
            ++per[SyncShard::of(u"Artist/Album %1"_s.arg(album), 5)];
        for (const int count : per)
            QVERIFY2(count > 150 && count < 250, qPrintable(QString::number(count)));
        int index = 0;
        int total = 0;
        QVERIFY(ParseShard(u"3/8"_s, index, total) && index == 3 && total == 8);
        QVERIFY(!ParseShard(u"8/8"_s, index, total));
        QVERIFY(!ParseShard(u"1/0"_s, index, total));
        QVERIFY(!ParseShard(u"-1/4"_s, index, total));
    }
};

QTEST_GUILESS_MAIN(TestSyncParts)
#include "tst_syncparts.moc"
