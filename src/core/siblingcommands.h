#pragma once

#include "core/commandline.h"
#include "protocol/sonmillprotocol.h"

#include <QString>

// The two programs that do all media work ship beside the window program and are
// started by their bare names; the first argument of every call is the fixed key.
inline constexpr QStringView kTranscoderName = u"" SONMILL_PROGRAM;
inline constexpr QStringView kPlayerName = u"mirplay";
inline constexpr QStringView kSiblingKey = u"" SONMILL_KEY;

// Window title the preview player gives its one window.
inline constexpr QStringView kPlayerWindowTitle = u"Preview";

// Preview window size passed to the player.
inline constexpr int kPlayerWidth = 320;
inline constexpr int kPlayerHeight = 240;

// Transcoder options, as sonmill's protocol names them (protocol/sonmillprotocol.h).
namespace TranscoderOption {
#define TOLM_TRANSCODER_OPTION(name, word, argument) inline constexpr QStringView name = u"" word;
SONMILL_OPTIONS(TOLM_TRANSCODER_OPTION)
#undef TOLM_TRANSCODER_OPTION
} // namespace TranscoderOption

// The value of -replaygain: the track's values, measured while converting.
inline constexpr QStringView kReplayGainTrack = u"" SONMILL_REPLAYGAIN_TRACK;

// Keys of -tag; track and disc take "n" or "n/total".
namespace TranscoderTag {
#define TOLM_TRANSCODER_TAG(name, key, field, numbered) inline constexpr QStringView name = u"" key;
SONMILL_TAG_KEYS(TOLM_TRANSCODER_TAG)
#undef TOLM_TRANSCODER_TAG
} // namespace TranscoderTag

// Encoder value that keeps the audio stream unchanged.
inline constexpr QStringView kCopyCodec = u"" SONMILL_COPY_CODEC;
// Profiles name the MP3 encoder "mp3"; the transcoder's name for it is "libmp3lame".
inline constexpr QStringView kMp3ProfileCodec = u"mp3";
inline constexpr QStringView kMp3Encoder = u"" SONMILL_MP3_ENCODER;

// Length the probe decodes: one millisecond, enough for the transcoder to describe the file.
inline constexpr QStringView kProbeLength = u"0.001";

// sonmill qzv -y -i "<source>" -t 0.001  "<scratch wav>"
// sourcePath should already be absolute; scratchPath is the scratch file the probe writes.
CommandLine ProbeCommand(const QString &sourcePath, const QString &scratchPath);

// sonmill qzv -retag -i "<source>" [kept...] "<output>": an earlier output gets its source's
// tags anew without being converted again (tolm-convert --sync). kept: the loudness options of
// the command that made it, which say which of its own fields still hold.
CommandLine RetagCommand(const QString &sourcePath, const QString &outputPath, const QStringList &kept = {});

// The window and tolm-convert have every output checked before it takes its name: the
// conversion command gets "  -verify" before its output, its last piece ("... -vn  -verify
// "<out>""). The command itself stays the one the profile's settings compose.
CommandLine WithOutputCheck(CommandLine command);

// mirplay qzv  -ss  <seconds> -x 320 -y 240  "<file>"
// The trim dialog's form ends in one more blank (trailingBlank); the arguments are the same.
// A track of an album image begins spanStartNs into its file: the player starts that much
// later, the seconds then written with three decimals.
CommandLine PlayerCommand(
    int startSeconds, const QString &filePath, bool trailingBlank = false, qint64 spanStartNs = 0);
