#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sonmill {

// Bare MPEG audio (MP1/MP2/MP3), ADTS AAC and AC-3 files carry no length: a decoder only
// estimates it from the first frames' bit rate. These walk the frame headers (no
// decoding) and count the samples, unless an MP3's Xing, Info or VBRI header already
// says how many frames follow. Reads in small blocks, so memory stays flat for any size.
enum class ElementaryStream { MpegAudio, Adts, Ac3 };

std::optional<std::int64_t> scanElementaryDuration(const std::string &path, ElementaryStream kind);

// A FLAC file states its length in its header; a file cut off keeps stating the old one.
// The last frame header in the file's tail says where the audio really ends.
std::optional<std::int64_t> scanFlacDuration(const std::string &path);

// The samples an MP3's LAME header says the encoder added at its two ends (delay and
// padding), which a gapless decoder leaves out; nullopt for a file without one.
std::optional<std::uint32_t> scanMp3Trim(const std::string &path);

} // namespace sonmill
