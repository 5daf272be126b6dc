#pragma once

namespace media {

// Starts GStreamer with only its core and the plugin sets base, good and ugly, plus the
// elements of our own, whatever else the machine has installed: every machine then decodes
// exactly what we test. The plugin registry is kept in the user's cache folder, apart from
// the one other GStreamer programs share, so a plugin they installed cannot slip in.
// Call once, before any other GStreamer call; environment overrides a test or a user set
// for the registry location are kept. Set TOLM_GST_DEBUG=1 to get GStreamer's own warnings.
void initialiseGStreamer(int *argc, char ***argv);

} // namespace media
