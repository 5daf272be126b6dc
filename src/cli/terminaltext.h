#pragma once

#include <QString>
#include <QStringView>

// Text that came from a file or a file name (paths, CUE titles and FILE names, a sheet's
// refused line, tag values) as it may be printed on a terminal: control characters (C0, DEL,
// C1) and the characters that reorder text on screen become visible escapes (\x1b, \u202e),
// so no file can move the cursor, retitle or clear the terminal, or hide part of a line.
// Undecodable bytes already arrive as U+FFFD and stay so.
QString TerminalText(QStringView text);
