#pragma once

#include <gst/gst.h>

// "tolmsndfiledemux": AIFF (and AIFF-C), CAF and Wave64 files read with libsndfile and
// delivered as interleaved samples at the file's resolution, with the file's tags (libsndfile's strings and
// an AIFF's ID3 chunk). It reads its input in pull mode, as libsndfile needs to seek.
// "tolmwavdemux": the same for WAV files, without a rank (asked for by name only).
gboolean tolmRegisterSndfileDemux(GstPlugin *plugin);
