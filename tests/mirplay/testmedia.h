#pragma once

#include <QString>

// Makes a media file with GStreamer's test sources and the allowed encoders. Returns an
// empty string on success, otherwise what went wrong.
QString makeTestMedia(const QString &pipelineTail, const QString &path);
