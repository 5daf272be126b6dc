#pragma once

#include <gst/gst.h>

namespace media {

// Makes a decodebin try our own MPEG-4 reader (tolmmp4demux, registered without a rank so
// players never pick it) before GStreamer's for MP4, M4A, MOV and 3GP files. Ours reads
// the first AAC or MPEG audio (MP3, MP2) track with memory that does not grow with the file; a file it does not
// read cleanly it refuses when it starts, and the decodebin goes on to GStreamer's reader.
// A WAV file whose chunks do not end where the file does (the pad byte after an odd-sized
// chunk, a few stray bytes after the last one) goes to our libsndfile reader
// (tolmwavdemux, also without a rank): GStreamer's reader then finds no audio at all.
// Setting TOLM_OWN_DEMUXERS=0 leaves every file to GStreamer's readers.
void preferOwnDemuxers(GstElement *decodebin, const char *path);

// True for a parser a decodebin should not put behind an MPEG-4 reader's AAC frames: they
// come whole and with their configuration, and a parser drops those lying before the
// segment start, which the decoder needs to run in (it gives its first frame as silence).
// Any other coding (MP3, MP2, AC-3 ...) keeps its parser, which its decoder may need.
// Call from an autoplug-select handler: pad and caps are the ones being linked.
bool skipsParserAfterMp4(GstPad *pad, GstCaps *caps, GstElementFactory *factory);

// With TOLM_REPORT_DEMUXER set, prints "demuxer: <element factory>" to standard error for
// each demuxer in the bin (and bins inside it): how tests learn which reader ran.
void reportDemuxers(GstElement *bin);

} // namespace media
