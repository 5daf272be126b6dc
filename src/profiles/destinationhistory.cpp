#include "profiles/destinationhistory.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

bool DestinationHistory::add(const QString &folder)
{
    const auto less = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), folder, less);
    if (at != m_entries.end() && at->compare(folder, Qt::CaseInsensitive) == 0)
        return false;
    m_entries.insert(at, folder);
    return true;
}

bool DestinationHistory::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            add(line);
    }
    return true;
}

bool DestinationHistory::save(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &entry : m_entries) {
        file.write(entry.toUtf8());
        file.write("\n");
    }
    return file.commit();
}
