#pragma once

#include "batch/queuerows.h"
#include "sources/sourceadder.h"

#include <QList>
#include <QString>
#include <QStringList>

class OutputChoices;
struct SettingsChoices;

// What the profile chooser, the quality chooser and the settings dialog's OK and Cancel write
// into the target rows' job records and Destination columns, and how they change the output
// choices (the profile list, what the profile allows, the destination). Neither shows a message.
class ProfileSelection
{
public:
    ProfileSelection(QueueRows &rows, OutputChoices &choices, SourcePaths paths);

    // A profile was picked: every profile key into the rows, the destination rebuilt from the
    // source name, then the quality applied. Without rows only the choosers switch.
    void applyProfile(const QList<int> &targets);
    // A quality was picked: the profile's bit rate for it into every target row.
    void applyQuality(const QList<int> &targets);
    // The settings dialog was closed with OK.
    void applySettings(const QList<int> &targets, const SettingsChoices &choices);
    // The settings dialog was cancelled: profiles it saved are listed all the same.
    void keepSavedProfiles(const SettingsChoices &choices);

private:
    QString profileFile() const;
    QString checkedFolder();
    void renameDestination(int row, const QString &folder);
    void switchChoosers(bool lossless, bool bitrateNot);

    QueueRows &m_rows;
    OutputChoices &m_choices;
    SourcePaths m_paths;
};
