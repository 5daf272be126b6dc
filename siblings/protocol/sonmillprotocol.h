#pragma once

// What the window program and sonmill say to each other: the option words of sonmill's
// command line with their arguments, the keys of -tag, and the lines sonmill prints that the
// window reads. Both sides take them from here, sonmill as plain C++, the window as Qt texts
// (a word is a plain literal, so `u"" SONMILL_KEY` is the same word in UTF-16); the contract
// test (tests/sonmill/tst_sonmillprotocol.cpp) runs the real sonmill over all of them. No Qt,
// no GStreamer: nothing here but words.

#include <string_view>

// The program's name and the fixed first argument of every call.
#define SONMILL_PROGRAM "sonmill"
#define SONMILL_KEY "qzv"

// X(name, word, argument): every option; argument names the value in the help text and is
// empty for an option that takes none.
#define SONMILL_OPTIONS(X)                                                                                             \
    X(Overwrite, "-y", "")                                                                                             \
    X(Input, "-i", "INPUT")                                                                                            \
    X(Start, "-ss", "START")                                                                                           \
    X(Length, "-t", "LENGTH")                                                                                          \
    X(Volume, "-vol", "PERCENT")                                                                                       \
    X(SampleRate, "-ar", "RATE")                                                                                       \
    X(Codec, "-acodec", "NAME")                                                                                        \
    X(Bitrate, "-ab", "KBPSk")                                                                                         \
    X(Quality, "-qscale", "Q")                                                                                         \
    X(Channels, "-ac", "N")                                                                                            \
    X(NoVideo, "-vn", "")                                                                                              \
    X(ReplayGain, "-replaygain", "track")                                                                              \
    X(AlbumGain, "-albumgain", "DB")                                                                                   \
    X(AlbumPeak, "-albumpeak", "PEAK")                                                                                 \
    X(Normalize, "-normalize", "LUFS")                                                                                 \
    X(Measure, "-measure", "")                                                                                         \
    X(Tag, "-tag", "K=V")                                                                                              \
    X(Verify, "-verify", "")                                                                                           \
    X(Retag, "-retag", "")

// Values of options that the window sends as words.
#define SONMILL_REPLAYGAIN_TRACK "track" // -replaygain track
#define SONMILL_COPY_CODEC "copy" // -acodec copy: keep the audio stream as it is
#define SONMILL_MP3_ENCODER "libmp3lame" // -acodec for MP3

// X(name, key, field, numbered): the keys of -tag KEY=VALUE, the Vorbis comment field each
// one sets, and whether its value is "n" or "n/total".
#define SONMILL_TAG_KEYS(X)                                                                                            \
    X(Title, "title", "TITLE", false)                                                                                  \
    X(Artist, "artist", "ARTIST", false)                                                                               \
    X(Album, "album", "ALBUM", false)                                                                                  \
    X(AlbumArtist, "albumartist", "ALBUMARTIST", false)                                                                \
    X(Date, "date", "DATE", false)                                                                                     \
    X(Genre, "genre", "GENRE", false)                                                                                  \
    X(Comment, "comment", "COMMENT", false)                                                                            \
    X(Composer, "composer", "COMPOSER", false)                                                                         \
    X(Isrc, "isrc", "ISRC", false)                                                                                     \
    X(Track, "track", "TRACKNUMBER", true)                                                                             \
    X(Disc, "disc", "DISCNUMBER", true)

// The lines, as printf formats built around the words the window looks for.
//
// "Duration: hh:mm:ss.hh", once the input's real length is known (rounded up).
#define SONMILL_DURATION_WORD "Duration: "
#define SONMILL_DURATION_FORMAT SONMILL_DURATION_WORD "%02lld:%02d:%02d.%02d\n"
// At least twice a second: the output position in seconds with two decimals after "time=",
// one blank, then "bitrate" (a word no other line has).
#define SONMILL_TIME_WORD "time="
#define SONMILL_BITRATE_WORD "bitrate"
#define SONMILL_PROGRESS_FORMAT "size=%8llukB " SONMILL_TIME_WORD "%lld.%02d " SONMILL_BITRATE_WORD "=%6.1fkbits/s\n"
// Once, at a successful end: the one line with "global".
#define SONMILL_SUCCESS_WORD "global"
#define SONMILL_SUMMARY_FORMAT "Summary: audio %llukB, %lld.%02d s; " SONMILL_SUCCESS_WORD " speed %.1fx\n"
// "<label>: integrated <n.nn LUFS|none>, range <n.n LU|none>, true peak <n.nn dBTP|none>".
#define SONMILL_LOUDNESS_LABEL "Loudness"
#define SONMILL_ALBUM_LOUDNESS_LABEL "Album loudness" // -measure: all inputs end to end
#define SONMILL_LOUDNESS_FORMAT "%s: integrated %s, range %s, true peak %s\n"
#define SONMILL_LUFS_FORMAT "%.2f LUFS"
#define SONMILL_RANGE_FORMAT "%.1f LU"
#define SONMILL_TRUE_PEAK_FORMAT "%.2f dBTP"
#define SONMILL_NO_VALUE "none" // silence has no loudness, range or peak
// On failure, one line, then a non-zero exit.
#define SONMILL_ERROR_WORD "Error: "

namespace SonmillProtocol {

enum class Option {
#define SONMILL_OPTION_ENUM(name, word, argument) name,
    SONMILL_OPTIONS(SONMILL_OPTION_ENUM)
#undef SONMILL_OPTION_ENUM
};

struct OptionWord
{
    Option option;
    std::string_view word;
    std::string_view argument; // empty: the option takes no value
};

inline constexpr OptionWord kOptions[] = {
#define SONMILL_OPTION_ROW(name, word, argument) { Option::name, word, argument },
    SONMILL_OPTIONS(SONMILL_OPTION_ROW)
#undef SONMILL_OPTION_ROW
};

constexpr const OptionWord &optionWord(Option option)
{
    return kOptions[static_cast<int>(option)];
}

struct TagKey
{
    std::string_view key; // as given to -tag
    std::string_view field; // its Vorbis comment name
    bool numbered; // "n" or "n/total"
};

inline constexpr TagKey kTagKeys[] = {
#define SONMILL_TAG_ROW(name, key, field, numbered) { key, field, numbered },
    SONMILL_TAG_KEYS(SONMILL_TAG_ROW)
#undef SONMILL_TAG_ROW
};

// Characters between a progress line's whole seconds and "bitrate": ".hh ". The window takes
// the seconds as the text between "time=" and these.
inline constexpr int kProgressFractionLength = 4;

// The words that mark a failed run where the window looks for them (a conversion's text,
// a probe's text). Every reason sonmill gives after "Error: " carries one of the first list,
// and a refused input one of the second.
inline constexpr std::string_view kFailureWords[]
    = { "Unknown", "Incorrect", "incorrect", "no file", "Unable", "Could not", "Error" };
inline constexpr std::string_view kRefusingWords[]
    = { "Unknown", "no such file", "Incorrect", "no file", "Unable", "Unsupported" };

} // namespace SonmillProtocol
