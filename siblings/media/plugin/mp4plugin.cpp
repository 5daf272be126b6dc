#include "mp4demux.h"

#include <gst/gst.h>

// Our MPEG-4 reader as a plugin of its own: it needs no codec library.

namespace {

gboolean pluginInit(GstPlugin *plugin)
{
    return tolmRegisterMp4Demux(plugin);
}

} // namespace

#define PACKAGE "tolm-audio-converter"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tolmmp4, "MPEG-4 audio reader of TOLM Audio Converter",
    pluginInit, "0.1", "LGPL", "tolm-audio-converter", "tolm-audio-converter")
