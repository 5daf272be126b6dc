#include "cli/optiontable.h"

using namespace Qt::StringLiterals;

namespace {

using Given = ConvertOption::Given;

QString wholeNumber(std::optional<int> &target, const Given &given, int lowest, int highest)
{
    bool ok = false;
    const int value = given.value.toInt(&ok);
    if (!ok || value < lowest || value > highest || given.value.startsWith(u'+'))
        return u"%1 wants a whole number from %2 to %3, not \"%4\""_s.arg(given.name)
            .arg(lowest)
            .arg(highest)
            .arg(given.value);
    target = value;
    return {};
}

QString time(std::optional<int> &target, const Given &given)
{
    target = ParseTimeArgument(given.value);
    return target ? QString()
                  : u"%1 wants a time code hh:mm:ss or whole seconds, not \"%2\""_s.arg(given.name, given.value);
}

// The value's place among the words of its value name ("high|normal|low"), so the words the
// parser accepts are the ones --help shows and the completion offers; -1 with `refusal` set
// when it is none of them.
qsizetype choice(const Given &given, Qt::CaseSensitivity sensitivity, QString &refusal)
{
    QStringList words = given.option.words();
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words.at(i).compare(given.value, sensitivity) == 0)
            return i;
    }
    const QString last = words.takeLast();
    refusal = u"%1 wants %2 or %3, not \"%4\""_s.arg(given.name, words.join(u", "_s), last, given.value);
    return -1;
}

// A switch that turns one of the options on.
template <bool ConvertOptions::*field> QString set(ConvertOptions &options, const Given &)
{
    options.*field = true;
    return {};
}

