#include "core/filenamefit.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

qsizetype FileSystemBytes(QStringView text)
{
    return text.toUtf8().size();
}

QString FitFileName(const QString &base, const QString &tail)
{
    const qsizetype room = kMaxFileNameBytes - FileSystemBytes(tail);
    if (room < 0)
        return {};
    if (FileSystemBytes(base) <= room)
        return base + tail;

    // Whole characters as the reader sees them (a letter with its accents, an emoji with
    // its modifiers), added while they fit.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, base);
    qsizetype kept = 0;
    qsizetype used = 0;
    for (qsizetype next = characters.toNextBoundary(); next > 0; next = characters.toNextBoundary()) {
        used += FileSystemBytes(QStringView(base).mid(kept, next - kept));
        if (used > room)
            break;
        kept = next;
    }
    return base.left(kept) + tail;
}

std::optional<QString> FreeFileName(const QString &name, const QString &extension, QStringView mark,
    const std::function<bool(const QString &name)> &taken)
{
    // The marks are counted on the name as given, so that shortening it for a longer run of
    // marks never cuts an earlier mark away.
    const QString base = name.endsWith(extension) ? name.chopped(extension.size()) : name;
    QString candidate = name;
    QString marks;
    QSet<QString> tried { name };
    while (taken(candidate)) {
        marks += mark;
        candidate = FitFileName(base, marks + extension);
        if (candidate.isEmpty() || tried.contains(candidate))
            return std::nullopt;
        tried.insert(candidate);
    }
    return candidate;
}

bool CanWriteInFolder(const QString &folder)
{
    QString existing = QDir::cleanPath(folder);
    while (!QFileInfo(existing).exists() && existing != u"/"_s && !existing.isEmpty())
        existing = QFileInfo(existing).path();
    if (!QFileInfo(existing).isDir())
        return false;
    QTemporaryFile probe(existing + u"/.tolm-write-XXXXXX"_s);
    return probe.open();
}
