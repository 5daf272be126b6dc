#pragma once

#include <gst/gst.h>

// "tolmalacdec": Apple Lossless packets (audio/x-alac with the configuration as codec
// data, as MP4 readers deliver them) decoded by our own decoder to 16-bit, 24-bit (in 32)
// or 32-bit integers, as the stream codes them. The allowed plugin sets have no ALAC decoder.
gboolean tolmRegisterAlacDecoder(GstPlugin *plugin);
