#include "sources/rowchoices.h"

#include "core/startrecord.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "sources/destinationname.h"

namespace {

// The number of a bit-rate text: what stands before "kbps" without its last character.
std::optional<int> kbpsNumber(const QString &bitrate)
{
    const qsizetype at = bitrate.indexOf(u"kbps");
    if (at < 1)
        return std::nullopt;
    bool ok = false;
    const int number = bitrate.left(at - 1).toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

} // namespace

QString FolderWithSeparator(const QString &path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

RowChoices ChoicesForRow(const TStartRecord &job, const QStringList &profileNames, const QString &cataloguePath,
    const QString &userProfilePath)
{
    RowChoices choices;
    choices.folder = job.RelativeFolder.isEmpty() ? FolderWithSeparator(job.OutputPath)
                                                  : JoinFolder(RowDestinationFolder(job), QString());
    for (int index = 0; index < profileNames.size() && choices.profileIndex < 0; ++index)
        if (profileNames.at(index).compare(job.ProfileName, Qt::CaseInsensitive) == 0)
            choices.profileIndex = index;

    choices.qualityEnabled = job.BitrateNot == kFalse;
    if (choices.qualityEnabled) {
        const QString profile = choices.profileIndex < 0 ? QString() : profileNames.at(choices.profileIndex);
        const ProfileSettings settings = ReadProfileSettings(
            ProfileFileForPosition(choices.profileIndex, cataloguePath, userProfilePath), profile);
        const std::optional<int> normal = kbpsNumber(settings.bitrateNormal);
        const std::optional<int> row = kbpsNumber(job.Bitrate);
        // A row or profile without a bit-rate number (a lossless row) shows Normal.
        if (!normal || !row || *row == *normal)
            choices.qualityIndex = QualityPosition::Normal;
        else
            choices.qualityIndex = *row > *normal ? QualityPosition::High : QualityPosition::Low;
    }
    choices.settingsEnabled = job.Lossless != kTrue;
    return choices;
}
