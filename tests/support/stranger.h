#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

// Another user's process for the tests of what crosses between users: runs
// tests/support/stranger.py as "nobody". It needs root to change user; without root the
// callers skip.
namespace Stranger {

inline constexpr uid_t kUid = 65534; // nobody

inline bool available()
{
    return geteuid() == 0 && QFile::exists(QStringLiteral("/usr/sbin/runuser"));
}

inline void start(QProcess &process, const QStringList &arguments)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral("/usr/sbin/runuser"),
        QStringList { QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
            QStringLiteral("/usr/bin/python3"),
            QStringLiteral(TOLM_SOURCE_DIR) + QStringLiteral("/tests/support/stranger.py") }
            + arguments);
}

// A folder both users can reach and write, as the shared temporary folder is.
inline bool makeShared(const QString &folder)
{
    return QDir().mkpath(folder) && ::chmod(QFile::encodeName(folder).constData(), 01777) == 0;
}

} // namespace Stranger
