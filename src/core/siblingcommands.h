#pragma once

#include "core/commandline.h"

#include <QString>

// The two programs that do all media work ship beside the window program and are
// started by their bare names; the first argument of every call is the fixed key.
inline constexpr QStringView kTranscoderName = u"sonmill";
inline constexpr QStringView kPlayerName = u"mirplay";
inline constexpr QStringView kSiblingKey = u"qzv";

// Window title the preview player gives its one window.
inline constexpr QStringView kPlayerWindowTitle = u"Preview";

// Preview window size passed to the player.
inline constexpr int kPlayerWidth = 320;
inline constexpr int kPlayerHeight = 240;

// Transcoder options.
namespace TranscoderOption {
inline constexpr QStringView Overwrite = u"-y";
inline constexpr QStringView Input = u"-i";
inline constexpr QStringView Start = u"-ss";
inline constexpr QStringView Length = u"-t";
inline constexpr QStringView Volume = u"-vol";
inline constexpr QStringView SampleRate = u"-ar";
inline constexpr QStringView Codec = u"-acodec";
inline constexpr QStringView Bitrate = u"-ab";
inline constexpr QStringView Quality = u"-qscale";
inline constexpr QStringView Channels = u"-ac";
inline constexpr QStringView NoVideo = u"-vn";
// Loudness, the transcoder's own options beyond the ones above.
inline constexpr QStringView Normalize = u"-normalize";
inline constexpr QStringView ReplayGain = u"-replaygain";
inline constexpr QStringView AlbumGain = u"-albumgain";
inline constexpr QStringView AlbumPeak = u"-albumpeak";
inline constexpr QStringView Measure = u"-measure";
inline constexpr QStringView Tag = u"-tag"; // KEY=VALUE, written in place of the source's tag
inline constexpr QStringView Verify = u"-verify"; // the output read back before it takes its name
inline constexpr QStringView Retag = u"-retag"; // an existing output's tags written anew, no conversion
} // namespace TranscoderOption

// The value of -replaygain: the track's values, measured while converting.
inline constexpr QStringView kReplayGainTrack = u"track";

// Keys of -tag.
namespace TranscoderTag {
inline constexpr QStringView Title = u"title";
inline constexpr QStringView Artist = u"artist";
inline constexpr QStringView Album = u"album";
inline constexpr QStringView AlbumArtist = u"albumartist";
inline constexpr QStringView Track = u"track"; // "n" or "n/total"
inline constexpr QStringView Disc = u"disc"; // "n" or "n/total"
inline constexpr QStringView Date = u"date";
inline constexpr QStringView Genre = u"genre";
inline constexpr QStringView Comment = u"comment";
inline constexpr QStringView Composer = u"composer";
inline constexpr QStringView Isrc = u"isrc";
} // namespace TranscoderTag

// Encoder value that keeps the audio stream unchanged.
inline constexpr QStringView kCopyCodec = u"copy";
// Profiles name the MP3 encoder "mp3"; the transcoder's name for it is "libmp3lame".
inline constexpr QStringView kMp3ProfileCodec = u"mp3";
inline constexpr QStringView kMp3Encoder = u"libmp3lame";

// Length the probe decodes: one millisecond, enough for the transcoder to describe the file.
inline constexpr QStringView kProbeLength = u"0.001";

// sonmill qzv -y -i "<source>" -t 0.001  "<scratch wav>"
// sourcePath should already be absolute; scratchPath is the scratch file the probe writes.
CommandLine ProbeCommand(const QString &sourcePath, const QString &scratchPath);

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
