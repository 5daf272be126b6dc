#pragma once

#include <QPoint>

class QWindow;

// The window manager's own move of a top-level window, started by a press of the left
// button. Qt's QWindow::startSystemMove() on X11 tells the window manager where the pointer
// is from the last pointer event that reached that very window; a window whose background
// has a native X window of its own (any parent of an embedded player's panel gets one) never
// sees the press, and the window manager then holds the window by its top-left corner. Here
// the press's own position goes with the request.
//
// globalPress is the press in global, device-independent coordinates. Returns false when the
// window system offers no such move (no window manager, or one without the request): the
// caller moves the window itself then.
bool StartSystemMove(QWindow *topLevel, QPoint globalPress);
