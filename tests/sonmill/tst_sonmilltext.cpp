// sonmill's console text, its probe, and what it does with bad inputs, odd names,
// a stalled input and a stop signal.

#include "core/siblingcommands.h"
#include "sonmillrun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kRate = 44100;
constexpr int kBoundMs = 20000; // every run, good or bad, ends well within this

double tone(qint64 frame)
{
    return 0.5 * std::sin(2 * M_PI * 440.0 * double(frame) / kRate);
}

// Paces the reads of one regular file, as a slow or stalled disk would: the kernel asks
// (fanotify permission events, which need CAP_SYS_ADMIN) before every read of it. Inputs
// must be regular files, so a named pipe no longer stands in for a slow source.
class ReadGate
{
public:
    // Lets each of the first `reads` reads through after intervalMs; later reads wait
    // until stop() when hold is set, else pass at once.
    ReadGate(const QString &file, int reads, int intervalMs, bool hold)
    {
        m_fd = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC | FAN_NONBLOCK, O_RDONLY | O_LARGEFILE);
        if (m_fd < 0)
            return;
        if (::fanotify_mark(m_fd, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD, QFile::encodeName(file).constData()) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_thread = std::thread([=, this] {
            std::vector<int> held;
            int answered = 0;
            while (!m_stop) {
                pollfd ready { m_fd, POLLIN, 0 };
                if (::poll(&ready, 1, 20) <= 0)
                    continue;
                alignas(fanotify_event_metadata) char buffer[4096];
                const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
                auto *event = reinterpret_cast<fanotify_event_metadata *>(buffer);
                for (ssize_t left = length; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
                    if ((answered >= reads && hold) || m_holding) {
                        held.push_back(event->fd);
                        continue;
                    }
                    if (answered < reads)
                        std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
                    allow(event->fd);
                    ++answered;
                }
            }
            for (int fd : held)
                allow(fd);
        });
    }
    ~ReadGate() { stop(); }
    bool active() const { return m_fd >= 0; }
    // From now on every read waits until stop().
    void hold() { m_holding = true; }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd); // any read still waiting goes through
        m_fd = -1;
    }

private:
    void allow(int eventFd)
    {
        const fanotify_response response { eventFd, FAN_ALLOW };
        [[maybe_unused]] const ssize_t written = ::write(m_fd, &response, sizeof response);
        ::close(eventFd);
    }

    int m_fd = -1;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_holding { false };
    std::thread m_thread;
};

} // namespace

