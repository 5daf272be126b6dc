#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// Helpers the fuzz targets share: the parsers that read files get the input as one.
namespace FuzzInput {

// A folder of this process alone, made at the first call and reused for every input.
inline const QString &folder()
{
    static const QString path = [] {
        QByteArray name = QDir::tempPath().toUtf8() + "/tolm-fuzz-XXXXXX";
        const char *made = ::mkdtemp(name.data());
        return made ? QString::fromUtf8(made) : QDir::tempPath();
    }();
    return path;
}

// Writes the input to name in that folder and returns its path.
inline QString write(const QString &name, const std::uint8_t *data, std::size_t size)
{
    const QString path = folder() + u'/' + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    return path;
}

} // namespace FuzzInput
