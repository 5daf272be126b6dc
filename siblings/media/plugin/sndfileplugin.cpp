#include "sndfiledemux.h"

#include <gst/gst.h>

// Our libsndfile reader as a plugin of its own: libsndfile brings several codec
// libraries along, which only files that need it should pay for.

namespace {

gboolean pluginInit(GstPlugin *plugin)
{
    return tolmRegisterSndfileDemux(plugin);
}

} // namespace

#define PACKAGE "tolm-audio-converter"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tolmsndfile, "Sound file reader of TOLM Audio Converter",
    pluginInit, "0.1", "LGPL", "tolm-audio-converter", "tolm-audio-converter")
