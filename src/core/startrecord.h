#pragma once

#include "core/filenamefit.h"
#include "core/fixedtext.h"
#include "core/loudnessrequest.h"
#include "core/replacemark.h"
#include "core/timecode.h"

#include <QList>
#include <QPair>
#include <QString>

// Everything needed to convert one row of the source list. The output parameters are
// kept as the texts the profile files hold ("44100 Hz", "2 Channels Stereo", "128 kbps",
// "True"): stored profile files and the command line both rely on these forms.
// The switches Lossless, VideoNot and BitrateNot are compared with "True" and "False"
// exactly, letter case included.
struct TStartRecord
{
    QString SourcePath; // full path of the source file
    QString Duration; // probed length hh:mm:ss, "--:--:--" when unknown
    QString StartTime; // start of the range to convert, hh:mm:ss (-ss)
    QString Length; // length of the range, hh:mm:ss (-t, first 8 characters)
    FixedText<100> ProfileName; // profile list entry, also its section name
    FixedText<20> Extension; // output extension with its dot, e.g. ".aac"
    FixedText<6> Lossless; // "True" for a lossless profile
    FixedText<6> VideoNot; // "True" when the output carries no video
    FixedText<6> BitrateNot; // "True" when the profile has no bit-rate choice
    FixedText<10> SampleRate; // e.g. "44100 Hz"
    FixedText<18> Channels; // first character is the count, "5" meaning six
    FixedText<10> AudioCodec; // encoder name, e.g. "mp3"
    FixedText<10> Bitrate; // e.g. "128 kbps"; empty for lossless profiles
    qint32 Volume = 0; // percent, 100 meaning unchanged
    // destination folder + "/" + name + Extension: a whole Linux path (its name, of at most
    // 255 bytes, is shortened where it is made, see core/filenamefit.h)
    FixedText<kMaxPathBytes> OutputPath;
    // For a file added with its folder: its folder relative to the added folder's parent
    // ("Album One/CD2"), kept below the destination; empty for a file added by itself.
    QString RelativeFolder;
    // The existing file at OutputPath the user agreed to have replaced by this output.
    ReplaceMark Replace;
    // Normalising and ReplayGain tags, our own addition; empty for a new row.
    LoudnessRequest Loudness;
    // The exact stretch of the source this row stands for, in nanoseconds: a whole file
    // starts at 0, a track of an album image where its sheet says. Duration, StartTime and
    // Length count whole seconds from SpanStartNs; a range that reaches Duration converts to
    // SpanEndNs, so the fraction after the last whole second is not lost. -1: not known.
    qint64 SpanStartNs = 0;
    qint64 SpanEndNs = -1;
    // Tag values the output gets in place of the source's (a track of an album image), as
    // key and value pairs the transcoder knows; empty for an ordinary row.
    QList<QPair<QString, QString>> TagValues;
    // A track's "NN - Title" made fit for a file name: its output is named after it, not
    // after the image. Empty for an ordinary row.
    QString TrackName;
};

// Texts of the switches, kept as text because stored profile files hold them this way.
inline constexpr QStringView kTrue = u"True";
inline constexpr QStringView kFalse = u"False";

// Defaults a new record takes when the profile file does not say otherwise.
inline constexpr QStringView kDefaultSampleRate = u"44100 Hz";
inline constexpr QStringView kDefaultChannels = u"2 Channels Stereo";
inline constexpr QStringView kDefaultBitrate = u"128 kbps";
inline constexpr QStringView kStartOfFile = u"00:00:00";
inline constexpr qint32 kUnchangedVolume = 100;
