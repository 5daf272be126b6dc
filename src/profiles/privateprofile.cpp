#include "profiles/privateprofile.h"

#include <QFile>
#include <QSaveFile>

#include <optional>

using namespace Qt::StringLiterals;

namespace PrivateProfile {
namespace {

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace(u"\r\n"_s, u"\n"_s);
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the newline ending the last line opens no line of its own
    return lines;
}

// The name of the section a line opens, or nothing when the line opens none.
std::optional<QString> sectionOf(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

struct Entry
{
    QString key;
    QString value;
};

// A "key=value" line; comment lines (";") and lines without "=" hold no entry.
std::optional<Entry> entryOf(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u';'))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return Entry { trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed() };
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString cutToBuffer(const QString &text, int bufferSize)
{
    return text.left(qMax(0, bufferSize - 1));
}

// Line range [first, end) of the entries of the first section of that name; first is -1
// when the section is missing.
struct SectionRange
{
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QStringList &lines, const QString &section)
{
    SectionRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines.at(i));
        if (!name)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (sameName(*name, section))
            range.header = i;
    }
    if (range.header >= 0)
        range.end = lines.size();
    return range;
}

} // namespace

Document Document::load(const QString &path)
{
    Document document;
    document.m_lines = readLines(path);
    return document;
}

QString Document::value(const QString &section, const QString &key, const QString &defaultValue, int bufferSize) const
{
    const QStringList &lines = m_lines;
    const SectionRange range = findSection(lines, section);
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const auto entry = entryOf(lines.at(i));
        if (!entry || !sameName(entry->key, key))
            continue;
        QString value = entry->value;
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return cutToBuffer(value, bufferSize);
    }
    return cutToBuffer(defaultValue, bufferSize);
}

QString readString(
    const QString &path, const QString &section, const QString &key, const QString &defaultValue, int bufferSize)
{
    return Document::load(path).value(section, key, defaultValue, bufferSize);
}

bool writeString(const QString &path, const QString &section, const QString &key, const QString &value)
{
    // A file that is there but cannot be read would otherwise be replaced by this one key.
    if (QFile existing(path); existing.exists() && !existing.open(QIODevice::ReadOnly))
        return false;
    QStringList lines = readLines(path);
    const QString entryLine = key + u'=' + value;
    const SectionRange range = findSection(lines, section);
    if (range.header < 0) {
        lines << u'[' + section + u']' << entryLine;
    } else {
        qsizetype lastEntry = range.header;
        bool replaced = false;
        for (qsizetype i = range.header + 1; i < range.end; ++i) {
            const auto entry = entryOf(lines.at(i));
            if (!entry)
                continue;
            if (sameName(entry->key, key)) {
                lines[i] = entryLine;
                replaced = true;
                break;
            }
            lastEntry = i;
        }
        if (!replaced)
            lines.insert(lastEntry + 1, entryLine);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write((lines.join(u'\n') + u'\n').toUtf8());
    return file.commit();
}

QStringList sectionNames(const QString &path)
{
    QStringList names;
    qsizetype used = 1; // the final terminating zero
    for (const QString &line : readLines(path)) {
        const auto name = sectionOf(line);
        if (!name)
            continue;
        used += name->size() + 1;
        if (used > kSectionListBuffer)
            break;
        names << *name;
    }
    return names;
}

} // namespace PrivateProfile
