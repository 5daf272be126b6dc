#include "loudnesscheck.h"

#include "testmedia.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

using namespace Qt::StringLiterals;

namespace LoudnessCheck {
namespace {

QString runTool(const QString &program, const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAll());
}

// A WAV or FLAC the meter reads as it is; anything else decoded into folder first.
QString readable(const QString &path, const QTemporaryDir &folder)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"wav" || suffix == u"flac")
        return path;
    const QString wav = folder.filePath(u"decoded.wav"_s);
    bool ok = false;
    if (suffix == u"mp3")
        runTool(u"mpg123"_s, { u"-q"_s, u"-w"_s, wav, path }, &ok);
    else
        ok = TestMedia::launch(u"filesrc location=\"%1\" ! decodebin ! audioconvert ! "
                               "audio/x-raw,format=S16LE ! wavenc ! filesink location=%2"_s.arg(path, u"%1"_s),
            wav);
    return ok ? wav : QString();
}

double programmeSample(Programme programme, qint64 frame, int channel, double rate)
{
    const double t = double(frame) / rate;
    const double twoPi = 2 * M_PI;
    // A fixed pseudo-random noise, the same on every run.
    quint32 seed = quint32(frame * 2 + channel) * 2654435761u;
    seed ^= seed >> 13;
    seed *= 0x5bd1e995u;
    seed ^= seed >> 15;
    const double noise = double(seed % 20001) / 10000.0 - 1.0;
    if (programme == Programme::Dense) {
        const double swell = 0.75 + 0.25 * std::sin(twoPi * 0.4 * t);
        return swell
            * (0.35 * std::sin(twoPi * 110 * t + 0.2 * channel) + 0.25 * std::sin(twoPi * 440 * t)
                + 0.15 * std::sin(twoPi * 2500 * t + 0.1 * channel) + 0.12 * std::sin(twoPi * 4100 * t)
                + 0.04 * std::sin(twoPi * 11025 * t + M_PI / 4) + 0.05 * noise);
    }
    // Hits twice a second: a sharp attack, then a fast decay.
    const double sinceHit = std::fmod(t, 0.5);
    const double hit = std::exp(-sinceHit * 30) * std::sin(twoPi * 80 * sinceHit + 0.3)
        + std::exp(-sinceHit * 200) * std::sin(twoPi * 11025 * t + M_PI / 4);
    return 0.9 * hit + 0.06 * std::sin(twoPi * 330 * t + channel) + 0.02 * noise;
}

} // namespace

Reading measure(const QString &path)
{
    Reading reading;
    QTemporaryDir folder;
    const QString input = readable(path, folder);
    if (input.isEmpty()) {
        reading.text = u"could not decode "_s + path;
        return reading;
    }
    bool ok = false;
    reading.text = runTool(u"ebur128"_s, { u"--lufs"_s, input }, &ok);
    static const QRegularExpression integrated(u"Integrated loudness:\\s*(-?[0-9.]+) LUFS"_s);
    static const QRegularExpression peak(u"Peak level\\s*(-?[0-9.]+) dB"_s);
    const auto i = integrated.match(reading.text);
    const auto p = peak.match(reading.text);
    reading.ok = ok && i.hasMatch() && p.hasMatch();
    if (reading.ok) {
        reading.integratedLufs = i.captured(1).toDouble();
        reading.truePeakDb = p.captured(1).toDouble();
    }
    return reading;
}

QMap<QString, QString> replayGainTags(const QString &path)
{
    static const QString script = uR"(
import sys, mutagen
f = mutagen.File(sys.argv[1])
for key, value in (f.tags.items() if f is not None and f.tags is not None else []):
    name = key.split(':')[-1]
    if not name.upper().startswith('REPLAYGAIN_'):
        continue
    if hasattr(value, 'text'):
        value = value.text
    if isinstance(value, list):
        value = value[0]
    if isinstance(value, bytes):
        value = value.decode()
    print(name.upper() + '=' + str(value))
)"_s;
    QMap<QString, QString> tags;
    // Debian's own interpreter, which has the packaged mutagen (a python3 earlier on PATH
    // may not).
    const QString text = runTool(u"/usr/bin/python3"_s, { u"-c"_s, script, path });
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            tags.insert(line.left(equals), line.mid(equals + 1).trimmed());
    }
    return tags;
}

double gainOf(const QString &text)
{
    QString number = text;
    number.remove(u" dB"_s);
    bool ok = false;
    const double value = number.trimmed().toDouble(&ok);
    return ok ? value : std::nan("");
}

bool writeProgramme(const QString &path, Programme programme, double seconds, double loudnessLufs)
{
    constexpr int kRate = 44100;
    const auto frames = qint64(seconds * kRate);
    const auto write = [&](double scale) {
        return TestMedia::writeWav(path, kRate, 2, frames,
            [&](qint64 frame, int channel) { return scale * programmeSample(programme, frame, channel, kRate); });
    };
    // Made at a level the meter can read, then scaled once by what it read (its loudness
    // follows a gain exactly, up to the 16-bit rounding).
    constexpr double kFirstScale = 0.1;
    if (!write(kFirstScale))
        return false;
    const Reading first = measure(path);
    if (!first.ok)
        return false;
    return write(kFirstScale * std::pow(10.0, (loudnessLufs - first.integratedLufs) / 20.0));
}

} // namespace LoudnessCheck
