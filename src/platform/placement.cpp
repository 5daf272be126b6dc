#include "platform/placement.h"

namespace Placement {

QPoint confirmTopLeft(const QRect &ownerFrame)
{
    return ownerFrame.topLeft() + kConfirmOffset;
}

QPoint modalTopLeft(const QRect &ownerFrame, int dialogWidth)
{
    // C++ integer division truncates toward zero, which is the rounding wanted here.
    return { ownerFrame.left() + (ownerFrame.width() - dialogWidth) / 2, ownerFrame.top() + kModalTopOffset };
}

} // namespace Placement
