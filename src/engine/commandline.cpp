#include "engine/commandline.h"

using namespace Qt::StringLiterals;

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}
