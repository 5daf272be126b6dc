#pragma once

#include "batch/queuerows.h"
#include "sources/sourceadder.h"

#include <QList>
#include <QString>
#include <QStringList>

struct SettingsChoices;

// The output choosers as choosing a profile, a quality or the settings dialog's OK read and
// change them. Setting a chooser's position here is a program step: it runs no handler.
class OutputChoosers
{
public:
    virtual ~OutputChoosers() = default;
    virtual QStringList profiles() const = 0;
    virtual void setProfiles(const QStringList &names) = 0;
    virtual int profilePosition() const = 0;
    virtual void setProfilePosition(int position) = 0;
    virtual int qualityPosition() const = 0;
    virtual void setQualityPosition(int position) = 0;
    virtual QString destinationFolder() const = 0;
    virtual void setDestinationFolder(const QString &folder) = 0;
    virtual void setSettingsEnabled(bool enabled) = 0;
    virtual void setQualityEnabled(bool enabled) = 0;
    // The quality chooser shows the plain text "Lossless" instead of its drop-down list; its
    // three items stay.
    virtual void setQualityLossless(bool lossless) = 0;
};

// What the profile chooser, the quality chooser and the settings dialog's OK and Cancel write
// into the target rows' job records and Destination columns, and how they switch the choosers.
// Neither shows a message.
class ProfileSelection
{
public:
    ProfileSelection(QueueRows &rows, OutputChoosers &choosers, SourcePaths paths);

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
    OutputChoosers &m_choosers;
    SourcePaths m_paths;
};
