#pragma once

#include <QString>

class Dialogs;
class DesktopServices;
class QWidget;

namespace HelpText {
inline constexpr QStringView Missing = u" Help file is constructing !";
// The user manual, shipped in the program folder.
inline constexpr QStringView ManualPage = u"doc/index.html";
QString cannotOpen(const QString &fileName);
QString cannotOpenFolder(const QString &folder);
} // namespace HelpText

// Opens the user manual (doc/index.html in the program folder) in the desktop's browser.
// A program folder without it falls back to its first help file ("*.chm", letter case
// ignored, in name order) with the desktop's default application; without either, says
// that help is being written.
void ShowHelp(QWidget *owner, const QString &programFolder, Dialogs &dialogs, DesktopServices &desktop);
