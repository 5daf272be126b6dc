// The parts of tolm-convert that need no transcoder: its command line, the profile it picks and
// the settings it overrides, the files it gathers, the output names it settles, its help text.

#include "cli/batchsources.h"
#include "cli/convertoptions.h"
#include "cli/optiontable.h"
#include "cli/profilechoice.h"
#include "cli/progressview.h"
#include "cli/usage.h"
#include "core/startrecord.h"
#include "profiles/profilecatalogue.h"
#include "testfiles.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
const QString kMp3 = u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s;
} // namespace

class TestCliParts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The window's profile list with one user profile saved from the MP3 profile.
    ProfileChoice profiles()
    {
        const QString userFile = path(u"profile/userprofile.ini"_s);
        if (!QFile::exists(userFile)) {
            TestFiles::write(path(u"profile/Voice"_s), {});
            TestFiles::write(userFile,
                "[Voice (*.mp3)]\nVideoNot=True\nLossless=False\nASR=22050 Hz\nBitrateNot=False\n"
                "ABRH=96 kbps\nABRN=64 kbps\nABRL=32 kbps\nABR=64 kbps\nAudioCodec=mp3\nAC=1 Channel Mono\n"
                "filename="
                    + path(u"profile/Voice"_s).toUtf8() + "\n");
        }
        return ProfileChoice::load(kProgramDir, userFile);
    }

