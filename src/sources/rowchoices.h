#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct TStartRecord;

// What a press on a row shows around the list: the row's folder in the destination edit,
// its profile and quality in the choosers, and which of them its profile allows.
struct RowChoices
{
    QString folder; // the folder part of OutputPath, with its trailing '/'
    int profileIndex = -1; // the entry equal to the row's profile, letter case ignored; -1: none
    bool qualityEnabled = false;
    std::optional<int> qualityIndex; // set only when the quality chooser is enabled
    bool settingsEnabled = false;
};

// profileNames are the profile chooser's entries in order; the profile's Normal bit rate
// is read from the file that the entry's position gives.
RowChoices ChoicesForRow(const TStartRecord &job, const QStringList &profileNames, const QString &cataloguePath,
    const QString &userProfilePath);

// The folder part of a path with its trailing '/': "/out/a.mp3" gives "/out/".
QString FolderWithSeparator(const QString &path);
