#include "playback/previewtexts.h"

#include "core/timecode.h"

using namespace Qt::StringLiterals;

QString ShortPreviewName(const QString &fileName)
{
    if (fileName.size() <= kLongestShownName)
        return fileName;
    return fileName.left(4) + u"..."_s + fileName.right(8);
}

QString PreviewPositionText(int seconds, const QString &totalText)
{
    return SecondsToTimeCode(seconds) + u" / "_s + totalText;
}
