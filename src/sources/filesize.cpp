#include "sources/filesize.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <cmath>

using namespace Qt::StringLiterals;

qint64 FileSizeBytes(const QString &path)
{
    if (path.isEmpty())
        return -1;
    const QFileInfo info(QDir::current().absoluteFilePath(path));
    return info.exists() ? info.size() : -1;
}

QString FileSizeText(qint64 bytes)
{
    const double megabytes = double(bytes) / 1024.0 / 1024.0;
    const qint64 rounded = qint64(std::round(megabytes)); // std::round: halves away from zero
    const QString digits = rounded == 0 ? QString() : QLocale().toString(rounded);
    return digits + u" MB"_s;
}
