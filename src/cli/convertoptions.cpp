#include "cli/convertoptions.h"

#include "cli/optiontable.h"
#include "core/timecode.h"

#include <QRegularExpression>

#include <algorithm>

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

QString SyncOptionsRefusal(const ConvertOptions &o)
{
    if (!o.sync && (o.deleteOrphans || o.shardCount > 0 || o.shardAuto || !o.results.isEmpty()))
        return u"--delete-orphans, --shard and --results work with --sync"_s;
    if (o.nullSeparated && o.filesFrom.isEmpty())
        return u"-0 reads the list of --files-from"_s;
    return {};
}

ParsedCommandLine ParseConvertArguments(const QStringList &arguments)
{
    ParsedCommandLine result;
    QString error;
    QStringList given; // the options' long names, for the pairs that exclude each other
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size() && error.isEmpty(); ++i) {
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
        const auto table = ConvertOptionTable();
        const auto option
            = std::find_if(table.begin(), table.end(), [&](const ConvertOption &o) { return o.isNamed(name); });
        if (option == table.end() || (joined && !option->takesValue())) {
            error = u"unknown option \"%1\""_s.arg(argument);
            break;
        }
        if (option->takesValue() && !joined) {
            if (i + 1 >= arguments.size()) {
                error = name + u" wants a value"_s;
                break;
            }
            joined = arguments.at(++i);
        }
        error = option->take(result.options, { *option, name, joined.value_or(QString()) });
        given << option->longName.toString();
    }

    ConvertOptions &o = result.options;
    if (error.isEmpty()) {
        if (given.contains(u"--overwrite"_s) && given.contains(u"--skip"_s))
            error = u"--overwrite and --skip exclude each other"_s;
        else if (o.end && o.length)
            error = u"--end and --length exclude each other"_s;
        else if (o.end && *o.end <= o.start.value_or(0))
            error = u"--end must come after --start"_s;
        else if (o.replayGain == ReplayGainChoice::Album && o.normalizeLufs)
            error = u"--replaygain album and --normalize exclude each other (normalised files share no album level)"_s;
        else if (o.trashSources && o.dryRun)
            error = u"--trash-sources and --dry-run exclude each other"_s;
        else if (o.length && *o.length == 0)
            error = u"--length must be more than 0"_s;
        else if (o.sync && (given.contains(u"--overwrite"_s) || given.contains(u"--skip"_s) || o.trashSources))
            error = u"--sync decides itself what to replace; not with --overwrite, --skip or --trash-sources"_s;
        else if (o.inputs.isEmpty() && o.filesFrom.isEmpty() && !o.help && !o.version && !o.listProfiles)
            error = u"no file or folder to convert"_s;
    }
    result.error = error;
    return result;
}

bool ParseShard(const QString &text, int &index, int &count)
{
    static const QRegularExpression form(u"^([0-9]{1,6})/([0-9]{1,6})$"_s);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    index = match.captured(1).toInt();
    count = match.captured(2).toInt();
    return count >= 1 && count <= kMaxShards && index < count;
}
