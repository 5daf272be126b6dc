#include "batch/outputchoices.h"

#include <QtGlobal>

OutputChoices::OutputChoices(QObject *parent)
    : QObject(parent)
{ }

void OutputChoices::setProfiles(const QStringList &names)
{
    const int position = qMin(m_profilePosition, int(names.size()) - 1);
    if (names != m_profiles) {
        m_profiles = names;
        Q_EMIT profilesChanged();
    }
    setProfilePosition(names.isEmpty() ? -1 : qMax(position, 0));
}

void OutputChoices::setProfilePosition(int position)
{
    if (position == m_profilePosition)
        return;
    m_profilePosition = position;
    Q_EMIT profilePositionChanged(position);
}

void OutputChoices::setQualityPosition(int position)
{
    if (position == m_qualityPosition)
        return;
    m_qualityPosition = position;
    Q_EMIT qualityPositionChanged(position);
}

void OutputChoices::setQualityEnabled(bool enabled)
{
    if (enabled == m_qualityEnabled)
        return;
    m_qualityEnabled = enabled;
    Q_EMIT switchesChanged();
}

void OutputChoices::setQualityLook(QualityLook look)
{
    if (look == m_qualityLook)
        return;
    m_qualityLook = look;
    Q_EMIT switchesChanged();
}

void OutputChoices::setSettingsEnabled(bool enabled)
{
    if (enabled == m_settingsEnabled)
        return;
    m_settingsEnabled = enabled;
    Q_EMIT switchesChanged();
}

void OutputChoices::applyAddedRowSwitches(bool lossless, bool bitrateNot)
{
    setSettingsEnabled(!lossless);
    if (!lossless)
        setQualityLook(QualityLook::List);
    else if (m_qualityLook == QualityLook::List)
        setQualityLook(QualityLook::Plain);
    setQualityEnabled(!lossless && !bitrateNot);
}

void OutputChoices::setDestinationFolder(const QString &folder)
{
    if (folder == m_destinationFolder)
        return;
    m_destinationFolder = folder;
    Q_EMIT destinationFolderChanged(folder);
}

void OutputChoices::setSimultaneous(int count)
{
    count = qMax(count, 1);
    if (count == m_simultaneous)
        return;
    m_simultaneous = count;
    Q_EMIT simultaneousChanged(count);
}

void OutputChoices::setAfterDone(int action)
{
    if (action == m_afterDone)
        return;
    m_afterDone = action;
    Q_EMIT afterDoneChanged(action);
}
