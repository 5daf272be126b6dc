// Writes tolm-convert's manual page and bash completion from the description --help prints.
// Run by the build only.

#include "cli/usage.h"

#include <QFile>

#include <cstdio>

namespace {

bool write(const char *path, const QString &text)
{
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0)
        return true;
    std::fprintf(stderr, "cannot write %s\n", path);
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: tolm-convert-docs VERSION MANPAGE COMPLETION\n");
        return 2;
    }
    const bool written
        = write(argv[2], Usage::manPage(QString::fromLocal8Bit(argv[1]))) && write(argv[3], Usage::bashCompletion());
    return written ? 0 : 1;
}
