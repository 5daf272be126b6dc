#pragma once

#include <QString>

// Texts of the preview areas.
inline constexpr QStringView kNoPreviewText = u"Preview the source file";
inline constexpr QStringView kSelectFileFirst = u"First select a file in the filelist!";
inline constexpr QStringView kNoPositionText = u"00:00:00 / 00:00:00";

// Names longer than this are shown shortened.
inline constexpr int kLongestShownName = 22;

// The file name shown over the preview: whole when it has at most 22 characters, otherwise
// its first 4 characters, "..." and its last 8 (holiday_recording_2008.flac gives
// holi...008.flac).
QString ShortPreviewName(const QString &fileName);

// "<position> / <total>", the position written as a time code.
QString PreviewPositionText(int seconds, const QString &totalText);
