#pragma once

// Encoder names as the transcoder knows them. The profile catalogue (AudioCodec and the
// encoder items of each library file) uses exactly these names, so this is the one table
// both sides are checked against. Header-only on purpose: the window program's tests read
// it without linking any media code.

#include <array>
#include <string_view>

namespace EncoderNames {

struct Encoder
{
    std::string_view name;
    bool available; // false: no encoder library for it on this platform; refused clearly
};

inline constexpr std::array<Encoder, 14> kAll = { {
    { "libmp3lame", true }, { "mp3", true }, // the profiles' name for libmp3lame
    { "mp2", true }, { "vorbis", true }, { "flac", true }, { "aac", true }, { "pcm16le", true }, { "pcm16be", true },
    { "ac3", true }, // our own encoder, written from ATSC A/52
    { "realaudio", false }, { "wma", false }, { "wmalossless", false }, { "opus", true }, // through libopusenc
    { "alac", true }, // Apple Lossless: our own encoder, in MPEG-4 audio files
} };

// Keeps the input's audio unchanged where the output format can hold it.
inline constexpr std::string_view kCopy = "copy";

constexpr const Encoder *find(std::string_view name)
{
    for (const Encoder &encoder : kAll)
        if (encoder.name == name)
            return &encoder;
    return nullptr;
}

} // namespace EncoderNames
