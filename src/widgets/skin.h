#pragma once

#include <QIcon>
#include <QString>

class QApplication;

// The program's look: one style sheet and our own SVG icons from the icons folder beside the
// program. Sizes are in pixels, so the fixed layout and the text grow together on screens
// scaled to 200 %.
namespace Skin {

// Colours the background painting and the style sheet share.
inline constexpr QRgb kHeaderTop = 0xff1e3a5f;
inline constexpr QRgb kHeaderBottom = 0xff27558a;
inline constexpr QRgb kBody = 0xffeef2f7;
inline constexpr QRgb kCard = 0xffffffff;
inline constexpr QRgb kCardBorder = 0xffd6dee8;

QIcon icon(const QString &programFolder, QStringView name);

// The Start button's pictures below the program folder: idle, and while a batch converts.
inline constexpr QStringView kStartIdlePicture = u"/skin/start-a.bmp";
inline constexpr QStringView kStartBusyPicture = u"/skin/start-e.bmp";
inline QString picturePath(const QString &programFolder, QStringView picture)
{
    return programFolder + picture;
}
QString styleSheet();
// Fusion as the base style, the program's font and the style sheet, for every window.
void apply(QApplication &application);

} // namespace Skin
