// tolm-convert --sync end to end: a library that changes under a converted copy, a sync that
// is killed half way, and shards run side by side by GNU parallel. The work each sync does is
// counted from its --results, and the copy is compared with a fresh conversion every time.

#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);

using Counts = QMap<QString, int>;

// The outputs below a folder, relative to it, the sync's own files left out.
QStringList outputsBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(folder).relativeFilePath(it.next());
        if (!QFileInfo(path).fileName().startsWith(u".tolm-sync"_s))
            files << path;
    }
    files.sort();
    return files;
}

QString output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return u"(%1 failed)"_s.arg(program);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What a file holds, told apart from how its bytes are laid out: a FLAC file's samples' MD5
// and tags; an MP3 file's tags (read by mutagen) and the bytes after its ID3v2 tag, whose
// padding depends on what the file held before. Anything else by its bytes.
QString contentOf(const QString &path)
{
    if (path.endsWith(u".flac"_s))
        return output(u"metaflac"_s, { u"--show-md5sum"_s, u"--export-tags-to=-"_s, path });
    if (path.endsWith(u".mp3"_s)) {
        static const QString script = uR"(
import hashlib, sys, mutagen
f = mutagen.File(sys.argv[1])
print(sorted(f.tags.pprint().split('\n')) if f.tags else [])
data = open(sys.argv[1], 'rb').read()
if data[:3] == b'ID3':
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    data = data[10 + size:]
print(hashlib.md5(data).hexdigest())
)"_s;
        return output(u"/usr/bin/python3"_s, { u"-c"_s, script, path });
    }
    return QString::fromLatin1(TestFiles::read(path).toHex());
}

// A tone whose pitch tells the rips apart.
bool writeTone(const QString &path, double seconds, double hz)
{
    QDir().mkpath(QFileInfo(path).path());
    return TestMedia::writeWav(path, 44100, 2, qint64(seconds * 44100),
        [hz](qint64 frame, int channel) { return 0.25 * std::sin(2 * M_PI * hz * double(frame) / 44100 + channel); });
}

} // namespace

