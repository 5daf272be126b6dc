#pragma once

#include <gst/gst.h>

// "tolmaacdec": AAC (ADTS or raw with codec data, as aacparse delivers it) decoded with
// faad2 to interleaved 32-bit float. The allowed plugin sets have no AAC decoder.
gboolean tolmRegisterAacDecoder(GstPlugin *plugin);
