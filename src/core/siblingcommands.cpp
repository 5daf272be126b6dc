#include "core/siblingcommands.h"

using namespace Qt::StringLiterals;
namespace Opt = TranscoderOption;

CommandLine RetagCommand(const QString &sourcePath, const QString &outputPath, const QStringList &kept)
{
    CommandLine cmd;
    cmd.program = kTranscoderName.toString();
    cmd.append(kTranscoderName + u" "_s + kSiblingKey + u" "_s + Opt::Retag + u" "_s + Opt::Input + u" "_s,
        { kSiblingKey.toString(), Opt::Retag.toString(), Opt::Input.toString() });
    cmd.append(QuotedPath(sourcePath), { sourcePath });
    for (const QString &argument : kept)
        cmd.append(u" "_s + argument, { argument });
    cmd.append(u" "_s + QuotedPath(outputPath), { outputPath });
    return cmd;
}

CommandLine ProbeCommand(const QString &sourcePath, const QString &scratchPath)
{
    CommandLine cmd;
    cmd.program = kTranscoderName.toString();
    cmd.append(kTranscoderName + u" "_s + kSiblingKey + u" "_s + Opt::Overwrite + u" "_s + Opt::Input + u" "_s,
        { kSiblingKey.toString(), Opt::Overwrite.toString(), Opt::Input.toString() });
    cmd.append(QuotedPath(sourcePath), { sourcePath });
    cmd.append(
        u" "_s + Opt::Length + u" "_s + kProbeLength + u"  "_s, { Opt::Length.toString(), kProbeLength.toString() });
    cmd.append(QuotedPath(scratchPath), { scratchPath });
    return cmd;
}

CommandLine WithOutputCheck(CommandLine command)
{
    if (command.arguments.isEmpty())
        return command;
    const QString output = QuotedPath(command.arguments.last());
    qsizetype at = command.text.endsWith(output) ? command.text.size() - output.size() : command.text.size();
    while (at > 0 && command.text.at(at - 1) == u' ')
        --at;
    command.text.insert(at, u"  "_s + Opt::Verify);
    command.arguments.insert(command.arguments.size() - 1, Opt::Verify.toString());
    return command;
}

CommandLine PlayerCommand(int startSeconds, const QString &filePath, bool trailingBlank, qint64 spanStartNs)
{
    constexpr double kNsPerSecond = 1e9;
    const QString seconds = spanStartNs == 0 ? QString::number(startSeconds)
                                             : QString::number(startSeconds + spanStartNs / kNsPerSecond, 'f', 3);
    const QString width = QString::number(kPlayerWidth);
    const QString height = QString::number(kPlayerHeight);

    CommandLine cmd;
    cmd.program = kPlayerName.toString();
    cmd.append(
        kPlayerName + u" "_s + kSiblingKey + u"  -ss  "_s + seconds, { kSiblingKey.toString(), u"-ss"_s, seconds });
    cmd.append(u" -x "_s + width + u" -y "_s + height + u"  "_s, { u"-x"_s, width, u"-y"_s, height });
    cmd.append(QuotedPath(filePath), { filePath });
    if (trailingBlank)
        cmd.append(u" "_s);
    return cmd;
}