class TestCliSync : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    QProcessEnvironment environment() const
    {
        return TestProcess::terminalEnvironment(path(u"home"_s), path(u"cache"_s));
    }

    TestProcess::Ended convert(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
        return TestProcess::waitForEnd(process);
    }

    // The actions of a --results file that were carried out (or planned), counted.
    static Counts countsOf(const QString &results, QStringList *outputs = nullptr)
    {
        Counts counts;
        for (const QByteArray &line : TestFiles::read(results).split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            const QString status = object.value(u"status"_s).toString();
            ++counts[status == u"failed"_s ? u"failed"_s : object.value(u"action"_s).toString()];
            if (outputs && object.value(u"action"_s).toString() == u"convert"_s)
                *outputs << object.value(u"output"_s).toString();
        }
        return counts;
    }

    // The copy holds what a fresh conversion of the library makes, file for file.
    void compareWithFresh(
        const QString &copy, const QStringList &profile, const QString &library, const QStringList &left = {}) const
    {
        const QString fresh = path(u"fresh"_s);
        QDir(fresh).removeRecursively();
        const auto ended = convert(QStringList { u"-r"_s } + profile + QStringList { u"-o"_s, fresh, library });
        QVERIFY2(ended.exitCode == 0, qPrintable(ended.err));
        QStringList inCopy = outputsBelow(copy);
        for (const QString &orphan : left)
            inCopy.removeOne(orphan);
        QCOMPARE(inCopy, outputsBelow(fresh));
        for (const QString &file : outputsBelow(fresh))
            QVERIFY2(contentOf(copy + u'/' + file) == contentOf(fresh + u'/' + file), qPrintable(file));
    }

    bool makeFlac(const QString &wav, const QString &flac, const QString &title) const
    {
        QDir().mkpath(QFileInfo(flac).path());
        QProcess sonmill;
        sonmill.start(kProgramDir + u"/sonmill"_s,
            { u"qzv"_s, u"-y"_s, u"-i"_s, wav, u"-acodec"_s, u"flac"_s, u"-tag"_s, u"title="_s + title, u"-tag"_s,
                u"album=A"_s, flac });
        return sonmill.waitForFinished(60000) && sonmill.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        for (int track = 1; track <= 3; ++track) {
            const QString wav = path(u"wav/a%1.wav"_s.arg(track));
            QVERIFY(writeTone(wav, 2, 220 * track));
            QVERIFY(makeFlac(wav, path(u"lib/A/0%1.flac"_s.arg(track)), u"Song %1"_s.arg(track)));
        }
        QVERIFY(writeTone(path(u"lib/B/01.wav"_s), 2, 300));
        QVERIFY(writeTone(path(u"lib/B/02.wav"_s), 2, 350));
    }

    // Each change of the library, then a sync: exactly the expected work, and a copy equal to a
    // fresh conversion (the orphans a sync leaves aside).
    void followsTheLibrary()
    {
        const QString copy = path(u"copy"_s);
        const QString results = path(u"results.jsonl"_s);
        struct Road
        {
            const char *name;
            std::function<bool()> change;
            QStringList profile;
            QStringList extra; // arguments beside the library
            Counts expected;
            int exitCode = 0;
            QStringList orphans = {}; // outputs left in the copy
        };
        const QStringList flac { u"-p"_s, u"flac"_s };
        const QList<Road> roads = {
            { "first sync", [] { return true; }, flac, {}, { { u"convert"_s, 5 } } },
            { "(a) nothing changed", [] { return true; }, flac, {}, { { u"keep"_s, 5 } } },
            { "(b) one tag edited",
                [this] {
                    return output(u"metaflac"_s,
                        { u"--remove-tag=TITLE"_s, u"--set-tag=TITLE=Second Song"_s, path(u"lib/A/02.flac"_s) })
                        .isEmpty();
                },
                flac, {}, { { u"tags"_s, 1 }, { u"keep"_s, 4 } } },
            { "(c) an album from another rip",
                [this] {
                    return writeTone(path(u"lib/B/01.wav"_s), 2, 500) && writeTone(path(u"lib/B/02.wav"_s), 2, 550);
                },
                flac, {}, { { u"convert"_s, 2 }, { u"keep"_s, 3 } } },
            { "(d) one file renamed",
                [this] { return QFile::rename(path(u"lib/A/03.flac"_s), path(u"lib/A/03 live.flac"_s)); }, flac, {},
                { { u"move"_s, 1 }, { u"keep"_s, 4 } } },
            { "(e) one album deleted", [this] { return QDir(path(u"lib/B"_s)).removeRecursively(); }, flac, {},
                { { u"orphan"_s, 2 }, { u"keep"_s, 3 } }, 0, { u"lib/B/01.flac"_s, u"lib/B/02.flac"_s } },
            { "(e) a source missing: nothing deleted", [] { return true; }, flac,
                { u"--delete-orphans"_s, u"unplugged"_s }, { { u"orphan"_s, 2 }, { u"keep"_s, 3 } }, 1,
                { u"lib/B/01.flac"_s, u"lib/B/02.flac"_s } },
            { "(e) orphans deleted", [] { return true; }, flac, { u"--delete-orphans"_s },
                { { u"delete"_s, 2 }, { u"keep"_s, 3 } } },
            { "(f) the profile changed", [] { return true; }, { u"-p"_s, u"mp3"_s }, {}, { { u"convert"_s, 3 } } },
            { "(f) then nothing changed", [] { return true; }, { u"-p"_s, u"mp3"_s }, {}, { { u"keep"_s, 3 } } },
            { "(b) one tag edited, into MP3",
                [this] {
                    return output(u"metaflac"_s,
                        { u"--remove-tag=TITLE"_s, u"--set-tag=TITLE=Third Song"_s, path(u"lib/A/03 live.flac"_s) })
                        .isEmpty();
                },
                { u"-p"_s, u"mp3"_s }, {}, { { u"tags"_s, 1 }, { u"keep"_s, 2 } } },
        };
        for (const Road &road : roads) {
            QVERIFY2(road.change(), road.name);
            const auto ended = convert(QStringList { u"--sync"_s, u"-r"_s, u"-j"_s, u"2"_s } + road.profile
                + QStringList { u"-o"_s, copy, u"--results"_s, results, u"lib"_s } + road.extra);
            QVERIFY2(ended.exitCode == road.exitCode, qPrintable(QString::fromUtf8(road.name) + u": "_s + ended.err));
            QCOMPARE(countsOf(results), road.expected);
            compareWithFresh(copy, road.profile, u"lib"_s, road.orphans);
            if (QTest::currentTestFailed()) {
                qWarning("on the road \"%s\"\n%s", road.name, qPrintable(ended.out));
                return;
            }
        }
        // The profile's change left no output of the old one.
        QVERIFY(!outputsBelow(copy).join(u' ').contains(u".flac"_s));
    }

    // --dry-run says what a sync would do and changes nothing.
    void dryRun()
    {
        const QString copy = path(u"dry-copy"_s);
        const QString results = path(u"dry.jsonl"_s);
        const auto ended = convert({ u"--sync"_s, u"--dry-run"_s, u"-r"_s, u"-p"_s, u"flac"_s, u"-o"_s, copy,
            u"--results"_s, results, u"lib"_s });
        QVERIFY2(ended.exitCode == 0, qPrintable(ended.err));
        QCOMPARE(countsOf(results), Counts({ { u"convert"_s, 3 } }));
        QVERIFY2(ended.out.contains(u"convert: lib/A/01.flac -> lib/A/01.flac (new)"_s), qPrintable(ended.out));
        QVERIFY(!QFileInfo::exists(copy));
    }

    // A sync killed (SIGKILL, as a power cut) or interrupted (SIGINT) half way: no half file
    // under an output's name, and the next sync converts only what was not finished.
    void resumes_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGKILL") << int(SIGKILL);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void resumes()
    {
        QFETCH(int, signal);
        const QString library = path(u"long-%1"_s.arg(signal));
        constexpr int kFiles = 6;
        for (int file = 1; file <= kFiles; ++file)
            QVERIFY(writeTone(library + u"/Album/%1.wav"_s.arg(file), 40, 200 + 40 * file));
        const QString copy = path(u"long-copy-%1"_s.arg(signal));
        const QStringList arguments { u"--sync"_s, u"-r"_s, u"-j"_s, u"1"_s, u"-p"_s, u"flac"_s, u"-o"_s, copy,
            u"--results"_s, path(u"long.jsonl"_s), library };

        QProcess first;
        first.setProcessEnvironment(environment());
        first.setWorkingDirectory(m_root.path());
        first.start(kProgramDir + u"/tolm-convert"_s, arguments);
        QVERIFY(first.waitForStarted());
        const QString journal = copy + u"/.tolm-sync.journal"_s;
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::read(journal).count('\n') >= 2, 120000);
        const QList<qint64> children = TestProcess::childrenOf(first.processId());
        ::kill(pid_t(first.processId()), signal);
        QVERIFY(first.waitForFinished(30000));
        if (signal == SIGINT)
            QCOMPARE(first.exitCode(), 130);
        // The transcoders it left behind end by themselves.
        for (const qint64 child : children)
            QTRY_VERIFY_WITH_TIMEOUT(!TestProcess::alive(child), 120000);

        // Whatever has an output's name is whole.
        for (const QString &file : outputsBelow(copy)) {
            if (!QFileInfo(file).fileName().startsWith(u'.'))
                QVERIFY2(output(u"flac"_s, { u"-t"_s, u"-s"_s, copy + u'/' + file }).isEmpty(), qPrintable(file));
        }
        const auto second = convert(arguments);
        QVERIFY2(second.exitCode == 0, qPrintable(second.err));
        const Counts counts = countsOf(path(u"long.jsonl"_s));
        QVERIFY2(counts.value(u"keep"_s) >= 1 && counts.value(u"convert"_s) >= 1, qPrintable(second.out));
        QCOMPARE(counts.value(u"keep"_s) + counts.value(u"convert"_s), kFiles);
        compareWithFresh(copy, { u"-p"_s, u"flac"_s }, library);
    }

    // GNU parallel runs four shards into one copy at once: together they convert what one run
    // converts, each file once, and their states merge; a shard killed and run again finishes
    // only its own remainder.
    void shardsWithParallel()
    {
        const QString library = path(u"many"_s);
        for (int album = 1; album <= 8; ++album) {
            for (int track = 1; track <= 2; ++track)
                QVERIFY(writeTone(library + u"/Album %1/%2.wav"_s.arg(album).arg(track), 1, 100 * album + track));
        }
        const QString copy = path(u"many-copy"_s);
        QProcess parallel;
        parallel.setProcessEnvironment(environment());
        parallel.setWorkingDirectory(m_root.path());
        parallel.start(u"parallel"_s,
            { u"--will-cite"_s, u"-j"_s, u"4"_s, kProgramDir + u"/tolm-convert"_s, u"--sync"_s, u"-r"_s, u"-j"_s,
                u"1"_s, u"-p"_s, u"flac"_s, u"-o"_s, copy, u"--shard"_s, u"{}/4"_s, u"--results"_s,
                path(u"shard-{}.jsonl"_s), library, u":::"_s, u"0"_s, u"1"_s, u"2"_s, u"3"_s });
        const auto ended = TestProcess::waitForEnd(parallel);
        QVERIFY2(ended.exitCode == 0, qPrintable(ended.err));
        QStringList converted;
        for (int shard = 0; shard < 4; ++shard)
            countsOf(path(u"shard-%1.jsonl"_s.arg(shard)), &converted);
        converted.sort();
        QCOMPARE(converted.size(), 16);
        QCOMPARE(converted, outputsBelow(copy));
        compareWithFresh(copy, { u"-p"_s, u"flac"_s }, library);
        // One run over the whole copy finds nothing to do: the four states merged.
        const auto whole = convert({ u"--sync"_s, u"-r"_s, u"-p"_s, u"flac"_s, u"-o"_s, copy, u"--results"_s,
            path(u"whole.jsonl"_s), library });
        QVERIFY2(whole.exitCode == 0, qPrintable(whole.err));
        QCOMPARE(countsOf(path(u"whole.jsonl"_s)), Counts({ { u"keep"_s, 16 } }));
        // Every album ripped anew; share 1 alone is killed after its first file, then run again:
        // it converts only what it had not finished, and nothing of the other shares.
        QStringList ofShareOne;
        for (int album = 1; album <= 8; ++album) {
            for (int track = 1; track <= 2; ++track)
                QVERIFY(writeTone(library + u"/Album %1/%2.wav"_s.arg(album).arg(track), 20, 90 * album + track));
        }
        for (int shard = 0; shard < 4; ++shard) {
            QStringList outputs;
            countsOf(path(u"shard-%1.jsonl"_s.arg(shard)), &outputs);
            if (shard == 1)
                ofShareOne = outputs;
        }
        QVERIFY(!ofShareOne.isEmpty());
        const QStringList shareOne { u"--sync"_s, u"-r"_s, u"-j"_s, u"1"_s, u"-p"_s, u"flac"_s, u"-o"_s, copy,
            u"--shard"_s, u"1/4"_s, u"--results"_s, path(u"again.jsonl"_s), library };
        QProcess killed;
        killed.setProcessEnvironment(environment());
        killed.setWorkingDirectory(m_root.path());
        killed.start(kProgramDir + u"/tolm-convert"_s, shareOne);
        QVERIFY(killed.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::read(copy + u"/.tolm-sync.journal-1of4"_s).count('\n') >= 1, 120000);
        const QList<qint64> children = TestProcess::childrenOf(killed.processId());
        ::kill(pid_t(killed.processId()), SIGKILL);
        QVERIFY(killed.waitForFinished(30000));
        for (const qint64 child : children)
            QTRY_VERIFY_WITH_TIMEOUT(!TestProcess::alive(child), 120000);
        const auto rerun = convert(shareOne);
        QVERIFY2(rerun.exitCode == 0, qPrintable(rerun.err));
        const Counts again = countsOf(path(u"again.jsonl"_s));
        QVERIFY2(again.value(u"keep"_s) >= 1 && again.value(u"convert"_s) >= 1, qPrintable(rerun.out));
        QCOMPARE(again.value(u"keep"_s) + again.value(u"convert"_s), ofShareOne.size());
        // The rest is the other shares' work, untouched so far.
        const auto rest = convert({ u"--sync"_s, u"-r"_s, u"-p"_s, u"flac"_s, u"-o"_s, copy, u"--results"_s,
            path(u"rest.jsonl"_s), library });
        QVERIFY2(rest.exitCode == 0, qPrintable(rest.err));
        QCOMPARE(countsOf(path(u"rest.jsonl"_s)),
            Counts({ { u"keep"_s, ofShareOne.size() }, { u"convert"_s, 16 - int(ofShareOne.size()) } }));
        compareWithFresh(copy, { u"-p"_s, u"flac"_s }, library);
    }

    // Tags rewritten without converting keep the loudness values measured when the output was
    // made; --files-from with -0 takes names with any character and mirrors their folders.
    void retagKeepsLoudnessAndListsWork()
    {
        const QString library = path(u"loud"_s);
        QVERIFY(writeTone(library + u"/Album/01.wav"_s, 3, 440));
        QVERIFY(makeFlac(library + u"/Album/01.wav"_s, library + u"/Album/one.flac"_s, u"One"_s));
        QVERIFY(writeTone(library + u"/Album/odd\nname.wav"_s, 2, 660));
        QVERIFY(QFile::remove(library + u"/Album/01.wav"_s));
        QByteArray list = "loud/Album/one.flac";
        list += '\0';
        list += "loud/Album/odd\nname.wav";
        list += '\0';
        QVERIFY(TestFiles::write(path(u"list"_s), list));
        const QString copy = path(u"loud-copy"_s);
        const QString results = path(u"loud.jsonl"_s);
        const QStringList arguments { u"--sync"_s, u"--files-from"_s, u"list"_s, u"-0"_s, u"-p"_s, u"flac"_s,
            u"--replaygain"_s, u"track"_s, u"-o"_s, copy, u"--results"_s, results };
        auto ended = convert(arguments);
        QVERIFY2(ended.exitCode == 0, qPrintable(ended.err));
        QCOMPARE(outputsBelow(copy), QStringList({ u"loud/Album/odd\nname.flac"_s, u"loud/Album/one.flac"_s }));
        const QString output = copy + u"/loud/Album/one.flac"_s;
        const QString gain = ::output(u"metaflac"_s, { u"--show-tag=REPLAYGAIN_TRACK_GAIN"_s, output });
        QVERIFY2(gain.startsWith(u"REPLAYGAIN_TRACK_GAIN="_s), qPrintable(gain));

        QVERIFY(::output(
            u"metaflac"_s, { u"--remove-tag=TITLE"_s, u"--set-tag=TITLE=Uno"_s, library + u"/Album/one.flac"_s })
                    .isEmpty());
        ended = convert(arguments);
        QVERIFY2(ended.exitCode == 0, qPrintable(ended.err));
        QCOMPARE(countsOf(results), Counts({ { u"tags"_s, 1 }, { u"keep"_s, 1 } }));
        QCOMPARE(::output(u"metaflac"_s, { u"--show-tag=TITLE"_s, output }), u"TITLE=Uno\n"_s);
        QCOMPARE(::output(u"metaflac"_s, { u"--show-tag=REPLAYGAIN_TRACK_GAIN"_s, output }), gain);
    }
};

QTEST_GUILESS_MAIN(TestCliSync)
#include "tst_clisync.moc"
