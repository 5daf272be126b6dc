#include "aacdecoder.h"

#include <gst/gst.h>

// Our AAC decoder as a plugin of its own: loading it maps faad2 and nothing else.

namespace {

gboolean pluginInit(GstPlugin *plugin)
{
    return tolmRegisterAacDecoder(plugin);
}

} // namespace

#define PACKAGE "tolm-audio-converter"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tolmaac, "AAC decoder of TOLM Audio Converter", pluginInit,
    "0.1", "LGPL", "tolm-audio-converter", "tolm-audio-converter")
