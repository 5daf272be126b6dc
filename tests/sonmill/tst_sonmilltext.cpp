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
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace SonmillRun;

namespace {

constexpr int kRate = 44100;
constexpr int kBoundMs = 20000; // every run, good or bad, ends well within this

double tone(qint64 frame)
{
    return 0.5 * std::sin(2 * M_PI * 440.0 * double(frame) / kRate);
}

// Feeds a file into a named pipe slowly, as a stalled or slow source would.
class PipeFeeder
{
public:
    // Writes the first `bytes` of data in chunks every intervalMs, then (when hold is
    // set) keeps the pipe open without writing until stop().
    PipeFeeder(const QString &fifo, QByteArray data, qsizetype bytes, int chunks, int intervalMs, bool hold)
    {
        m_thread = std::thread([=, this] {
            int fd = -1;
            for (int tries = 0; fd < 0 && tries < 200 && !m_stop; ++tries) {
                fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                if (fd < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
            if (fd < 0)
                return;
            ::fcntl(fd, F_SETFL, 0);
            const qsizetype chunk = (bytes + chunks - 1) / chunks;
            for (qsizetype at = 0; at < bytes && !m_stop; at += chunk) {
                if (::write(fd, data.constData() + at, size_t(std::min(chunk, bytes - at))) < 0)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
            }
            while (hold && !m_stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::close(fd);
        });
    }
    ~PipeFeeder() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

} // namespace

class TestSonmillText : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tone; // 3 s stereo

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        std::signal(SIGPIPE, SIG_IGN); // a feeder whose reader ended must not end the test
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
                QCOMPARE(line, u"Duration: 00:00:04.64"_s); // 200 buffers of 1024 samples
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
        const QString fifo = path(u"slow.wav"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QFile wav(m_tone);
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const QByteArray data = wav.readAll();
        PipeFeeder feeder(fifo, data, data.size(), 25, 100, false); // about 2.5 s

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
        process.start(sonmillPath(), conversionArguments(fifo, path(u"slow.mp3"_s), {}));
        QVERIFY(process.waitForFinished(kBoundMs));
        feeder.stop();
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
        QTest::newRow("made up") << u"opus"_s << u".ogg"_s;
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
        const QString fifo = path(u"stall.wav"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QFile wav(m_tone);
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const QByteArray data = wav.readAll();
        PipeFeeder feeder(fifo, data, data.size() / 3, 3, 50, true); // a third, then silence
        QProcessEnvironment env = environment();
        env.insert(u"SONMILL_STALL_SECONDS"_s, u"1"_s);
        const QString output = path(u"stall.mp3"_s);
        const Result result = run(conversionArguments(fifo, output, {}), kBoundMs, env);
        feeder.stop();
        QVERIFY(result.finished);
        QVERIFY2(result.output.contains(u"Error: Unable to continue"_s), qPrintable(result.output));
        QVERIFY(result.exitCode != 0);
        QVERIFY(result.milliseconds < 8000);
        QVERIFY(!QFileInfo::exists(output));
        QVERIFY(noLeftovers(m_dir.path()));
    }

    // Stopped while converting: nothing under the final name, no temporary file left.
    void stopSignalCleansUp()
    {
        const QString fifo = path(u"stopped.wav"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QFile wav(m_tone);
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const QByteArray data = wav.readAll();
        PipeFeeder feeder(fifo, data, data.size(), 40, 100, true);
        const QString output = path(u"stopped.mp3"_s);
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(sonmillPath(), conversionArguments(fifo, output, {}));
        QVERIFY(process.waitForStarted());
        QString text;
        QElapsedTimer clock;
        clock.start();
        while (!text.contains(u"time="_s) && clock.elapsed() < kBoundMs) {
            process.waitForReadyRead(100);
            text += QString::fromUtf8(process.readAll());
        }
        QVERIFY(!QDir(m_dir.path()).entryList({ u".sonmill-*"_s }, QDir::Files | QDir::Hidden).isEmpty());
        process.terminate(); // SIGTERM to our own child
        QVERIFY(process.waitForFinished(kBoundMs));
        feeder.stop();
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
