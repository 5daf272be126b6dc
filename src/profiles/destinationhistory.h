#pragma once

#include <QString>
#include <QStringList>

// The folders the user sent output to: kept sorted without regard to letter case, and a folder
// equal to one already held (letter case ignored) is not added again.
class DestinationHistory
{
public:
    // Returns false when an equal entry is already there.
    bool add(const QString &folder);
    const QStringList &entries() const { return m_entries; }

    // Adds every line of the file (one folder per line, blank lines skipped). Returns false
    // when the file cannot be read.
    bool load(const QString &path);
    // Writes one folder per line; the file is replaced atomically.
    bool save(const QString &path) const;

private:
    QStringList m_entries;
};
