#pragma once

#include <QPoint>
#include <QRect>

// Fixed positions of the program's dialogs relative to the main window.
namespace Placement {

inline constexpr QPoint kConfirmOffset { 310, 150 };
inline constexpr int kModalTopOffset = 94;

// Top-left corner of a confirmation box: the owner's top-left corner moved by the fixed offset.
QPoint confirmTopLeft(const QRect &ownerFrame);

// Top-left corner of a modal dialog: centred horizontally over the owner (the halving rounds
// toward zero, also when the dialog is wider than the owner) and a fixed distance below its top.
QPoint modalTopLeft(const QRect &ownerFrame, int dialogWidth);

} // namespace Placement
