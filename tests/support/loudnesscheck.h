#pragma once

#include <QMap>
#include <QString>

// Loudness judged by a meter that is not ours: ebur128 (from the ebumeter package),
// which reads WAV and FLAC; other files are decoded to WAV first by mpg123 (MP3) or
// GStreamer's decodebin. ReplayGain tags are read by mutagen.
namespace LoudnessCheck {

struct Reading
{
    bool ok = false;
    double integratedLufs = 0;
    double truePeakDb = 0; // ebur128's peak level: 4x oversampled
    QString text; // what the meter said, for failure messages
};

Reading measure(const QString &path);

// REPLAYGAIN_* values of a file, by their plain names (REPLAYGAIN_TRACK_GAIN, ...)
// whatever the format keeps them as (Vorbis comment, ID3 TXXX, MP4 freeform atom).
QMap<QString, QString> replayGainTags(const QString &path);

// The number in front of " dB" of a gain text ("-7.53 dB").
double gainOf(const QString &text);

// Programme material for the tests, stereo 16-bit WAV at 44.1 kHz, made sample by sample
// and scaled (by the outside meter's reading) to the loudness asked for.
//   Dense: tones and noise, steady, peaks about 12 dB above the loudness.
//   Punchy: quieter tones with drum-like hits whose peaks stand about 20 dB above it.
enum class Programme { Dense, Punchy };
bool writeProgramme(const QString &path, Programme programme, double seconds, double loudnessLufs);

} // namespace LoudnessCheck
