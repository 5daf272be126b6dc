#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <functional>

// Media the tests make themselves: with GStreamer's test sources and the allowed encoders
// through gst-launch-1.0, or a WAV written sample by sample.
namespace TestMedia {

// gst-launch-1.0 -q DESCRIPTION, where %1 stands for file (any characters); true when it
// succeeded and wrote the file. Blanks inside double quotes stay in their token. Only the
// plugin sets the siblings may use are loaded.
bool launch(const QString &description, const QString &file,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// The same with a pipeline that ends in the file: "<tail> ! filesink location=<file>".
bool launchInto(const QString &pipelineTail, const QString &file,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// What GStreamer's own discoverer (gst-discoverer-1.0 -v) says of a file: its whole text and
// its duration in seconds (-1 when it gives none).
struct Discovered
{
    QString text;
    double seconds = -1;
};
Discovered discover(const QString &path);

// Writes a 16-bit PCM WAV (the extensible header with channelMask when it is not 0);
// sample(frame, channel) gives each value in [-1, 1].
bool writeWav(const QString &path, int rate, int channels, qint64 frames,
    const std::function<double(qint64 frame, int channel)> &sample, quint32 channelMask = 0);

} // namespace TestMedia
