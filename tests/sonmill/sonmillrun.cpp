#include "sonmillrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace SonmillRun {

QString sonmillPath()
{
    return QStringLiteral(TOLM_PROGRAM_DIR "/sonmill");
}

double durationLine(const QString &output)
{
    static const QRegularExpression pattern(uR"(Duration: (\d\d):(\d\d):(\d\d)\.(\d\d))"_s);
    const QRegularExpressionMatch m = pattern.match(output);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt()
        + m.captured(4).toInt() / 100.0;
}

bool noLeftovers(const QString &folder)
{
    return QDir(folder).entryList({ u".sonmill-*"_s }, QDir::Files | QDir::Hidden).isEmpty();
}

QProcessEnvironment environment()
{
    // A private cache folder keeps the plugin registry away from the user's, and one
    // that outlives the run keeps it from being rebuilt by every test.
    const QString cache = QCoreApplication::applicationDirPath() + u"/sonmill-test-cache"_s;
    QDir().mkpath(cache);
    QProcessEnvironment env;
    env.insert(u"PATH"_s, qEnvironmentVariable("PATH", u"/usr/bin:/bin"_s));
    env.insert(u"HOME"_s, cache);
    env.insert(u"XDG_CACHE_HOME"_s, cache);
    env.insert(u"LANG"_s, u"C.UTF-8"_s);
    // A sanitizer run's settings (scripts/test.sh --sanitize), which also has GStreamer scan
    // plugins in the sanitized program itself rather than in its uninstrumented helper.
    for (const char *name : { "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "GST_REGISTRY_FORK" }) {
        if (qEnvironmentVariableIsSet(name))
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    return env;
}

Result run(const QStringList &arguments, int timeoutMs, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(sonmillPath(), arguments);
    Result result;
    if (!process.waitForStarted(10000))
        return result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill(); // our own child, by its handle
        process.waitForFinished(5000);
    }
    result.milliseconds = clock.elapsed();
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

Result runRaw(const std::vector<std::string> &arguments, int timeoutMs)
{
    // QProcess passes arguments as text; a name that is not UTF-8 needs the bytes as they are.
    Result result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    const QProcessEnvironment env = environment();
    std::vector<std::string> envStrings;
    for (const QString &key : env.keys())
        envStrings.push_back(QString(key + u'=' + env.value(key)).toStdString());
    std::vector<char *> envp;
    for (std::string &e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = sonmillPath().toStdString();
    std::vector<std::string> argStrings { program };
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    QElapsedTimer clock;
    clock.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    QByteArray output;
    char buffer[4096];
    while (true) {
        pollfd fd { pipeFds[0], POLLIN, 0 };
        const int left = int(timeoutMs - clock.elapsed());
        if (left <= 0 || ::poll(&fd, 1, left) <= 0)
            break;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        output.append(buffer, int(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == 0) {
        if (clock.elapsed() < timeoutMs)
            ::waitpid(child, &status, 0);
        else {
            ::kill(child, SIGKILL); // our own child, by its id
            ::waitpid(child, &status, 0);
            result.milliseconds = clock.elapsed();
            result.output = QString::fromUtf8(output);
            return result;
        }
    }
    result.finished = true;
    result.milliseconds = clock.elapsed();
    result.crashed = WIFSIGNALED(status);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = QString::fromUtf8(output);
    return result;
}

QStringList conversionArguments(const QString &input, const QString &output, const QStringList &middle)
{
    return QStringList { u"qzv"_s, u"-y"_s, u"-i"_s, input } + middle + QStringList { output };
}

Media inspect(const QString &path)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QCoreApplication::applicationDirPath() + u"/mediacheck"_s, { path });
    Media media;
    if (!process.waitForFinished(60000))
        return media;
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n');
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == u"chain")
            media.chain = value;
        else if (key == u"rate")
            media.rate = value.toInt();
        else if (key == u"channels")
            media.channels = value.toInt();
        else if (key == u"frames")
            media.frames = value.toLongLong();
        else if (key == u"digest")
            media.digest = value;
        else if (key == u"seconds")
            media.seconds = value.toDouble();
        else if (key.startsWith(u"rms"))
            media.rms.append(value.toDouble());
        else if (key.startsWith(u"peakframe"))
            media.peakFrame.append(value.toLongLong());
        else if (key.startsWith(u"peak"))
            media.peak.append(value.toDouble());
        else if (key.startsWith(u"tag."))
            media.tags.insert(key.mid(4), value);
    }
    media.ok = process.exitCode() == 0 && media.rate > 0;
    return media;
}

bool make(const QString &description, const QString &file)
{
    return TestMedia::launch(description, file, environment());
}

const QStringList &failureWords()
{
    static const QStringList words = { u"Unknown"_s, u"Incorrect"_s, u"incorrect"_s, u"no file"_s, u"no such file"_s,
        u"Unable"_s, u"Unsupported"_s, u"Could not"_s, u"Error"_s };
    return words;
}

QString probeRefusals(const QString &input, const QString &outputFolder, int rounds, int together)
{
    QProcessEnvironment env = environment();
    env.insert(u"SONMILL_STALL_SECONDS"_s, u"3"_s); // a stalled run shows without a long wait
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::unique_ptr<QProcess>> probes;
        for (int i = 0; i < together; ++i) {
            auto &probe = probes.emplace_back(std::make_unique<QProcess>());
            probe->setProcessEnvironment(env);
            probe->setProcessChannelMode(QProcess::MergedChannels);
            probe->start(sonmillPath(),
                { u"qzv"_s, u"-y"_s, u"-i"_s, input, u"-t"_s, u"0.001"_s, outputFolder + u"/probe-%1.wav"_s.arg(i) });
        }
        for (const auto &probe : probes) {
            const bool finished = probe->waitForFinished(30000);
            const QString text = QString::fromUtf8(probe->readAll());
            if (!finished || probe->exitCode() != 5 || !text.startsWith(u"Error: Unsupported"_s))
                return u"round %1: %2"_s.arg(round).arg(finished ? text : u"no end"_s);
        }
    }
    return {};
}

} // namespace SonmillRun
