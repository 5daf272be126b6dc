#pragma once

#include <QByteArray>
#include <QString>

// Files the tests write and read back.
namespace TestFiles {

// Writes content to path, creating the folders on the way; false when it could not.
bool write(const QString &path, const QByteArray &content);
// Points HOME, XDG_CONFIG_HOME and XDG_CACHE_HOME at home/, config/ and cache/ below root,
// so a program under test starts with no user files; the home folder is created. Returns
// the home folder, empty when it could not be made.
QString useFreshHome(const QString &root);
// The whole file; empty when it cannot be read.
QByteArray read(const QString &path);

} // namespace TestFiles
