#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// What one source became in the destination, as the last sync left it.
struct SyncEntry
{
    QString key; // the source: its path, or its CUE sheet's path and "#" and the track number
    QString stamp; // sizes and modification times of the files it was read from
    QString audio; // AudioFingerprint::of the source; empty for a track
    QString settings; // the fingerprint of the profile and options it was converted with
    QString output; // relative to the destination
    QString album; // the output's folder relative to the destination: the unit of a shard

    QJsonObject toJson() const;
    static std::optional<SyncEntry> fromJson(const QJsonObject &object);
    bool operator==(const SyncEntry &) const = default;
};

// The state of a synced destination: one versioned JSON file in it (kFileName), replaced as
// a whole and atomically, plus journals beside it (one per running sync or shard) to which
// each finished file is appended at once, so a sync ended by any signal, even SIGKILL, or by a
// power cut resumes where it stood. A run folds the journals into the file when it ends, under
// a lock, so shards sharing a destination merge their work.
class SyncManifest
{
public:
    static constexpr int kVersion = 1;
    static constexpr QStringView kFileName = u".tolm-sync.json";
    static constexpr QStringView kJournalPrefix = u".tolm-sync.journal";
    static constexpr QStringView kLockName = u".tolm-sync.lock";

    // Reads the file and every journal of the destination. A missing file is an empty
    // manifest; one that cannot be read or has another version gives an error.
    static std::optional<SyncManifest> load(const QString &destination, QString *error);

    const QHash<QString, SyncEntry> &entries() const { return m_entries; }
    const SyncEntry *find(const QString &key) const;
    void put(const SyncEntry &entry) { m_entries.insert(entry.key, entry); }
    void drop(const QString &key) { m_entries.remove(key); }

    // The whole manifest to its file: written beside it, flushed to the disk and renamed.
    bool save(const QString &destination, QString *error) const;

    // Replays journal lines (one JSON object each); a torn last line is left out.
    void replay(const QByteArray &journal);

private:
    QHash<QString, SyncEntry> m_entries;
};

// One run's journal: every finished step appended and flushed as it happens.
class SyncJournal
{
public:
    // name: what tells this run's journal from a shard's running beside it ("", "2of8").
    SyncJournal(const QString &destination, const QString &name);
    ~SyncJournal();

    QString path() const { return m_path; }
    bool open(QString *error);
    void put(const SyncEntry &entry);
    void drop(const QString &key);
    // Folds every journal of the destination into its manifest under the lock and removes
    // this run's journal.
    bool fold(QString *error);

private:
    void append(const QJsonObject &line);

    QString m_destination;
    QString m_path;
    int m_fd = -1;
};
