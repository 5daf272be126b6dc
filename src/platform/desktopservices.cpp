#include "platform/desktopservices.h"

#include <QDesktopServices>

bool QtDesktopServices::open(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
