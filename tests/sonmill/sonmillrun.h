#pragma once

#include "testmedia.h"

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

// Runs the real build/program/sonmill and the mediacheck helper, and makes test media
// with gst-launch-1.0, all with one fixed environment.
namespace SonmillRun {

struct Result
{
    bool finished = false; // ended by itself within the time limit
    int exitCode = -1;
    bool crashed = false;
    QString output; // standard output and error, merged as the window program reads them
    qint64 milliseconds = 0;
};

struct Media
{
    bool ok = false;
    QString chain; // media types decodebin met, in order
    int rate = 0;
    int channels = 0;
    qint64 frames = 0;
    double seconds = 0;
    QList<double> rms; // dBFS per channel
    QList<double> peak; // full scale 1.0
    QList<qint64> peakFrame;
    QString digest; // equal for sample-identical audio (up to 24 bits)
    QMap<QString, QString> tags;
};

QString sonmillPath();

// The length a run's Duration line gives, in seconds; -1 without one.
double durationLine(const QString &output);
// True when no temporary file of a run is left in the folder.
bool noLeftovers(const QString &folder);
QProcessEnvironment environment();

Result run(const QStringList &arguments, int timeoutMs = 60000, const QProcessEnvironment &env = environment());
// The program's conversion line for one file, as the queue composes it (irregular
// blanks in the text aside, the argument list is the same).
QStringList conversionArguments(const QString &input, const QString &output, const QStringList &middle);

// Runs sonmill with arguments given as raw bytes (names that are not UTF-8).
Result runRaw(const std::vector<std::string> &arguments, int timeoutMs = 60000);

Media inspect(const QString &path);

// Probes input as the window does, together probes at a time, rounds times over, with a
// stall limit of a few seconds; returns the text of the first probe that was not refused at
// once as unsupported input (exit status 5, "Error: Unsupported"), empty when all were.
// outputFolder takes the probes' output names (none is ever written).
QString probeRefusals(const QString &input, const QString &outputFolder, int rounds, int together = 3);

// TestMedia::launch with this environment.
bool make(const QString &description, const QString &file);

using TestMedia::writeWav;

// Every name a text contract forbids on a run's console (the failure words).
const QStringList &failureWords();

} // namespace SonmillRun
