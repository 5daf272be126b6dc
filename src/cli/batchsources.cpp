#include "cli/batchsources.h"

#include "sources/destinationname.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

GatheredSources GatherSources(const QStringList &inputs, bool recursive, const QString &outputFolder)
{
    GatheredSources gathered;
    const QString outputCanonical = QFileInfo(outputFolder).canonicalFilePath();
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (info.isFile()) {
            gathered.sources << BatchSource { QDir::cleanPath(info.absoluteFilePath()), input, outputFolder };
            continue;
        }
        if (!info.isDir()) {
            gathered.missing << input;
            continue;
        }
        const QDir root(info.absoluteFilePath());
        QList<BatchSource> found;
        QStringList folders { root.absolutePath() };
        // Sub-folders are walked by hand so the output folder, hidden folders and links that
        // lead back up are left out.
        QSet<QString> seen;
        while (!folders.isEmpty()) {
            const QString folder = folders.takeFirst();
            const QString canonical = QFileInfo(folder).canonicalFilePath();
            const bool outputBelow = folder != root.absolutePath() && canonical == outputCanonical;
            if (seen.contains(canonical) || (!outputCanonical.isEmpty() && outputBelow))
                continue;
            seen.insert(canonical);
            const QFileInfoList entries
                = QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo &entry : entries) {
                if (entry.isDir()) {
                    if (recursive)
                        folders << entry.absoluteFilePath();
                } else if (IsMediaFileName(entry.fileName())) {
                    const QString relative = root.relativeFilePath(entry.absoluteFilePath());
                    const QString subFolder = QFileInfo(relative).path();
                    found << BatchSource { QDir::cleanPath(entry.absoluteFilePath()),
                        QDir::cleanPath(input + u'/' + relative),
                        subFolder == u"."_s ? outputFolder : QDir::cleanPath(outputFolder + u'/' + subFolder) };
                }
            }
        }
        std::sort(
            found.begin(), found.end(), [](const BatchSource &a, const BatchSource &b) { return a.path < b.path; });
        gathered.sources << found;
    }
    return gathered;
}

namespace {

std::optional<QPair<quint64, quint64>> fileId(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return QPair<quint64, quint64>(quint64(status.st_dev), quint64(status.st_ino));
}

} // namespace

OutputNames::OutputNames(ClashRule rule, const QList<BatchSource> &sources)
    : m_rule(rule)
{
    for (const BatchSource &source : sources) {
        if (const auto id = fileId(source.path))
            m_sourceIds.insert(*id);
    }
}

bool OutputNames::exists(const QString &folder, const QString &name)
{
    return QFileInfo::exists(JoinFolder(folder, name));
}

bool OutputNames::isSource(const QString &path) const
{
    const auto id = fileId(path);
    return id && m_sourceIds.contains(*id);
}

QString OutputNames::reserve(const QString &folder, const QString &name, const QString &extension)
{
    QString path = JoinFolder(folder, name);
    const bool replaceable
        = m_rule == ClashRule::Overwrite && !m_reserved.contains(path) && !isSource(path) && !QFileInfo(path).isDir();
    if (!replaceable) {
        // Names this run gives out count as taken too, though their files are not written yet.
        const QString free = FreeDestinationName(
            folder, name, extension, [this](const QString &candidate) { return m_reserved.contains(candidate); });
        path = JoinFolder(folder, free);
    }
    m_reserved.insert(path);
    return path;
}
