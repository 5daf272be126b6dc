#pragma once

#include <QByteArray>
#include <QString>

// Files the tests write and read back.
namespace TestFiles {

// Writes content to path, creating the folders on the way; false when it could not.
bool write(const QString &path, const QByteArray &content);
// The whole file; empty when it cannot be read.
QByteArray read(const QString &path);

} // namespace TestFiles