constexpr ConvertOption kOptions[] = {
    { u"-p", u"--profile", u"NAME", ValueCompletion::Profile,
        u"The output profile: a profile of the window's list (the catalogue's, then the user profiles saved "
        u"in the window), by its full name, an unambiguous beginning of it (flac, Voice) or its file "
        u"extension (mp3, .au). Default: the first profile of the list, \"AAC - Advanced Audio Coding (*.aac)\".",
        [](ConvertOptions &o, const Given &g) {
            o.profile = g.value;
            return QString();
        } },
    { u"-q", u"--quality", u"high|normal|low", ValueCompletion::Words,
        u"The audio quality, which picks the profile's bit rate. Default: normal.",
        [](ConvertOptions &o, const Given &g) {
            QString refusal;
            if (const qsizetype position = choice(g, Qt::CaseInsensitive, refusal); position >= 0)
                o.qualityPosition = int(position);
            return refusal;
        } },
    { {}, u"--rate", u"HZ", ValueCompletion::Nothing,
        u"Sample rate, one of those the profile's advanced settings offer (e.g. 44100).",
        [](ConvertOptions &o, const Given &g) { return wholeNumber(o.rate, g, 1, 1000000); } },
    { {}, u"--channels", u"1|2|6", ValueCompletion::Words,
        u"Mono, stereo or 5.1, as the profile's advanced settings offer.",
        [](ConvertOptions &o, const Given &g) {
            QString refusal;
            if (choice(g, Qt::CaseSensitive, refusal) >= 0)
                o.channels = g.value.toInt();
            return refusal;
        } },
    { {}, u"--bitrate", u"KBPS", ValueCompletion::Nothing,
        u"Bit rate in kbit/s, one of those the profile's advanced settings offer; replaces the quality's. "
        u"--rate, --channels and --bitrate are refused for lossless profiles, and --bitrate for profiles "
        u"without a bit-rate choice, as in the window.",
        [](ConvertOptions &o, const Given &g) { return wholeNumber(o.bitrate, g, 1, 100000); } },
    { u"-o", u"--output", u"DIR", ValueCompletion::Folder,
        u"Folder for the converted files, created when missing. Default: the folder the window converts "
        u"into when it starts, TOLM in the home folder (~/TOLM); where that cannot be made, the window's "
        u"default output folder (Documents/TOLM/TOLM Audio Converter).",
        [](ConvertOptions &o, const Given &g) {
            if (g.value.isEmpty())
                return u"%1 wants a folder"_s.arg(g.name);
            o.outputFolder = g.value;
            return QString();
        } },
    { {}, u"--start", u"T", ValueCompletion::Nothing,
        u"Convert from T on; T is a time code hh:mm:ss or whole seconds. A file shorter than T fails.",
        [](ConvertOptions &o, const Given &g) { return time(o.start, g); } },
    { {}, u"--end", u"T", ValueCompletion::Nothing, u"Convert up to T (at most to the file's end).",
        [](ConvertOptions &o, const Given &g) { return time(o.end, g); } },
    { {}, u"--length", u"T", ValueCompletion::Nothing,
        u"Convert T from the start (at most to the file's end). Not with --end.",
        [](ConvertOptions &o, const Given &g) { return time(o.length, g); } },
    { {}, u"--volume", u"PERCENT", ValueCompletion::Nothing,
        u"Output volume from 0 to 400; 100 leaves it unchanged (the default).",
        [](ConvertOptions &o, const Given &g) { return wholeNumber(o.volume, g, 0, kMaxVolume); } },
    { {}, u"--replaygain", u"track|album", ValueCompletion::Words,
        u"Write ReplayGain 2.0 values (reference -18 LUFS, true peaks) into each output: its own track "
        u"values, and with album also the album's: the files of one folder, or the tracks of one CUE sheet, "
        u"are an album, measured first end to end, and a run over several folders gives each its own album "
        u"values. The source's own ReplayGain fields (its reference loudness too) are replaced. Silence and "
        u"files shorter than 0.4 s get no track gain.",
        [](ConvertOptions &o, const Given &g) {
            QString refusal;
            if (const qsizetype position = choice(g, Qt::CaseSensitive, refusal); position >= 0)
                o.replayGain = position == 0 ? ReplayGainChoice::Track : ReplayGainChoice::Album;
            return refusal;
        } },
    { {}, u"--normalize", u"LUFS", ValueCompletion::Nothing,
        u"Bring each file to this integrated loudness (e.g. -16 or -23) in two passes, a look-ahead limiter "
        u"keeping the true peak at or below -1 dBTP; --volume is then ignored. Not with --replaygain album.",
        [](ConvertOptions &o, const Given &g) {
            return wholeNumber(o.normalizeLufs, g, kLowestTargetLufs, kHighestTargetLufs);
        } },
    { u"-r", u"--recursive", {}, ValueCompletion::Nothing,
        u"Take the files of FOLDER's sub-folders too, mirrored below the output folder as the window "
        u"mirrors an added folder: FOLDER's own name, then its sub-folders (Music/Album/CD2/01.flac to "
        u"DIR/Album/CD2/01.mp3 for the argument Music/Album). Without it a FOLDER's own files still go "
        u"into a folder of its name (DIR/Album/01.mp3). The output folder itself is never taken as input.",
        &set<&ConvertOptions::recursive> },
    { {}, u"--overwrite", {}, ValueCompletion::Nothing,
        u"Replace an existing output file (atomically, when its conversion has succeeded). A file that is "
        u"one of the sources, or the output of another file of the same run, is never replaced: that "
        u"output gets the \"(new)\" name instead. Without --overwrite or --skip, \"(new)\" is put before "
        u"the extension until the name is free, as in the window.",
        [](ConvertOptions &o, const Given &) {
            o.clash = ClashRule::Overwrite;
            return QString();
        } },
    { {}, u"--skip", {}, ValueCompletion::Nothing, u"Leave out a file whose output file already exists.",
        [](ConvertOptions &o, const Given &) {
            o.clash = ClashRule::Skip;
            return QString();
        } },
    { u"-j", u"--jobs", u"N", ValueCompletion::Nothing,
        u"Run N transcoders at once, each converting one file. Default: the number of processors.",
        [](ConvertOptions &o, const Given &g) {
            std::optional<int> jobs;
            QString refusal = wholeNumber(jobs, g, 1, kMaxJobs);
            o.jobs = jobs.value_or(o.jobs);
            return refusal;
        } },
    { {}, u"--trash-sources", {}, ValueCompletion::Nothing,
        u"Move each source file to the desktop's trash (as a file manager does: restorable from there, "
        u"never deleted) once every output made from it has passed its check. A source whose file failed, "
        u"was skipped or left out stays where it is, and so does one that cannot be moved, with a message; "
        u"the closing line counts the files moved. Not with --dry-run.",
        &set<&ConvertOptions::trashSources> },
    { {}, u"--quiet", {}, ValueCompletion::Nothing, u"Print nothing but failures.", &set<&ConvertOptions::quiet> },
    { {}, u"--dry-run", {}, ValueCompletion::Nothing,
        u"Examine the files and print the transcoder command lines that would run; convert nothing and "
        u"create no output folder.",
        &set<&ConvertOptions::dryRun> },
    { {}, u"--sync", {}, ValueCompletion::Nothing,
        u"Bring the output folder in step with the sources with the least work: new files are converted, "
        u"unchanged ones left alone (by size and time, then by their audio: a FLAC's own MD5, else a hash "
        u"of the decoded audio), a file whose tags or pictures changed but not its audio gets its output's "
        u"tags written anew without converting, a renamed or moved file moves its output, and a changed "
        u"profile or option converts again what it affects. Outputs whose source is gone are listed. The "
        u"state is kept in the output folder (.tolm-sync.json, written atomically, and a journal beside it "
        u"while a sync runs), so a sync that is interrupted, even killed, goes on where it stopped. "
        u"With --dry-run it prints what it would do.",
        &set<&ConvertOptions::sync> },
    { {}, u"--delete-orphans", {}, ValueCompletion::Nothing,
        u"With --sync: remove the outputs whose source is gone; never when a FOLDER given is missing or "
        u"holds no media file (a disk that is not there must not empty the copy).",
        &set<&ConvertOptions::deleteOrphans> },
    { {}, u"--shard", u"I/N", ValueCompletion::Nothing,
        u"With --sync: do only share I (0 to N-1) of N of the work (I/N, or auto or auto/N as below), chosen by album "
        u"folder so an album (its CUE sheet, "
        u"its album gain) stays in one share; shares running at once into one output folder never write "
        u"the same file, and their sync states merge. auto takes I and N from a Slurm array "
        u"(SLURM_ARRAY_TASK_ID, SLURM_ARRAY_TASK_COUNT, SLURM_ARRAY_TASK_MIN) or a Kubernetes Indexed Job "
        u"(JOB_COMPLETION_INDEX, with its count given as auto/N or in TOLM_SHARD_COUNT).",
        [](ConvertOptions &o, const Given &g) {
            if (g.value == u"auto" || g.value.startsWith(u"auto/")) {
                o.shardAuto = true;
                bool ok = true;
                o.shardCount = g.value == u"auto" ? 0 : g.value.mid(5).toInt(&ok);
                if (ok && o.shardCount >= 0 && o.shardCount <= kMaxShards)
                    return QString();
            }
            return ParseShard(g.value, o.shardIndex, o.shardCount)
                ? QString()
                : u"%1 wants I/N with I from 0 to N-1, auto or auto/N, not \"%2\""_s.arg(g.name, g.value);
        } },
    { {}, u"--files-from", u"FILE", ValueCompletion::Nothing,
        u"Read the files and folders to convert from FILE (- for standard input), one a line, besides "
        u"those named. A file listed by a relative path keeps that path's folders below the output folder "
        u"(cd Music && find . -name '*.flac' | tolm-convert --files-from - -o DIR).",
        [](ConvertOptions &o, const Given &g) {
            o.filesFrom = g.value;
            return QString();
        } },
    { u"-0", u"--null", {}, ValueCompletion::Nothing,
        u"The list of --files-from is separated by NUL characters (find -print0), not by lines.",
        &set<&ConvertOptions::nullSeparated> },
    { {}, u"--results", u"FILE", ValueCompletion::Nothing,
        u"With --sync: write one JSON line per file to FILE: source, output, action (convert, tags, move, keep, "
        u"orphan, "
        u"delete, failed), status (done, failed, planned), seconds, reason.",
        [](ConvertOptions &o, const Given &g) {
            o.results = g.value;
            return QString();
        } },
    { {}, u"--list-profiles", {}, ValueCompletion::Nothing, u"Print the profiles with their settings and end.",
        &set<&ConvertOptions::listProfiles> },
    { u"-h", u"--help", {}, ValueCompletion::Nothing, u"Print this help and end.", &set<&ConvertOptions::help> },
    { {}, u"--version", {}, ValueCompletion::Nothing, u"Print the version and end.", &set<&ConvertOptions::version> },
};

} // namespace

QString ConvertOption::names() const
{
    return shortName.isEmpty() ? longName.toString() : shortName + u", "_s + longName;
}

QStringList ConvertOption::words() const
{
    return completion == ValueCompletion::Words ? valueName.toString().split(u'|') : QStringList();
}

std::span<const ConvertOption> ConvertOptionTable()
{
    return kOptions;
}