class TestSonmillText : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tone; // 3 s stereo

    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Starts a conversion and reads its text until the audio flows (its first "time="), at
    // most kBoundMs.
    static QString startUntilFlowing(
        QProcess &process, const QProcessEnvironment &env, const QString &input, const QString &output)
    {
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(sonmillPath(), conversionArguments(input, output, {}));
        QString text;
        QElapsedTimer clock;
        clock.start();
        while (process.waitForStarted() && !text.contains(u"time="_s) && clock.elapsed() < kBoundMs) {
            process.waitForReadyRead(100);
            text += QString::fromUtf8(process.readAll());
        }
        return text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tone = path(u"tone.wav"_s);
        QVERIFY(writeWav(m_tone, kRate, 2, 3 * kRate, [](qint64 f, int) { return tone(f); }));
    }

    // A file named and tagged with the very words the window program looks for.
    void textCarriesOnlyFixedWordsAndNumbers()
    {
        const QString input = path(u"Unknown global Error.wav"_s);
        const QString words = u"Unknown global Error"_s;
        QVERIFY(make(u"audiotestsrc num-buffers=200 ! audio/x-raw,rate=44100,channels=2 ! "
                     "taginject tags=\"title=\\\"Unknown global Error\\\",artist=\\\"Unable Incorrect\\\","
                     "album=\\\"no such file\\\",comment=\\\"Could not bitrate time=99.00\\\"\" ! "
                     "wavenc ! filesink location=%1"_s,
            input));
        QCOMPARE(inspect(input).tags.value(u"title"_s), words);

        const QString output = path(u"Unknown global Error.mp3"_s);
        const Result result = run(conversionArguments(input, output,
            { u"-ss"_s, u"00:00:00"_s, u"-t"_s, u"00:00:04"_s, u"-vol"_s, u"100"_s, u"-ar"_s, u"44100"_s, u"-acodec"_s,
                u"libmp3lame"_s, u"-ab"_s, u"128k"_s, u"-qscale"_s, u"6"_s, u"-ac"_s, u"2"_s, u"-vn"_s }));
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        QCOMPARE(inspect(output).tags.value(u"title"_s), words); // the tags went into the file, not the text

        for (const QString &word : failureWords())
            QVERIFY2(!result.output.contains(word), qPrintable(word + u" in: "_s + result.output));
        QCOMPARE(result.output.count(u"global"_s), 1);
        QVERIFY(!result.output.contains(m_dir.path()));
        QVERIFY(!result.output.contains(u"Artist"_s));

        const QStringList lines = result.output.split(u'\n', Qt::SkipEmptyParts);
        static const QRegularExpression durationLine(uR"(^Duration: \d\d:\d\d:\d\d\.\d\d$)"_s);
        static const QRegularExpression progressLine(uR"(time=(\d+\.\d\d) bitrate)"_s);
        int durations = 0;
        double last = -1;
        for (const QString &line : lines) {
            if (line.startsWith(u"Duration:"_s)) {
                QVERIFY2(durationLine.match(line).hasMatch(), qPrintable(line));
                // 200 buffers of 1024 samples, 4.644 s: rounded up, so a range to it loses nothing
                QCOMPARE(line, u"Duration: 00:00:04.65"_s);
                ++durations;
            }
            if (line.contains(u"bitrate"_s)) {
                const QRegularExpressionMatch m = progressLine.match(line);
                QVERIFY2(m.hasMatch(), qPrintable(line));
                const double position = m.captured(1).toDouble();
                QVERIFY(position >= last);
                last = position;
            }
            QVERIFY(!line.contains(u"time="_s) || line.contains(u"bitrate"_s));
        }
        QCOMPARE(durations, 1);
        QCOMPARE(last, 4.0); // from 0 to the -t length
        QVERIFY(lines.first().startsWith(u"Duration:"_s));
        QVERIFY(lines.last().contains(u"global"_s));
    }

    // Progress lines at least twice a second, even while the input trickles in.
    void progressCadence()
    {
        const QString slow = path(u"slow.wav"_s);
        QVERIFY(QFile::copy(m_tone, slow));
        ReadGate gate(slow, 25, 100, false); // about 2.5 s
        if (!gate.active())
            QSKIP("pacing reads needs fanotify permission events (CAP_SYS_ADMIN)");

        QProcess process;
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        QList<qint64> arrivals;
        QString text;
        connect(&process, &QProcess::readyRead, &process, [&] {
            const QString chunk = QString::fromUtf8(process.readAll());
            text += chunk;
            for (qsizetype i = chunk.indexOf(u"time="_s); i >= 0; i = chunk.indexOf(u"time="_s, i + 1))
                arrivals << clock.elapsed();
        });
        clock.start();
        process.start(sonmillPath(), conversionArguments(slow, path(u"slow.mp3"_s), {}));
        QVERIFY(process.waitForFinished(kBoundMs));
        gate.stop();
        QVERIFY2(process.exitCode() == 0, qPrintable(text));
        QVERIFY2(arrivals.size() >= 5, qPrintable(text));
        qint64 longest = 0;
        for (qsizetype i = 1; i < arrivals.size(); ++i)
            longest = std::max(longest, arrivals.at(i) - arrivals.at(i - 1));
        // Lines come every quarter second; a busy machine gets some slack.
        QVERIFY2(longest <= 750, qPrintable(QString::number(longest)));
    }

    // The program's probe line: the duration, and one millisecond of WAV, quickly.
    void probe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pipeline"); // %1 is the file
        QTest::newRow("wav") << u"p.wav"_s << u"wavenc ! filesink location=%1"_s;
        QTest::newRow("flac") << u"p.flac"_s << u"flacenc ! filesink location=%1"_s;
        QTest::newRow("mp3 with a length header") << u"p.mp3"_s << u"lamemp3enc ! xingmux ! filesink location=%1"_s;
        QTest::newRow("mp3 variable rate without one")
            << u"pv.mp3"_s << u"lamemp3enc target=quality quality=0 ! filesink location=%1"_s;
        QTest::newRow("ogg") << u"p.ogg"_s << u"audioconvert ! vorbisenc ! oggmux ! filesink location=%1"_s;
        QTest::newRow("m4a") << u"p.m4a"_s << QString();
    }
    void probe()
    {
        QFETCH(QString, name);
        QFETCH(QString, pipeline);
        const QString input = path(name);
        if (pipeline.isEmpty()) {
            QVERIFY(run(conversionArguments(m_tone, input, { u"-acodec"_s, u"aac"_s })).exitCode == 0);
        } else {
            // Pink noise with ups and downs, so a variable bit rate really varies.
            QVERIFY(make(
                u"audiotestsrc wave=pink-noise num-buffers=280 ! audio/x-raw,rate=44100,channels=2 ! "_s + pipeline,
                input));
        }
        const double seconds = inspect(input).seconds;
        const QString scratch = path(u"inadd.wav"_s);
        QFile::remove(scratch);

        const CommandLine probe = ProbeCommand(input, scratch);
        const Result result = run(probe.arguments, kBoundMs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        static const QRegularExpression durationLine(uR"(Duration: (\d\d):(\d\d):(\d\d\.\d\d))"_s);
        const QRegularExpressionMatch m = durationLine.match(result.output);
        QVERIFY2(m.hasMatch(), qPrintable(result.output));
        const double announced = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toDouble();
        QVERIFY2(std::fabs(announced - seconds) <= 0.05, qPrintable(u"%1 vs %2"_s.arg(announced).arg(seconds)));
        for (const QString &word : failureWords())
            QVERIFY(!result.output.contains(word));
        const Media scratchMedia = inspect(scratch);
        QVERIFY(scratchMedia.ok);
        QCOMPARE(scratchMedia.frames, qint64(std::lround(0.001 * scratchMedia.rate)));
    }

    void badInputs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // written as the input; see the rows for special ones
        QTest::addColumn<QString>("errorStart"); // empty: the conversion must succeed
        QTest::addColumn<int>("exitCode");

        QFile tone(m_tone);
        tone.open(QIODevice::ReadOnly);
        const QByteArray wav = tone.readAll();
        QByteArray noise(64 * 1024, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + (i >> 3) * 104729) & 0xFF);

        QTest::newRow("missing") << u"missing.wav"_s << QByteArray() << u"Error: no such file"_s << 4;
        QTest::newRow("empty") << u"empty.wav"_s << QByteArray("") << u"Error: Unsupported"_s << 5;
        QTest::newRow("random bytes") << u"noise.mp3"_s << noise << u"Error: Unsupported"_s << 5;
        QTest::newRow("text") << u"notes.wav"_s << QByteArray("Just some words, no audio at all.\n").repeated(50)
                              << u"Error: Unsupported"_s << 5;
        QTest::newRow("wav header only") << u"header.wav"_s << wav.left(44) << u"Error: Unsupported"_s << 5;
        QTest::newRow("wav cut off") << u"cut.wav"_s << wav.left(wav.size() / 3) << QString() << 0;
        QTest::newRow("folder") << u"folder.wav"_s << QByteArray() << u"Error: Unable"_s << 4;
        // Reading these would block or never end, before any watchdog could act.
        QTest::newRow("named pipe") << u"pipe.wav"_s << QByteArray() << u"Error: Unsupported"_s << 5;
        QTest::newRow("link to a named pipe") << u"pipe-link.wav"_s << QByteArray() << u"Error: Unsupported"_s << 5;
        QTest::newRow("link to a device") << u"device.wav"_s << QByteArray() << u"Error: Unsupported"_s << 5;
    }
    void badInputs()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, errorStart);
        QFETCH(int, exitCode);
        const QString input = path(name);
        if (name == u"folder.wav")
            QVERIFY(QDir().mkpath(input));
        else if (name == u"pipe.wav")
            QVERIFY(::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
        else if (name == u"pipe-link.wav")
            QVERIFY(::mkfifo(QFile::encodeName(input + u".fifo"_s).constData(), 0600) == 0
                && QFile::link(input + u".fifo"_s, input));
        else if (name == u"device.wav")
            QVERIFY(QFile::link(u"/dev/zero"_s, input));
        else if (!content.isNull()) {
            QFile file(input);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const QString output = path(name + u".out.mp3"_s);
        const Result result = run(conversionArguments(input, output, {}), kBoundMs);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        if (errorStart.isEmpty()) {
            QVERIFY2(result.output.contains(u"global"_s), qPrintable(result.output));
            QVERIFY(inspect(output).ok);
        } else {
            const QStringList lines = result.output.split(u'\n', Qt::SkipEmptyParts);
            QVERIFY2(!lines.isEmpty() && lines.last().startsWith(errorStart), qPrintable(result.output));
            QVERIFY(!result.output.contains(u"global"_s));
            QVERIFY(!QFileInfo::exists(output));
        }
        QVERIFY(noLeftovers(m_dir.path()));
    }

    // Cut-off MP3 and FLAC files: converted as far as they go, with their real length.
    void cutOffCompressed_data()
    {
        QTest::addColumn<QString>("pipeline");
        QTest::newRow("mp3 with length header") << u"lamemp3enc ! xingmux ! filesink location=%1"_s;
        QTest::newRow("flac") << u"flacenc ! filesink location=%1"_s;
    }
    void cutOffCompressed()
    {
        QFETCH(QString, pipeline);
        const QString whole = path(u"whole"_s);
        QVERIFY(make(u"audiotestsrc num-buffers=300 ! audio/x-raw,rate=44100,channels=2 ! "_s + pipeline, whole));
        QFile file(whole);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        const QString cut = path(u"cut"_s);
        QFile out(cut);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(data.left(data.size() * 6 / 10));
        out.close();

        const Result result = run(conversionArguments(cut, path(u"cut.wav"_s), {}), kBoundMs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
        const double real = inspect(path(u"cut.wav"_s)).seconds;
        QVERIFY(real < 0.7 * 300 * 1024 / kRate);
        static const QRegularExpression durationLine(uR"(Duration: 00:00:(\d\d\.\d\d))"_s);
        const QRegularExpressionMatch m = durationLine.match(result.output);
        QVERIFY(m.hasMatch());
        QVERIFY2(std::fabs(m.captured(1).toDouble() - real) < 0.15, qPrintable(result.output));
    }

    // An MP3 whose Info or Xing header states a frame count its bytes cannot hold (a
    // damaged or edited header): the length comes from the frames themselves.
    void implausibleFrameCount_data()
    {
        QTest::addColumn<QStringList>("encoding");
        QTest::addColumn<quint32>("frames");
        const QStringList constant { u"-ab"_s, u"128k"_s }; // LAME's Info header
        const QStringList variable { u"-qscale"_s, u"4"_s }; // its Xing header
        QTest::newRow("Info, 2^32 - 1 frames") << constant << quint32(0xFFFFFFFF);
        QTest::newRow("Info, no frames") << constant << quint32(0);
        QTest::newRow("Info, one frame") << constant << quint32(1);
        QTest::newRow("Xing, 2^32 - 1 frames") << variable << quint32(0xFFFFFFFF);
        QTest::newRow("Xing, ten frames") << variable << quint32(10);
    }
    void implausibleFrameCount()
    {
        QFETCH(QStringList, encoding);
        QFETCH(quint32, frames);
        const QString mp3 = path(u"count.mp3"_s);
        QVERIFY(
            run(conversionArguments(m_tone, mp3, QStringList { u"-acodec"_s, u"libmp3lame"_s } + encoding), kBoundMs)
                .exitCode
            == 0);
        QFile file(mp3);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray data = file.readAll();
        const qsizetype header = std::max(data.indexOf("Info"), data.indexOf("Xing"));
        QVERIFY(header > 0 && header < 64);
        for (int i = 0; i < 4; ++i)
            data[header + 8 + i] = char(frames >> (24 - 8 * i));
        QVERIFY(file.seek(0) && file.write(data) == data.size());
        file.close();

        const Result probe = run(ProbeCommand(mp3, path(u"count-probe.wav"_s)).arguments, kBoundMs);
        QVERIFY2(std::fabs(durationLine(probe.output) - 3.0) < 0.1, qPrintable(probe.output));
        const QString output = path(u"count.wav"_s);
        const Result converted = run(conversionArguments(mp3, output, {}), kBoundMs);
        QVERIFY2(converted.exitCode == 0, qPrintable(converted.output));
        QVERIFY(std::fabs(inspect(output).seconds - 3.0) < 0.1);
    }

    // Quotes, blanks, '#', '?', a leading dash and bytes that are not UTF-8, in and out.
    void awkwardNames()
    {
        QFile tone(m_tone);
        QVERIFY(tone.open(QIODevice::ReadOnly));
        const QByteArray wav = tone.readAll();
        const std::string folder = QFile::encodeName(m_dir.path()).toStdString();
        const std::vector<std::string> names = { "it's \"quoted\".wav", "two  blanks .wav", "#hash.wav", "what?.wav",
            "-leading dash.wav", "caf\xe9 \xff\xfe.wav" };
        for (const std::string &name : names) {
            const std::string input = folder + "/" + name;
            const int fd = ::open(input.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, wav.constData(), size_t(wav.size())), ssize_t(wav.size()));
            ::close(fd);
            const std::string output = folder + "/" + name + " out.flac";
            const Result result = runRaw({ "qzv", "-y", "-i", input, "-t", "2", "-acodec", "flac", output }, kBoundMs);
            QVERIFY2(result.exitCode == 0, qPrintable(QString::fromStdString(name) + result.output));
            struct stat status
            {
            };
            QVERIFY(::stat(output.c_str(), &status) == 0 && status.st_size > 1000);
            QVERIFY(!result.output.contains(u"quoted"_s) && !result.output.contains(u"hash"_s));
            // Qt cannot name the non-UTF-8 ones to remove them later.
            ::unlink(input.c_str());
            ::unlink(output.c_str());
        }
    }

    void refusedOutputs()
    {
        // The input itself as output: refused, the input untouched.
        const QByteArray before = [&] {
            QFile f(m_tone);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        Result result = run(conversionArguments(m_tone, m_tone, {}), kBoundMs);
        QCOMPARE(result.exitCode, 6);
        QVERIFY(result.output.startsWith(u"Error: Incorrect"_s));
        QFile again(m_tone);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), before);

        // An existing output without -y: refused, the old file kept.
        const QString existing = path(u"existing.mp3"_s);
        QFile old(existing);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        result = run({ u"qzv"_s, u"-i"_s, m_tone, existing }, kBoundMs);
        QCOMPARE(result.exitCode, 6);
        QVERIFY(result.output.startsWith(u"Error: Unable"_s));
        QCOMPARE(QFileInfo(existing).size(), 3);

        // A folder that does not exist, and a name that is a folder.
        result = run(conversionArguments(m_tone, path(u"no/such/folder/out.mp3"_s), {}), kBoundMs);
        QVERIFY(result.output.contains(u"Error: Could not"_s));
        QVERIFY(QDir().mkpath(path(u"taken.mp3"_s)));
        result = run(conversionArguments(m_tone, path(u"taken.mp3"_s), {}), kBoundMs);
        QVERIFY(result.output.contains(u"Error: Could not"_s));
        QVERIFY(QFileInfo(path(u"taken.mp3"_s)).isDir());

        // A start past the end of the input.
        result = run(conversionArguments(m_tone, path(u"late.mp3"_s), { u"-ss"_s, u"00:00:05"_s }), kBoundMs);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.output.contains(u"Error: Incorrect"_s));
        QVERIFY(!QFileInfo::exists(path(u"late.mp3"_s)));
        QVERIFY(noLeftovers(m_dir.path()));
    }

    void unknownEncoders_data()
    {
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<QString>("extension");
        QTest::newRow("realaudio") << u"realaudio"_s << u".ra"_s;
        QTest::newRow("wma") << u"wma"_s << u".wma"_s;
        QTest::newRow("wmalossless") << u"wmalossless"_s << u".wma"_s;
        QTest::newRow("empty") << QString() << u".mp3"_s;
        QTest::newRow("made up") << u"speex"_s << u".ogg"_s;
    }
    void unknownEncoders()
    {
        QFETCH(QString, encoder);
        QFETCH(QString, extension);
        const QString output = path(u"refused"_s + extension);
        const Result result = run(conversionArguments(m_tone, output, { u"-acodec"_s, encoder }), kBoundMs);
        QCOMPARE(result.exitCode, 3);
        QCOMPARE(result.output, u"Error: Unknown encoder\n"_s);
        QVERIFY(!QFileInfo::exists(output));
    }

    // A source that stops delivering: the run ends with an error after the stall limit.
    void stalledInputEnds()
    {
        const QString stalling = path(u"stall.wav"_s);
        QVERIFY(QFile::copy(m_tone, stalling));
        ReadGate gate(stalling, 1000, 50, true);
        if (!gate.active())
            QSKIP("holding reads needs fanotify permission events (CAP_SYS_ADMIN)");
        QProcessEnvironment env = environment();
        env.insert(u"SONMILL_STALL_SECONDS"_s, u"1"_s);
        const QString output = path(u"stall.mp3"_s);
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        // Once the audio flows, no read of the input returns any more.
        QString text = startUntilFlowing(process, env, stalling, output);
        gate.hold();
        const bool finished = process.waitForFinished(kBoundMs);
        gate.stop();
        text += QString::fromUtf8(process.readAll());
        QVERIFY(finished);
        QVERIFY2(text.contains(u"Error: Unable to continue"_s), qPrintable(text));
        QVERIFY(process.exitCode() != 0);
        QVERIFY(clock.elapsed() < 8000);
        QVERIFY(!QFileInfo::exists(output));
        QVERIFY(noLeftovers(m_dir.path()));
    }

    // Stopped while converting: nothing under the final name, no temporary file left.
    void stopSignalCleansUp()
    {
        const QString slow = path(u"stopped.wav"_s);
        QVERIFY(QFile::copy(m_tone, slow));
        ReadGate gate(slow, 40, 100, true);
        if (!gate.active())
            QSKIP("pacing reads needs fanotify permission events (CAP_SYS_ADMIN)");
        const QString output = path(u"stopped.mp3"_s);
        QProcess process;
        QString text = startUntilFlowing(process, environment(), slow, output);
        QVERIFY(!QDir(m_dir.path()).entryList({ u".sonmill-*"_s }, QDir::Files | QDir::Hidden).isEmpty());
        process.terminate(); // SIGTERM to our own child
        QVERIFY(process.waitForFinished(kBoundMs));
        gate.stop();
        text += QString::fromUtf8(process.readAll());
        QVERIFY2(text.contains(u"Error: Could not finish"_s), qPrintable(text));
        QVERIFY(!text.contains(u"global"_s));
        QVERIFY(!QFileInfo::exists(output));
        QVERIFY(noLeftovers(m_dir.path()));
    }

    void helpText()
    {
        const Result result = run({ u"--help"_s }, kBoundMs);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.output.contains(u"-qscale"_s));
        QVERIFY(result.output.contains(u"libmp3lame"_s));
    }
};

QTEST_GUILESS_MAIN(TestSonmillText)
#include "tst_sonmilltext.moc"
