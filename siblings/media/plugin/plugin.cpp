#include "aacdecoder.h"
#include "sndfiledemux.h"

#include <gst/gst.h>

// Our own elements, as a GStreamer plugin in the program folder. GStreamer's registry
// lists its elements without loading it; the file (and faad2 or libsndfile with it) is
// loaded only when a stream needs one of them.

namespace {

gboolean pluginInit(GstPlugin *plugin)
{
    return tolmRegisterAacDecoder(plugin) && tolmRegisterSndfileDemux(plugin);
}

} // namespace

#define PACKAGE "tolm-audio-converter"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tolmmedia, "Decoders of TOLM Audio Converter", pluginInit,
    "0.1", "LGPL", "tolm-audio-converter", "tolm-audio-converter")
