#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What to do with a name that is taken.
enum class ClashRule {
    NewName, // "(new)" before the extension until the name is free, as the window does
    Overwrite, // replace the existing file, never a source
    Skip, // leave the file out
};

// --replaygain: none, each file's own values, or those and the album's (every file of the
// run measured first, end to end).
enum class ReplayGainChoice { None, Track, Album };

// The command line of tolm-convert, checked for form; nothing here looks at files or profiles.
struct ConvertOptions
{
    QStringList inputs; // files and folders, as given
    QString profile; // as typed; empty for the first profile of the list
    int qualityPosition = 1; // the quality chooser's position: 0 high, 1 normal, 2 low
    std::optional<int> rate; // Hz
    std::optional<int> channels; // 1, 2 or 6
    std::optional<int> bitrate; // kbit/s
    QString outputFolder; // empty for the folder the window converts into
    std::optional<int> start; // seconds
    std::optional<int> end; // seconds
    std::optional<int> length; // seconds
    std::optional<int> volume; // percent
    ReplayGainChoice replayGain = ReplayGainChoice::None;
    std::optional<int> normalizeLufs; // --normalize: target integrated loudness
    bool recursive = false;
    ClashRule clash = ClashRule::NewName;
    int jobs = 0; // 0: the number of processors
    bool quiet = false;
    bool dryRun = false;
    bool trashSources = false; // --trash-sources: sources of checked outputs to the desktop's trash
    // --sync: bring the output folder in step with the sources (cli/sync/).
    bool sync = false;
    bool deleteOrphans = false; // --delete-orphans
    // --shard I/N: this run's share of the albums; count 0 for none. "auto" takes the share
    // from the job array's environment (shardAuto).
    int shardIndex = 0;
    int shardCount = 0;
    bool shardAuto = false;
    QString filesFrom; // --files-from: a list of inputs ("-" standard input)
    bool nullSeparated = false; // -0: the list is separated by NUL, as find -print0 writes it
    QString results; // --results: one JSON line per file
    bool listProfiles = false;
    bool help = false;
    bool version = false;
};

struct ParsedCommandLine
{
    ConvertOptions options;
    QString error; // empty when the command line is usable
};

// Parses the arguments after the program name by the option table (cli/optiontable.h).
// Options take their value as the next argument or joined (--jobs=4, -j4); "--" ends the options.
ParsedCommandLine ParseConvertArguments(const QStringList &arguments);

// The options that mean something only beside another (--shard without --sync, -0 without
// --files-from): each is taken by the parser alone, and refused here before a run starts.
QString SyncOptionsRefusal(const ConvertOptions &options);

// Whole seconds of "hh:mm:ss" (minutes and seconds below 60) or of a whole number of seconds.
std::optional<int> ParseTimeArgument(const QString &text);

inline constexpr int kMaxVolume = 400;
inline constexpr int kLowestTargetLufs = -70;
inline constexpr int kHighestTargetLufs = 0;
inline constexpr int kMaxJobs = 64;
inline constexpr int kMaxShards = 100000;

// "I/N" with 0 <= I < N; false when the text is not that.
bool ParseShard(const QString &text, int &index, int &count);
