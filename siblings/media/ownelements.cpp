#include "media/ownelements.h"

namespace media {

void registerOwnElements()
{
    // Each element of our own is registered here with gst_element_register() or as a
    // static plugin, at a rank that lets decodebin pick it.
}

} // namespace media
