#include "testmedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace TestMedia {

namespace {

// gst-launch escapes each argument's blanks itself, so a path goes in as it is, as (part of)
// one argument; quotes are left for gst-launch to read.
QStringList tokens(const QString &description, const QString &file)
{
    QStringList result;
    QString token;
    bool quoted = false;
    for (qsizetype i = 0; i < description.size(); ++i) {
        const QChar c = description.at(i);
        if (c == u'\\' && i + 1 < description.size()) {
            token += c;
            token += description.at(++i);
        } else if (c == u'"') {
            quoted = !quoted;
            token += c;
        } else if (c == u' ' && !quoted) {
            if (!token.isEmpty())
                result << token;
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.isEmpty())
        result << token;
    for (QString &t : result)
        t.replace(u"%1"_s, file);
    return result;
}

// Only the plugin sets the siblings may use, whatever else the machine has installed
// (gst-plugins-bad would decode AAC and read more containers), so GStreamer's tools make and
// read the test media the same way everywhere.
QProcessEnvironment allowedPlugins(const QProcessEnvironment &environment)
{
    QProcessEnvironment env = environment;
    // A registry of its own, so the user's (which lists every plugin) is not rewritten.
    env.insert(u"GST_REGISTRY_1_0"_s,
        env.contains(u"XDG_CACHE_HOME"_s) ? env.value(u"XDG_CACHE_HOME"_s) + u"/launch-registry.bin"_s
                                          : QDir::tempPath() + u"/tolm-tests-%1-registry.bin"_s.arg(getuid()));
    env.insert(u"GST_PLUGIN_LOADING_WHITELIST"_s, u"gstreamer:gst-plugins-base:gst-plugins-good:gst-plugins-ugly"_s);
    return env;
}

} // namespace

bool launch(const QString &description, const QString &file, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(allowedPlugins(environment));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(u"gst-launch-1.0"_s, QStringList { u"-q"_s } + tokens(description, file));
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("gst-launch-1.0 failed: %s", process.readAll().constData());
        return false;
    }
    return QFileInfo(file).size() > 0;
}

bool launchInto(const QString &pipelineTail, const QString &file, const QProcessEnvironment &environment)
{
    return launch(pipelineTail + u" ! filesink location=%1"_s, file, environment);
}

Discovered discover(const QString &path)
{
    QProcess p;
    p.setProcessEnvironment(allowedPlugins(QProcessEnvironment::systemEnvironment()));
    p.start(u"gst-discoverer-1.0"_s, { u"-v"_s, path });
    p.waitForFinished(30000);
    Discovered d;
    d.text = QString::fromUtf8(p.readAllStandardOutput());
    const qsizetype at = d.text.indexOf(u"Duration: "_s);
    if (at >= 0) {
        const QStringList hms = d.text.mid(at + 10, 14).trimmed().split(u':');
        if (hms.size() == 3)
            d.seconds = hms[0].toInt() * 3600 + hms[1].toInt() * 60 + hms[2].toDouble();
    }
    return d;
}

bool writeWav(const QString &path, int rate, int channels, qint64 frames,
    const std::function<double(qint64 frame, int channel)> &sample, quint32 channelMask)
{
    QByteArray data;
    data.reserve(int(frames * channels * 2));
    for (qint64 f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const double v = std::clamp(sample(f, c), -1.0, 1.0);
            const auto s = static_cast<qint16>(std::lround(v * 32767.0));
            data.append(char(s & 0xFF)).append(char((s >> 8) & 0xFF));
        }
    QByteArray header;
    auto le = [&header](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header.append(char((value >> (8 * i)) & 0xFF));
    };
    const bool extensible = channelMask != 0;
    const quint32 formatSize = extensible ? 40 : 16;
    header.append("RIFF");
    le(quint32(4 + 8 + formatSize + 8 + data.size()), 4);
    header.append("WAVEfmt ");
    le(formatSize, 4);
    le(extensible ? 0xFFFE : 1, 2);
    le(quint32(channels), 2);
    le(quint32(rate), 4);
    le(quint32(rate * channels * 2), 4);
    le(quint32(channels * 2), 2);
    le(16, 2);
    if (extensible) {
        le(22, 2);
        le(16, 2);
        le(channelMask, 4);
        header.append(QByteArray::fromHex("0100000000001000800000aa00389b71"));
    }
    header.append("data");
    le(quint32(data.size()), 4);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header + data) == header.size() + data.size();
}

} // namespace TestMedia
