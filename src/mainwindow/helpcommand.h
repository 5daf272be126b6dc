#pragma once

#include <QString>

class Dialogs;
class DesktopServices;
class QWidget;

namespace HelpText {
inline constexpr QStringView Missing = u" Help file is constructing !";
QString cannotOpen(const QString &fileName);
} // namespace HelpText

// Opens the first help file ("*.chm", letter case ignored, in name order) of the program folder
// with the desktop's default application; without one, says that help is being written.
void ShowHelp(QWidget *owner, const QString &programFolder, Dialogs &dialogs, DesktopServices &desktop);
