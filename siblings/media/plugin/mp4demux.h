#pragma once

#include <gst/gst.h>

// "tolmmp4demux": the first AAC track of an MPEG-4 file (.m4a, .mp4, .mov, .3gp) as raw
// AAC frames with their configuration, read in pull mode with memory that does not grow
// with the file. It honours a one-entry edit list (an encoder's delay and padding cut
// away), seeks in time, and gives the file's usual tags. Fragmented files, files without
// an AAC track and layouts it does not read cleanly are refused when it activates, so
// GStreamer's own MP4 reader takes them instead.
gboolean tolmRegisterMp4Demux(GstPlugin *plugin);
