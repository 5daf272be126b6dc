#include "cli/convertoptions.h"

#include "core/timecode.h"

#include <QRegularExpression>

#include <functional>

using namespace Qt::StringLiterals;

std::optional<int> ParseTimeArgument(const QString &text)
{
    static const QRegularExpression seconds(u"^[0-9]{1,9}$"_s);
    static const QRegularExpression timeCode(u"^[0-9]{2}:[0-5][0-9]:[0-5][0-9]$"_s);
    if (seconds.match(text).hasMatch())
        return text.toInt();
    if (timeCode.match(text).hasMatch())
        return TimeCodeToSeconds(text);
    return std::nullopt;
}

namespace {

std::optional<int> wholeNumber(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest || text.startsWith(u'+'))
        return std::nullopt;
    return value;
}

struct Parser
{
    ConvertOptions &options;
    QString error;

    // Handles one option with its value; false with error set when it is not usable.
    bool take(const QString &name, const QString &value)
    {
        const auto fail = [&](const QString &why) {
            error = why;
            return false;
        };
        const auto number = [&](std::optional<int> &target, int lowest, int highest) {
            target = wholeNumber(value, lowest, highest);
            return target
                ? true
                : fail(u"%1 wants a whole number from %2 to %3, not \"%4\""_s.arg(name).arg(lowest).arg(highest).arg(
                    value));
        };
        const auto time = [&](std::optional<int> &target) {
            target = ParseTimeArgument(value);
            return target ? true
                          : fail(u"%1 wants a time code hh:mm:ss or whole seconds, not \"%2\""_s.arg(name, value));
        };
        if (name == u"-p" || name == u"--profile") {
            options.profile = value;
        } else if (name == u"-q" || name == u"--quality") {
            static const QStringList kQualities { u"high"_s, u"normal"_s, u"low"_s };
            const qsizetype position = kQualities.indexOf(value.toLower());
            if (position < 0)
                return fail(u"%1 wants high, normal or low, not \"%2\""_s.arg(name, value));
            options.qualityPosition = int(position);
        } else if (name == u"--rate") {
            return number(options.rate, 1, 1000000);
        } else if (name == u"--channels") {
            if (value != u"1" && value != u"2" && value != u"6")
                return fail(u"--channels wants 1, 2 or 6, not \"%1\""_s.arg(value));
            options.channels = value.toInt();
        } else if (name == u"--bitrate") {
            return number(options.bitrate, 1, 100000);
        } else if (name == u"-o" || name == u"--output") {
            if (value.isEmpty())
                return fail(u"%1 wants a folder"_s.arg(name));
            options.outputFolder = value;
        } else if (name == u"--start") {
            return time(options.start);
        } else if (name == u"--end") {
            return time(options.end);
        } else if (name == u"--length") {
            return time(options.length);
        } else if (name == u"--volume") {
            return number(options.volume, 0, kMaxVolume);
        } else if (name == u"--replaygain") {
            if (value == u"track")
                options.replayGain = ReplayGainChoice::Track;
            else if (value == u"album")
                options.replayGain = ReplayGainChoice::Album;
            else
                return fail(u"--replaygain wants track or album, not \"%1\""_s.arg(value));
        } else if (name == u"--normalize") {
            return number(options.normalizeLufs, kLowestTargetLufs, kHighestTargetLufs);
        } else if (name == u"-j" || name == u"--jobs") {
            std::optional<int> jobs;
            if (!number(jobs, 1, kMaxJobs))
                return false;
            options.jobs = *jobs;
        }
        return true;
    }

    static bool takesValue(const QString &name)
    {
        static const QStringList kWithValue { u"-p"_s, u"--profile"_s, u"-q"_s, u"--quality"_s, u"--rate"_s,
            u"--channels"_s, u"--bitrate"_s, u"-o"_s, u"--output"_s, u"--start"_s, u"--end"_s, u"--length"_s,
            u"--volume"_s, u"--replaygain"_s, u"--normalize"_s, u"-j"_s, u"--jobs"_s };
        return kWithValue.contains(name);
    }

    bool flag(const QString &name)
    {
        if (name == u"-r" || name == u"--recursive")
            options.recursive = true;
        else if (name == u"--overwrite")
            options.clash = ClashRule::Overwrite;
        else if (name == u"--skip")
            options.clash = ClashRule::Skip;
        else if (name == u"--quiet")
            options.quiet = true;
        else if (name == u"--dry-run")
            options.dryRun = true;
        else if (name == u"--list-profiles")
            options.listProfiles = true;
        else if (name == u"-h" || name == u"--help")
            options.help = true;
        else if (name == u"--version")
            options.version = true;
        else
            return false;
        return true;
    }
};

} // namespace

ParsedCommandLine ParseConvertArguments(const QStringList &arguments)
{
    ParsedCommandLine result;
    Parser parser { result.options, {} };
    bool overwrite = false;
    bool skip = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size() && parser.error.isEmpty(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            result.options.inputs << argument;
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        QString name = argument;
        std::optional<QString> joined;
        if (argument.startsWith(u"--")) {
            const qsizetype equals = argument.indexOf(u'=');
            if (equals > 0) {
                name = argument.left(equals);
                joined = argument.mid(equals + 1);
            }
        } else if (argument.size() > 2) { // -j4, -pmp3
            name = argument.left(2);
            joined = argument.mid(2);
        }
        if (Parser::takesValue(name)) {
            if (!joined) {
                if (i + 1 >= arguments.size()) {
                    parser.error = name + u" wants a value"_s;
                    break;
                }
                joined = arguments.at(++i);
            }
            parser.take(name, *joined);
        } else if (joined || !parser.flag(name)) {
            parser.error = u"unknown option \"%1\""_s.arg(argument);
        } else {
            overwrite = overwrite || name == u"--overwrite";
            skip = skip || name == u"--skip";
        }
    }

    ConvertOptions &o = result.options;
    if (parser.error.isEmpty()) {
        if (overwrite && skip)
            parser.error = u"--overwrite and --skip exclude each other"_s;
        else if (o.end && o.length)
            parser.error = u"--end and --length exclude each other"_s;
        else if (o.end && *o.end <= o.start.value_or(0))
            parser.error = u"--end must come after --start"_s;
        else if (o.replayGain == ReplayGainChoice::Album && o.normalizeLufs)
            parser.error = u"--replaygain album and --normalize exclude each other (normalised files share no album level)"_s;
        else if (o.length && *o.length == 0)
            parser.error = u"--length must be more than 0"_s;
        else if (o.inputs.isEmpty() && !o.help && !o.version && !o.listProfiles)
            parser.error = u"no file or folder to convert"_s;
    }
    result.error = parser.error;
    return result;
}
