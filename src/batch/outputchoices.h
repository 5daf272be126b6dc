#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// How the quality chooser looks: a drop-down list to choose from, a plain text that shows the
// chosen entry (a lossless row was added, or a row was pressed while it was plain), or a plain
// text that says "Lossless" (a lossless profile was chosen).
enum class QualityLook { List, Plain, Lossless };

// The window's output choices, the one place they live: the profile and its quality, what the
// profile lets the user change, the destination folder, how many rows convert at once and what
// follows a batch. The choosers and the destination edit show and edit this object; adding a
// source, choosing a profile and the engine read it. Widget-free. Setters signal only a change.
class OutputChoices : public QObject
{
    Q_OBJECT

public:
    explicit OutputChoices(QObject *parent = nullptr);

    QStringList profiles() const { return m_profiles; }
    // The list is replaced; the position stays where it was, or on the last entry.
    void setProfiles(const QStringList &names);
    int profilePosition() const { return m_profilePosition; }
    void setProfilePosition(int position);
    QString profileName() const { return m_profiles.value(m_profilePosition); }

    int qualityPosition() const { return m_qualityPosition; } // QualityPosition: High, Normal, Low
    void setQualityPosition(int position);
    bool qualityEnabled() const { return m_qualityEnabled; }
    void setQualityEnabled(bool enabled);
    QualityLook qualityLook() const { return m_qualityLook; }
    void setQualityLook(QualityLook look);
    bool settingsEnabled() const { return m_settingsEnabled; }
    void setSettingsEnabled(bool enabled);
    // A row of this kind was added: a lossless one offers neither settings nor quality and turns
    // a list plain (its text stays); one without bit rates offers no quality.
    void applyAddedRowSwitches(bool lossless, bool bitrateNot);

    QString destinationFolder() const { return m_destinationFolder; }
    void setDestinationFolder(const QString &folder);

    int simultaneous() const { return m_simultaneous; } // rows converting at once, from 1
    void setSimultaneous(int count);
    int afterDone() const { return m_afterDone; } // the after-done action's position
    void setAfterDone(int action);

Q_SIGNALS:
    void profilesChanged();
    void profilePositionChanged(int position);
    void qualityPositionChanged(int position);
    void switchesChanged(); // quality enabled or look, settings enabled
    void destinationFolderChanged(const QString &folder);
    void simultaneousChanged(int count);
    void afterDoneChanged(int action);

private:
    QStringList m_profiles;
    int m_profilePosition = -1;
    int m_qualityPosition = 1;
    bool m_qualityEnabled = true;
    QualityLook m_qualityLook = QualityLook::List;
    bool m_settingsEnabled = true;
    QString m_destinationFolder;
    int m_simultaneous = 1;
    int m_afterDone = 0;
};