private Q_SLOTS:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // a word the error holds; empty when accepted
        QTest::addColumn<QString>("check"); // field=value that the options then hold

        const auto row = [](const char *name, const QStringList &arguments, const QString &error,
                             const QString &check = {}) { QTest::newRow(name) << arguments << error << check; };
        row("files only", { u"a.wav"_s, u"b.flac"_s }, {}, u"inputs=a.wav,b.flac"_s);
        row("profile and quality", { u"-p"_s, u"mp3"_s, u"-q"_s, u"HIGH"_s, u"x"_s }, {}, u"quality=0"_s);
        row("joined values", { u"--jobs=3"_s, u"-olater"_s, u"x"_s }, {}, u"jobs=3"_s);
        row("short joined", { u"-j7"_s, u"x"_s }, {}, u"jobs=7"_s);
        row("times", { u"--start"_s, u"00:01:05"_s, u"--length"_s, u"30"_s, u"x"_s }, {}, u"start=65"_s);
        row("after --", { u"--"_s, u"-r"_s }, {}, u"inputs=-r"_s);
        row("overwrite", { u"--overwrite"_s, u"x"_s }, {}, u"clash=overwrite"_s);
        row("list needs no file", { u"--list-profiles"_s }, {});
        row("no file", { u"-r"_s }, u"no file"_s);
        row("unknown option", { u"--frobnicate"_s, u"x"_s }, u"unknown option"_s);
        row("switch with a value", { u"--quiet=yes"_s, u"x"_s }, u"unknown option"_s);
        row("missing value", { u"x"_s, u"-o"_s }, u"wants a value"_s);
        row("bad quality", { u"-q"_s, u"best"_s, u"x"_s }, u"high, normal or low"_s);
        row("volume too high", { u"--volume"_s, u"401"_s, u"x"_s }, u"0 to 400"_s);
        row("negative volume", { u"--volume"_s, u"-1"_s, u"x"_s }, u"0 to 400"_s);
        row("no jobs", { u"-j"_s, u"0"_s, u"x"_s }, u"1 to 64"_s);
        row("five channels", { u"--channels"_s, u"5"_s, u"x"_s }, u"1, 2 or 6"_s);
        row("minutes past 59", { u"--start"_s, u"00:61:00"_s, u"x"_s }, u"time code"_s);
        row("fraction", { u"--length"_s, u"1.5"_s, u"x"_s }, u"time code"_s);
        row("end before start", { u"--start"_s, u"60"_s, u"--end"_s, u"00:00:30"_s, u"x"_s }, u"after --start"_s);
        row("end equal start", { u"--start"_s, u"60"_s, u"--end"_s, u"60"_s, u"x"_s }, u"after --start"_s);
        row("end and length", { u"--end"_s, u"60"_s, u"--length"_s, u"30"_s, u"x"_s }, u"exclude"_s);
        row("zero length", { u"--length"_s, u"0"_s, u"x"_s }, u"more than 0"_s);
        row("overwrite and skip", { u"--overwrite"_s, u"--skip"_s, u"x"_s }, u"exclude"_s);
        row("replaygain track", { u"--replaygain"_s, u"track"_s, u"x"_s }, {}, u"replaygain=track"_s);
        row("replaygain album", { u"--replaygain=album"_s, u"x"_s }, {}, u"replaygain=album"_s);
        row("replaygain other", { u"--replaygain"_s, u"disc"_s, u"x"_s }, u"track or album"_s);
        row("normalize", { u"--normalize"_s, u"-16"_s, u"x"_s }, {}, u"normalize=-16"_s);
        row("normalize joined", { u"--normalize=-23"_s, u"x"_s }, {}, u"normalize=-23"_s);
        row("normalize above 0", { u"--normalize"_s, u"3"_s, u"x"_s }, u"-70 to 0"_s);
        row("normalize fraction", { u"--normalize"_s, u"-16.5"_s, u"x"_s }, u"-70 to 0"_s);
        row("album and normalize", { u"--replaygain"_s, u"album"_s, u"--normalize"_s, u"-16"_s, u"x"_s }, u"exclude"_s);
        row("trash sources", { u"--trash-sources"_s, u"x"_s }, {}, u"trash=1"_s);
        row("trash sources, dry", { u"--trash-sources"_s, u"--dry-run"_s, u"x"_s }, u"exclude"_s);
        row("track and normalize", { u"--replaygain"_s, u"track"_s, u"--normalize"_s, u"-16"_s, u"x"_s }, {},
            u"normalize=-16"_s);
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(QString, check);
        const ParsedCommandLine parsed = ParseConvertArguments(arguments);
        if (!error.isEmpty()) {
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
            return;
        }
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        const ConvertOptions &o = parsed.options;
        const QString field = check.section(u'=', 0, 0);
        const QString value = check.section(u'=', 1);
        if (field == u"inputs")
            QCOMPARE(o.inputs, value.split(u','));
        else if (field == u"quality")
            QCOMPARE(o.qualityPosition, value.toInt());
        else if (field == u"jobs")
            QCOMPARE(o.jobs, value.toInt());
        else if (field == u"start") {
            QCOMPARE(o.start.value_or(-1), value.toInt());
            QCOMPARE(o.length.value_or(-1), 30);
        } else if (field == u"clash")
            QVERIFY(o.clash == ClashRule::Overwrite);
        else if (field == u"replaygain")
            QVERIFY(o.replayGain == (value == u"album" ? ReplayGainChoice::Album : ReplayGainChoice::Track));
        else if (field == u"normalize")
            QCOMPARE(o.normalizeLufs.value_or(1), value.toInt());
        else if (field == u"trash")
            QVERIFY(o.trashSources);
        else
            QVERIFY(!o.trashSources); // never on unless asked
    }

    void profileByName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found"); // empty: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("extension") << u"mp3"_s << kMp3 << QString();
        QTest::newRow("extension with dot") << u".au"_s << u"SUN AU Format (*.au)"_s << QString();
        QTest::newRow("beginning") << u"flac"_s << u"FLAC - Free Lossless Audio Codec (*.flac)"_s << QString();
        QTest::newRow("full name, other case") << u"mp3 - mpeg layer-3 audio (*.mp3)"_s << kMp3 << QString();
        QTest::newRow("user profile") << u"Voice"_s << u"Voice (*.mp3)"_s << QString();
        QTest::newRow("lossless wav") << u"WAV - Waveform L"_s << u"WAV - Waveform Lossless Audio (*.wav)"_s
                                      << QString();
        QTest::newRow("two wav") << u"wav"_s << QString() << u"WAV - Waveform Lossless Audio (*.wav)"_s;
        QTest::newRow("two wma") << u".wma"_s << QString() << u"WMA - Windows Media Audio (*.wma)"_s;
        QTest::newRow("m4a, a beginning") << u"m4a"_s << u"M4A - MPEG-4 Audio (*.m4a)"_s << QString();
        QTest::newRow("two m4a") << u".m4a"_s << QString() << u"ALAC - Apple Lossless (*.m4a)"_s;
        QTest::newRow("apple lossless") << u"alac"_s << u"ALAC - Apple Lossless (*.m4a)"_s << QString();
        QTest::newRow("opus") << u"opus"_s << u"OPUS - Opus Audio (*.opus)"_s << QString();
        QTest::newRow("none") << u"speex"_s << QString() << u"no profile"_s;
        QTest::newRow("empty") << u" "_s << QString() << u"no profile"_s;
    }

    void profileByName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        QFETCH(QString, error);
        const ProfileChoice choice = profiles();
        QCOMPARE(choice.entries().size(), kBuiltInProfileCount + 1);
        QString why;
        const ProfileEntry *entry = choice.find(typed, &why);
        QCOMPARE(entry ? entry->name : QString(), found);
        QVERIFY2(why.contains(error), qPrintable(why));
    }

    void listing()
    {
        const QString text = profiles().listing();
        QVERIFY(
            text.contains(u"Voice (*.mp3)  [user profile]\n    encoder mp3, 1 Channel Mono, 22050 Hz, high 96 kbps"_s));
        QVERIFY(text.contains(
            u"FLAC - Free Lossless Audio Codec (*.flac)\n    encoder flac, 2 Channels Stereo, lossless"_s));
        QVERIFY(text.contains(u"OPUS - Opus Audio (*.opus)\n    encoder opus, 2 Channels Stereo, the source's rate, "
                              "high 160 kbps, normal 128 kbps, low 96 kbps, no video"_s));
        QVERIFY(text.contains(u"ALAC - Apple Lossless (*.m4a)\n    encoder alac, 2 Channels Stereo, lossless"_s));
    }

    // The record a run starts from, as the window's choosers and advanced settings leave it.
    void settings_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("refusal"); // a word of it; empty when applied
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("channels");
        QTest::addColumn<QString>("bitrate");

        QTest::newRow("quality high") << u"mp3"_s << QStringList { u"-q"_s, u"high"_s } << QString() << u"44100 Hz"_s
                                      << u"2 Channels Stereo"_s << u"192 kbps"_s;
        QTest::newRow("offered values") << u"mp3"_s
                                        << QStringList { u"--rate"_s, u"48000"_s, u"--channels"_s, u"1"_s,
                                               u"--bitrate"_s, u"320"_s }
                                        << QString() << u"48000 Hz"_s << u"1 Channel Mono"_s << u"320 kbps"_s;
        QTest::newRow("5.1 where offered") << u"ogg"_s << QStringList { u"--channels"_s, u"6"_s } << QString()
                                           << u"44100 Hz"_s << u"5.1"_s << u"128 kbps"_s;
        QTest::newRow("rate not offered")
            << u"mp3"_s << QStringList { u"--rate"_s, u"44000"_s } << u"offers the sample rates 8000 Hz"_s << QString()
            << QString() << QString();
        QTest::newRow("5.1 not offered") << u"mp3"_s << QStringList { u"--channels"_s, u"6"_s } << u"channel layouts"_s
                                         << QString() << QString() << QString();
        QTest::newRow("bit rate not offered") << u"mp3"_s << QStringList { u"--bitrate"_s, u"100"_s } << u"bit rates"_s
                                              << QString() << QString() << QString();
        QTest::newRow("lossless") << u"flac"_s << QStringList { u"--channels"_s, u"1"_s } << u"lossless"_s << QString()
                                  << QString() << QString();
        QTest::newRow("no bit-rate choice") << u"aiff"_s << QStringList { u"--bitrate"_s, u"128"_s }
                                            << u"no bit-rate choice"_s << QString() << QString() << QString();
        QTest::newRow("library file missing")
            << u"Voice"_s << QStringList { u"--rate"_s, u"8000"_s }
            << u"Can't found  library file for selected profile!"_s << QString() << QString() << QString();
    }

    void settings()
    {
        QFETCH(QString, profile);
        QFETCH(QStringList, arguments);
        QFETCH(QString, refusal);
        const ProfileChoice choice = profiles();
        QString why;
        const ProfileEntry *entry = choice.find(profile, &why);
        QVERIFY2(entry, qPrintable(why));
        const ParsedCommandLine parsed = ParseConvertArguments(arguments + QStringList { u"x"_s });
        QVERIFY(parsed.error.isEmpty());
        TStartRecord job;
        const QString refused = ApplyProfileOptions(job, *entry, parsed.options);
        QVERIFY2(refusal.isEmpty() ? refused.isEmpty() : refused.contains(refusal), qPrintable(refused));
        if (!refusal.isEmpty())
            return;
        QTEST(job.SampleRate.text(), "rate");
        QTEST(job.Channels.text(), "channels");
        QTEST(job.Bitrate.text(), "bitrate");
        QCOMPARE(job.ProfileName.text(), entry->name);
    }

    void gathering()
    {
        const QString root = path(u"gather"_s);
        for (const char *name : { "in/b.wav", "in/a.FLAC", "in/notes.txt", "in/.hidden.wav", "in/.cache/c.wav",
                 "in/sub/deep/d.mp3", "in/out/old.mp3", "single.txt" })
            QVERIFY(TestFiles::write(root + u'/' + QString::fromUtf8(name), "x"));
        QVERIFY(QDir::setCurrent(root));
        const QString out = root + u"/in/out"_s;

        GatheredSources flat = GatherSources({ u"in"_s, u"single.txt"_s, u"gone.wav"_s }, false, out);
        QStringList shown;
        for (const BatchSource &source : flat.sources)
            shown << source.shown + u" > "_s + QDir(root).relativeFilePath(source.outputFolder);
        // Named files are always taken; a folder gives its media files into a folder of its own
        // name, as in the window; without -r no sub-folder.
        QCOMPARE(
            shown, QStringList({ u"in/a.FLAC > in/out/in"_s, u"in/b.wav > in/out/in"_s, u"single.txt > in/out"_s }));
        QCOMPARE(flat.missing, QStringList { u"gone.wav"_s });

        GatheredSources deep = GatherSources({ u"in/"_s }, true, out);
        shown.clear();
        for (const BatchSource &source : deep.sources)
            shown << source.shown + u" > "_s + QDir(root).relativeFilePath(source.outputFolder);
        // -r mirrors as the window does, from the folder's own name on; the output folder inside
        // the input is left out.
        QCOMPARE(shown,
            QStringList({ u"in/a.FLAC > in/out/in"_s, u"in/b.wav > in/out/in"_s,
                u"in/sub/deep/d.mp3 > in/out/in/sub/deep"_s }));
        QCOMPARE(deep.sources.first().path, root + u"/in/a.FLAC"_s);
    }

    void outputNames_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QStringList>("names"); // one reservation each, in order
        QTest::addColumn<QStringList>("expected");
        const int newName = int(ClashRule::NewName);
        const int overwrite = int(ClashRule::Overwrite);
        // On disk: taken.mp3, taken(new).mp3 and source.mp3, which is one of the run's sources.
        QTest::newRow("free") << newName << QStringList { u"song.mp3"_s } << QStringList { u"song.mp3"_s };
        QTest::newRow("window's rule") << newName << QStringList { u"taken.mp3"_s }
                                       << QStringList { u"taken(new)(new).mp3"_s };
        QTest::newRow("twice in one run") << newName << QStringList { u"song.mp3"_s, u"song.mp3"_s, u"song.mp3"_s }
                                          << QStringList { u"song.mp3"_s, u"song(new).mp3"_s, u"song(new)(new).mp3"_s };
        QTest::newRow("replaced") << overwrite << QStringList { u"taken.mp3"_s } << QStringList { u"taken.mp3"_s };
        QTest::newRow("never a source") << overwrite << QStringList { u"source.mp3"_s }
                                        << QStringList { u"source(new).mp3"_s };
        QTest::newRow("never the run's own output") << overwrite << QStringList { u"taken.mp3"_s, u"taken.mp3"_s }
                                                    << QStringList { u"taken.mp3"_s, u"taken(new)(new).mp3"_s };
    }

    void outputNames()
    {
        QFETCH(int, rule);
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        const QString folder = path(u"names"_s);
        for (const char *name : { "taken.mp3", "taken(new).mp3", "source.mp3" })
            QVERIFY(TestFiles::write(folder + u'/' + QString::fromUtf8(name), "x"));
        // The source is named through a link: still the same file.
        QFile::remove(folder + u"/link.wav"_s);
        QVERIFY(QFile::link(folder + u"/source.mp3"_s, folder + u"/link.wav"_s));
        OutputNames reserved(ClashRule(rule), { BatchSource { folder + u"/link.wav"_s, {}, folder } });
        QStringList got;
        for (const QString &name : names)
            got << QFileInfo(reserved.reserve(folder, name, u".mp3"_s)).fileName();
        QCOMPARE(got, expected);
    }

    void remainingTime_data()
    {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("transcoderMs");
        QTest::addColumn<int>("sideBySide");
        QTest::addColumn<QString>("remaining");
        // 100 media seconds in 10 s of one transcoder's time: 10 per second each.
        QTest::newRow("two at once") << 100 << 400 << 10000 << 2 << u"00:00:15"_s;
        QTest::newRow("one left running") << 100 << 400 << 10000 << 1 << u"00:00:30"_s;
        QTest::newRow("done") << 400 << 400 << 40000 << 0 << QString();
        QTest::newRow("nothing done yet") << 0 << 400 << 5000 << 2 << QString();
        QTest::newRow("too early to say") << 5 << 400 << 500 << 2 << QString();
        QTest::newRow("an hour and more") << 10 << 7210 << 10000 << 1 << u"02:00:00"_s;
    }

    void remainingTime()
    {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(int, transcoderMs);
        QFETCH(int, sideBySide);
        QTEST(ProgressView::remainingTime(done, total, transcoderMs, sideBySide), "remaining");
    }

    // --help and the manual page are one text.
    void helpAndManual()
    {
        const QString help = Usage::helpText();
        const QString manual = Usage::manPage(u"1.0"_s);
        for (const Usage::Option &option : Usage::options()) {
            QVERIFY2(help.contains(option.names), qPrintable(option.names));
            QString roffNames = option.names;
            QVERIFY2(
                manual.contains(u"\\fB"_s + roffNames.replace(u'-', u"\\-"_s) + u"\\fR"_s), qPrintable(option.names));
        }
        for (const QString &line : help.split(u'\n'))
            QVERIFY2(line.size() <= 80, qPrintable(line));
        QVERIFY(manual.startsWith(u".TH TOLM\\-CONVERT 1"_s));
        QVERIFY(!manual.contains(u"\n."_s + u"Converts"_s)); // no text line read as a request
    }

    // Each declared option, under each of its names, is taken by the parser in the forms it
    // promises and is offered by the completion, its value too.
    void optionTable()
    {
        const QString completion = Usage::bashCompletion();
        static const QRegularExpression optionList(u"compgen -W \"(-[^\"]*)\""_s);
        const QStringList offered = optionList.match(completion).captured(1).split(u' ');
        static const QRegularExpression caseArm(u"\n    (-[^\n]*)\\)\n((?:        [^\n]*\n)*?)        return\n"_s);
        QHash<QString, QString> arms; // option name: what its arm offers
        for (const auto &match : caseArm.globalMatch(completion)) {
            for (const QString &name : match.captured(1).split(u" | "_s))
                arms.insert(name, match.captured(2));
        }

        QStringList declared;
        for (const ConvertOption &option : ConvertOptionTable()) {
            QStringList names { option.longName.toString() };
            QVERIFY2(names.first().startsWith(u"--"_s) && names.first().size() > 3, qPrintable(names.first()));
            if (!option.shortName.isEmpty()) {
                // The parser reads "-j4" as -j with 4: a short name is one letter, or a digit for a
                // switch, which takes nothing joined (-0, as xargs and find name it).
                QVERIFY2(option.shortName.size() == 2
                        && (option.shortName.at(1).isLetter()
                            || (option.shortName.at(1).isDigit() && !option.takesValue())),
                    qPrintable(option.shortName.toString()));
                names << option.shortName.toString();
            }
            QVERIFY(!option.help.isEmpty());
            QCOMPARE(option.completion == ValueCompletion::Words, option.valueName.contains(u'|'));
            QVERIFY(option.takesValue() || option.completion == ValueCompletion::Nothing);
            for (const QString &name : names) {
                declared << name;
                QVERIFY2(offered.contains(name), qPrintable(name));
                QCOMPARE(arms.contains(name), option.takesValue());
                if (!option.takesValue()) {
                    QCOMPARE(ParseConvertArguments({ name, u"x"_s }).error, QString());
                    const QString joined = name + (name.startsWith(u"--"_s) ? u"=1"_s : u"1"_s);
                    QCOMPARE(ParseConvertArguments({ joined, u"x"_s }).error, u"unknown option \"%1\""_s.arg(joined));
                    continue;
                }
                QCOMPARE(ParseConvertArguments({ u"x"_s, name }).error, name + u" wants a value"_s);
                // A value nothing accepts is refused by the option itself, naming it as typed.
                const QString refused = ParseConvertArguments({ name, u"?"_s, u"x"_s }).error;
                QVERIFY2(refused.isEmpty() || refused.startsWith(name + u" wants "_s), qPrintable(refused));
                for (const QString &word : option.words()) {
                    QVERIFY2(arms.value(name).contains(word), qPrintable(name + u' ' + word));
                    const QString joined = name + (name.startsWith(u"--"_s) ? u"="_s : QString()) + word;
                    QCOMPARE(ParseConvertArguments({ name, word, u"x"_s }).error, QString());
                    QCOMPARE(ParseConvertArguments({ joined, u"x"_s }).error, QString());
                }
                if (!option.words().isEmpty())
                    QVERIFY2(refused.contains(option.words().last()), qPrintable(refused));
            }
        }
        QCOMPARE(QSet<QString>(offered.begin(), offered.end()).size(), offered.size()); // no name twice
        QCOMPARE(QSet<QString>(offered.begin(), offered.end()), QSet<QString>(declared.begin(), declared.end()));
    }
};

QTEST_GUILESS_MAIN(TestCliParts)
#include "tst_cliparts.moc"
