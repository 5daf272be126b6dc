// Writes tolm-convert's manual page from the text --help prints. Run by the build only.

#include "cli/usage.h"

#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolm-convert-manpage VERSION OUTPUT\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(Usage::manPage(QString::fromLocal8Bit(argv[1])).toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
