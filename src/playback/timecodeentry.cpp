#include "playback/timecodeentry.h"

TimeCodeEntry::TimeCodeEntry(const QString &before)
    : m_before(before)
    , m_text(before)
{ }

bool TimeCodeEntry::isColonPlace(int position) const
{
    return position < m_before.size() && m_before.at(position) == u':';
}

bool TimeCodeEntry::type(QChar key)
{
    if (isComplete())
        return false;
    if (key == u':') {
        if (!isColonPlace(m_position))
            return false;
        ++m_position;
        return true;
    }
    if (key < u'0' || key > u'9')
        return false;
    int place = m_position;
    if (isColonPlace(place))
        ++place;
    if (place >= m_text.size())
        return false;
    m_text[place] = key;
    m_position = place + 1;
    return true;
}

void TimeCodeEntry::back()
{
    if (m_position == 0)
        return;
    --m_position;
    if (isColonPlace(m_position) && m_position > 0)
        --m_position;
    m_text[m_position] = m_before.at(m_position);
}
