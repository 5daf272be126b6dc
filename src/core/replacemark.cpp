#include "core/replacemark.h"

#include <QFileInfo>

ReplaceMark ReplaceMark::of(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return {};
    return { path, file.size(), file.lastModified().toMSecsSinceEpoch() };
}

bool ReplaceMark::allows(const QString &outputPath) const
{
    if (isEmpty() || outputPath != path)
        return false;
    const ReplaceMark now = of(path);
    return now.size == size && now.modifiedMs == modifiedMs;
}

bool IsSameFile(const QString &a, const QString &b)
{
    const QString first = QFileInfo(a).canonicalFilePath();
    return !first.isEmpty() && first == QFileInfo(b).canonicalFilePath();
}
