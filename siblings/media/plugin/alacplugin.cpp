#include "alacdecoder.h"

#include <gst/gst.h>

// Our Apple Lossless decoder as a plugin of its own; it needs no library at all.

namespace {

gboolean pluginInit(GstPlugin *plugin)
{
    return tolmRegisterAlacDecoder(plugin);
}

} // namespace

#define PACKAGE "tolm-audio-converter"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tolmalac, "Apple Lossless decoder of TOLM Audio Converter",
    pluginInit, "0.1", "LGPL", "tolm-audio-converter", "tolm-audio-converter")
