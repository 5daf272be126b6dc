#include "cli/sync/syncmanifest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr auto kFormatName = "tolm-sync";

QString joinPath(const QString &folder, const QString &name)
{
    return folder + u'/' + name;
}

QStringList journalsIn(const QString &destination)
{
    QStringList paths;
    const QDir folder(destination);
    const QStringList names = folder.entryList(
        { SyncManifest::kJournalPrefix + u'*' }, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names)
        paths << folder.filePath(name);
    return paths;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QJsonObject SyncEntry::toJson() const
{
    return { { u"key"_s, key }, { u"stamp"_s, stamp }, { u"audio"_s, audio }, { u"settings"_s, settings },
        { u"output"_s, output }, { u"album"_s, album } };
}

std::optional<SyncEntry> SyncEntry::fromJson(const QJsonObject &object)
{
    SyncEntry entry { object.value(u"key"_s).toString(), object.value(u"stamp"_s).toString(),
        object.value(u"audio"_s).toString(), object.value(u"settings"_s).toString(),
        object.value(u"output"_s).toString(), object.value(u"album"_s).toString() };
    // An output outside the destination is never trusted: deleting or moving it could reach
    // any file.
    const QString clean = QDir::cleanPath(entry.output);
    if (entry.key.isEmpty() || entry.output.isEmpty() || clean != entry.output || clean.startsWith(u'/')
        || clean == u".."_s || clean.startsWith(u"../"_s))
        return std::nullopt;
    return entry;
}

const SyncEntry *SyncManifest::find(const QString &key) const
{
    const auto found = m_entries.constFind(key);
    return found == m_entries.cend() ? nullptr : &*found;
}

std::optional<SyncManifest> SyncManifest::load(const QString &destination, QString *error)
{
    SyncManifest manifest;
    QFile file(joinPath(destination, kFileName.toString()));
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = u"cannot read the sync manifest %1: %2"_s.arg(file.fileName(), file.errorString());
            return std::nullopt;
        }
        QJsonParseError parsed;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parsed);
        const QJsonObject root = document.object();
        if (parsed.error != QJsonParseError::NoError
            || root.value(u"format"_s).toString() != QLatin1StringView(kFormatName)) {
            *error = u"the sync manifest %1 is damaged; move it away to sync anew"_s.arg(file.fileName());
            return std::nullopt;
        }
        const int version = root.value(u"version"_s).toInt();
        if (version != kVersion) {
            *error = u"the sync manifest %1 has version %2, this program reads version %3"_s.arg(file.fileName())
                         .arg(version)
                         .arg(kVersion);
            return std::nullopt;
        }
        for (const QJsonValue &value : root.value(u"files"_s).toArray()) {
            if (const auto entry = SyncEntry::fromJson(value.toObject()))
                manifest.put(*entry);
        }
    }
    for (const QString &journal : journalsIn(destination)) {
        QFile part(journal);
        if (part.open(QIODevice::ReadOnly))
            manifest.replay(part.readAll());
    }
    return manifest;
}

void SyncManifest::replay(const QByteArray &journal)
{
    for (const QByteArray &line : journal.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError parsed;
        const QJsonObject object = QJsonDocument::fromJson(line, &parsed).object();
        if (parsed.error != QJsonParseError::NoError)
            continue; // the line a kill cut short
        if (object.value(u"drop"_s).isString()) {
            drop(object.value(u"drop"_s).toString());
        } else if (const auto entry = SyncEntry::fromJson(object)) {
            put(*entry);
        }
    }
}

bool SyncManifest::save(const QString &destination, QString *error) const
{
    QStringList keys = m_entries.keys();
    keys.sort();
    QJsonArray files;
    for (const QString &key : std::as_const(keys))
        files.append(m_entries.value(key).toJson());
    const QJsonObject root { { u"format"_s, QLatin1StringView(kFormatName) }, { u"version"_s, kVersion },
        { u"files"_s, files } };
    QSaveFile file(joinPath(destination, kFileName.toString()));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0
        || !file.flush() || ::fsync(file.handle()) != 0 || !file.commit()) {
        *error = u"cannot write the sync manifest %1: %2"_s.arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

SyncJournal::SyncJournal(const QString &destination, const QString &name)
    : m_destination(destination)
    , m_path(joinPath(destination, SyncManifest::kJournalPrefix + (name.isEmpty() ? QString() : u'-' + name)))
{ }

SyncJournal::~SyncJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SyncJournal::open(QString *error)
{
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        *error = u"cannot write the sync journal %1: %2"_s.arg(m_path, systemError());
        return false;
    }
    // A line cut short by a kill is the last one; the next starts on a line of its own.
    if (::lseek(m_fd, 0, SEEK_END) > 0)
        append({});
    return true;
}

void SyncJournal::append(const QJsonObject &line)
{
    if (m_fd < 0)
        return;
    QByteArray bytes = line.isEmpty() ? QByteArray() : QJsonDocument(line).toJson(QJsonDocument::Compact);
    bytes += '\n';
    // One write per line: with O_APPEND a line is never mixed with another run's.
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
    ::fdatasync(m_fd);
}

void SyncJournal::put(const SyncEntry &entry)
{
    append(entry.toJson());
}

void SyncJournal::drop(const QString &key)
{
    append({ { u"drop"_s, key } });
}

bool SyncJournal::fold(QString *error)
{
    const int lock = ::open(QFile::encodeName(joinPath(m_destination, SyncManifest::kLockName.toString())).constData(),
        O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) {
        *error = u"cannot lock the sync manifest: "_s + systemError();
        return false;
    }
    while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) { }
    bool saved = false;
    if (const auto manifest = SyncManifest::load(m_destination, error)) {
        saved = manifest->save(m_destination, error);
        if (saved) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = -1;
            QFile::remove(m_path);
        }
    }
    ::close(lock);
    return saved;
}
