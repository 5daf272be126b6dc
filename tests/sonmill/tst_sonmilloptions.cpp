// sonmill's command line, output format choice and channel mixing, without running it.

#include "core/siblingcommands.h"
#include "engine/conversioncommand.h"
#include "media/encodernames.h"
#include "sonmill/audio/channelmixer.h"
#include "sonmill/base/outputformat.h"
#include "sonmill/cli/options.h"
#include "sonmill/tags/tags.h"
#include "testjobs.h"

#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace sonmill;

Q_DECLARE_METATYPE(std::string)

namespace {

// Parses an argument list the way main() receives it.
std::variant<Options, Failure> parse(const QStringList &arguments)
{
    std::vector<std::string> storage { "sonmill" };
    for (const QString &argument : arguments)
        storage.push_back(argument.toStdString());
    std::vector<const char *> argv;
    for (const std::string &s : storage)
        argv.push_back(s.c_str());
    return parseOptions(static_cast<int>(argv.size()), argv.data());
}

TStartRecord mp3Job()
{
    TStartRecord job
        = TestJobs::mp3(u"/music/-my \"song\" #1?.wav"_s, u"/nonexistent-folder/-out put.mp3"_s, u"00:03:25.40"_s);
    job.StartTime = u"00:01:02"_s;
    job.Volume = 250;
    job.SampleRate = u"48000 Hz"_s;
    job.Bitrate = u"192 kbps"_s;
    job.Channels = u"1 Channel Mono"_s;
    return job;
}

constexpr std::int64_t kSecond = 1'000'000'000;

} // namespace

class TestSonmillOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ns"); // -1: refused
        QTest::newRow("time code") << u"00:03:25"_s << qint64(205 * kSecond);
        QTest::newRow("time code with fraction") << u"01:00:00.5"_s << qint64(3600 * kSecond + kSecond / 2);
        QTest::newRow("minutes and seconds") << u"2:05"_s << qint64(125 * kSecond);
        QTest::newRow("probe length") << u"0.001"_s << qint64(1'000'000);
        QTest::newRow("seconds") << u"42"_s << qint64(42 * kSecond);
        QTest::newRow("nanosecond digits kept") << u"1.123456789"_s << qint64(1'123'456'789);
        QTest::newRow("extra digits dropped") << u"1.1234567891"_s << qint64(1'123'456'789);
        QTest::newRow("empty") << QString() << qint64(-1);
        QTest::newRow("negative") << u"-1"_s << qint64(-1);
        QTest::newRow("60 seconds in a clock") << u"00:00:60"_s << qint64(-1);
        QTest::newRow("four fields") << u"1:2:3:4"_s << qint64(-1);
        QTest::newRow("letters") << u"00:0a:00"_s << qint64(-1);
        QTest::newRow("placeholder") << u"--:--:--"_s << qint64(-1);
        QTest::newRow("blank inside") << u"00: 01:00"_s << qint64(-1);
        QTest::newRow("two dots") << u"1.2.3"_s << qint64(-1);
    }
    void timeValues()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ns);
        const auto parsed = parseTimeValue(text.toStdString());
        QCOMPARE(parsed.has_value(), ns >= 0);
        if (parsed)
            QCOMPARE(qint64(*parsed), ns);
    }

    // The line the queue composes for an MP3 job, with every awkward character in the paths.
    void acceptsTheConversionLine()
    {
        TStartRecord job = mp3Job();
        const CommandLine cmd = BuildConversionCommand(job);
        const auto parsed = parse(cmd.arguments);
        QVERIFY(std::holds_alternative<Options>(parsed));
        const Options &o = std::get<Options>(parsed);
        QVERIFY(o.overwrite);
        QCOMPARE(QString::fromStdString(o.input), job.SourcePath);
        QCOMPARE(QString::fromStdString(o.output), job.OutputPath.text());
        QCOMPARE(o.startNs, 62 * kSecond);
        QCOMPARE(o.lengthNs.value_or(-1), 205 * kSecond);
        QCOMPARE(o.volumePercent, 250.0);
        QCOMPARE(o.sampleRate.value_or(0), 48000);
        QCOMPARE(QString::fromStdString(o.encoder.value_or("")), u"libmp3lame"_s);
        QCOMPARE(o.bitrateKbps.value_or(0), 192);
        QCOMPARE(o.quality.value_or(-1), 6.0);
        QCOMPARE(o.channels.value_or(0), 1);
    }

    // Lossless jobs pass copy, then their encoder: the later one counts.
    void laterEncoderWins()
    {
        TStartRecord job = mp3Job();
        job.Lossless = u"True"_s;
        job.AudioCodec = u"flac"_s;
        job.BitrateNot = u"True"_s;
        job.Extension = u".flac"_s;
        job.OutputPath = u"/nowhere/out.flac"_s;
        const CommandLine cmd = BuildConversionCommand(job);
        QVERIFY(cmd.text.contains(u"-acodec  copy"));
        const auto parsed = parse(cmd.arguments);
        QVERIFY(std::holds_alternative<Options>(parsed));
        const Options &o = std::get<Options>(parsed);
        QCOMPARE(QString::fromStdString(o.encoder.value_or("")), u"flac"_s);
        QCOMPARE(o.volumePercent, 100.0); // no -vol in a lossless line
        QVERIFY(!o.sampleRate);
        const auto format = chooseOutputFormat(o.output, o.encoder);
        QVERIFY(std::holds_alternative<OutputFormat>(format));
        QCOMPARE(int(std::get<OutputFormat>(format).codec), int(Codec::Flac));
        QVERIFY(!std::get<OutputFormat>(format).copy);
        QVERIFY(o.copyAmongEncoders);
        QVERIFY(!std::get<OutputFormat>(format).keepsSampleFormat); // FLAC keeps its own way
    }

    // The lossless WAV line: pcm16le counts, but after "copy" the PCM output keeps the
    // input's sample format; without "copy" it is 16-bit.
    void losslessPcmLineKeepsTheSampleFormat()
    {
        TStartRecord job = mp3Job();
        job.Lossless = u"True"_s;
        job.AudioCodec = u"pcm16le"_s;
        job.BitrateNot = u"True"_s;
        job.Extension = u".wav"_s;
        job.OutputPath = u"/nowhere/out.wav"_s;
        const CommandLine lossless = BuildConversionCommand(job);
        QVERIFY(lossless.text.contains(u" -acodec  copy  -acodec  pcm16le"));
        auto parsed = parse(lossless.arguments);
        QVERIFY(std::holds_alternative<Options>(parsed));
        Options o = std::get<Options>(parsed);
        QCOMPARE(QString::fromStdString(o.encoder.value_or("")), u"pcm16le"_s);
        QVERIFY(o.copyAmongEncoders);
        auto format = chooseOutputFormat(o.output, o.encoder, o.copyAmongEncoders);
        QVERIFY(std::holds_alternative<OutputFormat>(format));
        QCOMPARE(int(std::get<OutputFormat>(format).codec), int(Codec::Pcm16));
        QVERIFY(std::get<OutputFormat>(format).keepsSampleFormat);
        QVERIFY(!std::get<OutputFormat>(format).copy);

        job.Lossless = u"False"_s;
        parsed = parse(BuildConversionCommand(job).arguments);
        QVERIFY(std::holds_alternative<Options>(parsed));
        o = std::get<Options>(parsed);
        QVERIFY(!o.copyAmongEncoders);
        format = chooseOutputFormat(o.output, o.encoder, o.copyAmongEncoders);
        QVERIFY(!std::get<OutputFormat>(format).keepsSampleFormat);
    }

    void acceptsTheProbeLine()
    {
        const CommandLine cmd = ProbeCommand(u"/a/-b c.flac"_s, u"/cache/inadd.wav"_s);
        const auto parsed = parse(cmd.arguments);
        QVERIFY(std::holds_alternative<Options>(parsed));
        const Options &o = std::get<Options>(parsed);
        QCOMPARE(o.lengthNs.value_or(-1), qint64(1'000'000));
        QCOMPARE(o.startNs, qint64(0));
        QVERIFY(!o.encoder);
        QCOMPARE(QString::fromStdString(o.output), u"/cache/inadd.wav"_s);
    }

    void refusedLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reasonStart");
        QTest::addColumn<int>("exitCode");
        const int commandLine = int(ExitCode::CommandLine);
        QTest::newRow("no key") << QStringList { u"-i"_s, u"a.wav"_s, u"b.mp3"_s } << u"Incorrect"_s << commandLine;
        QTest::newRow("wrong key") << QStringList { u"qzx"_s, u"-i"_s, u"a.wav"_s, u"b.mp3"_s } << u"Incorrect"_s
                                   << commandLine;
        QTest::newRow("nothing") << QStringList {} << u"Incorrect"_s << commandLine;
        QTest::newRow("unknown option") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-f"_s, u"mp3"_s, u"b.mp3"_s }
                                        << u"Unknown"_s << commandLine;
        QTest::newRow("no input") << QStringList { u"qzv"_s, u"-y"_s, u"b.mp3"_s } << u"Incorrect"_s << commandLine;
        QTest::newRow("value would be the output")
            << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-t"_s, u"b.mp3"_s } << u"Incorrect"_s << commandLine;
        QTest::newRow("empty channels") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-ac"_s, QString(),
            u"b.mp3"_s } << u"Incorrect"_s
                                        << commandLine;
        QTest::newRow("five channels") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-ac"_s, u"5"_s, u"b.mp3"_s }
                                       << u"Incorrect"_s << commandLine;
        QTest::newRow("volume too high") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-vol"_s, u"401"_s,
            u"b.mp3"_s } << u"Incorrect"_s
                                         << commandLine;
        QTest::newRow("negative volume") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-vol"_s, u"-5"_s,
            u"b.mp3"_s } << u"Incorrect"_s
                                         << commandLine;
        QTest::newRow("rate in words") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-ar"_s, u"Auto"_s, u"b.mp3"_s }
                                       << u"Incorrect"_s << commandLine;
        QTest::newRow("bit rate in words") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-ab"_s, u"fast"_s,
            u"b.mp3"_s } << u"Incorrect"_s << commandLine;
        QTest::newRow("quality too high") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-qscale"_s, u"12"_s,
            u"b.mp3"_s } << u"Incorrect"_s << commandLine;
        QTest::newRow("bad start") << QStringList { u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-ss"_s, u"--:--:--"_s, u"b.mp3"_s }
                                   << u"Incorrect"_s << commandLine;
    }
    void refusedLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reasonStart);
        QFETCH(int, exitCode);
        const auto parsed = parse(arguments);
        QVERIFY(std::holds_alternative<Failure>(parsed));
        const Failure failure = std::get<Failure>(parsed);
        QVERIFY2(QString::fromLatin1(failure.reason).startsWith(reasonStart), failure.reason);
        QCOMPARE(int(failure.code), exitCode);
    }

    // A track's tag values: given on the line the queue composes, written in place of the input's.
    void tagValues()
    {
        TStartRecord job = mp3Job();
        job.TagValues = { { u"title"_s, u"Café = \"x\""_s }, { u"track"_s, u"3/12"_s }, { u"disc"_s, u"2"_s },
            { u"album"_s, QString() } };
        const CommandLine cmd = BuildConversionCommand(job);
        QVERIFY2(cmd.text.contains(u"-vn  -tag  \"title=Café = \"x\"\"  -tag  \"track=3/12\""_s), qPrintable(cmd.text));
        const auto parsed = parse(cmd.arguments);
        QVERIFY(std::holds_alternative<Options>(parsed));
        const Options &o = std::get<Options>(parsed);
        QCOMPARE(o.tagValues.size(), std::size_t(4));

        // The values reach main's tag table under their Vorbis comment names.
        TagSet tags;
        tags.set("TITLE", { "From the image" });
        tags.set("ARTIST", { "Kept" });
        tags.set("ALBUM", { "Removed" });
        tags.set("TRACKNUMBER", { "9/9" });
        applyTagValues(tags, o.tagValues);
        QCOMPARE(tags.values("TITLE"), TagSet::Values { "Caf\xc3\xa9 = \"x\"" });
        QCOMPARE(tags.values("ARTIST"), TagSet::Values { "Kept" });
        QVERIFY(tags.values("ALBUM").empty());
        QCOMPARE(tags.values("TRACKNUMBER"), TagSet::Values { "3" });
        QCOMPARE(tags.values("TRACKTOTAL"), TagSet::Values { "12" });
        QCOMPARE(tags.values("DISCNUMBER"), TagSet::Values { "2" });
        QVERIFY(tags.values("DISCTOTAL").empty());

        // An ordinary row's line has none.
        job.TagValues.clear();
        QVERIFY(!BuildConversionCommand(job).text.contains(u"-tag"_s));
    }

    void refusedTagValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("no equals sign") << u"title"_s;
        QTest::newRow("unknown key") << u"mood=calm"_s;
        QTest::newRow("key in capitals") << u"TITLE=x"_s;
        QTest::newRow("track in words") << u"track=three"_s;
        QTest::newRow("track total in words") << u"track=3/x"_s;
        QTest::newRow("negative disc") << u"disc=-1"_s;
    }
    void refusedTagValues()
    {
        QFETCH(QString, value);
        const auto parsed = parse({ u"qzv"_s, u"-i"_s, u"a.wav"_s, u"-tag"_s, value, u"b.mp3"_s });
        QVERIFY(std::holds_alternative<Failure>(parsed));
        QCOMPARE(QString::fromLatin1(std::get<Failure>(parsed).reason), QString::fromLatin1(Failures::kTag.reason));
    }

    void helpNeedsNoKey()
    {
        const auto parsed = parse({ u"--help"_s });
        QVERIFY(std::holds_alternative<Options>(parsed));
        QVERIFY(std::get<Options>(parsed).help);
        const QString help = QString::fromUtf8(helpText());
        QVERIFY(help.contains(u"-qscale"));
        QVERIFY(!help.contains(u"bitrate")); // that word belongs to progress lines only
        QVERIFY(!help.contains(u"global"));
    }

    void outputFormats_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("encoder"); // empty: none given
        QTest::addColumn<int>("container"); // -1: refused
        QTest::addColumn<int>("codec");
        QTest::addColumn<QString>("reasonStart");
        const auto ok = [](const char *name, const char *output, const char *encoder, Container c, Codec k) {
            QTest::newRow(name) << QString::fromLatin1(output) << QString::fromLatin1(encoder) << int(c) << int(k)
                                << QString();
        };
        const auto refused = [](const char *name, const char *output, const char *encoder, const char *reason) {
            QTest::newRow(name) << QString::fromLatin1(output) << QString::fromLatin1(encoder) << -1 << -1
                                << QString::fromLatin1(reason);
        };
        ok("mp3 by library name", "/o/a.mp3", "libmp3lame", Container::Mp3, Codec::Mp3);
        ok("mp3 by profile name", "/o/a.MP3", "mp3", Container::Mp3, Codec::Mp3);
        ok("mp2", "/o/a.mp2", "mp2", Container::Mp2, Codec::Mp2);
        ok("vorbis", "/o/a.ogg", "vorbis", Container::Ogg, Codec::Vorbis);
        ok("flac", "/o/a.flac", "flac", Container::Flac, Codec::Flac);
        ok("adts", "/o/a.aac", "aac", Container::Adts, Codec::Aac);
        ok("mpeg-4", "/o/a.m4a", "aac", Container::Mp4, Codec::Aac);
        ok("wav", "/o/a.wav", "pcm16le", Container::Wav, Codec::Pcm16);
        ok("aiff", "/o/a.aiff", "pcm16be", Container::Aiff, Codec::Pcm16);
        ok("au", "/o/a.au", "pcm16be", Container::Au, Codec::Pcm16);
        ok("ac3", "/o/a.AC3", "ac3", Container::Ac3, Codec::Ac3);
        ok("ac3 by extension", "/o/a.ac3", "", Container::Ac3, Codec::Ac3);
        ok("probe scratch", "/cache/inadd.wav", "", Container::Wav, Codec::Pcm16);
        ok("copy into wav", "/o/a.wav", "copy", Container::Wav, Codec::Pcm16);
        ok("dots in the folder", "/o/x.mp3s/a.flac", "", Container::Flac, Codec::Flac);
        refused("realaudio", "/o/a.ra", "realaudio", "Unknown encoder");
        refused("wma", "/o/a.wma", "wma", "Unknown encoder");
        refused("wma lossless", "/o/a.wma", "wmalossless", "Unknown encoder");
        refused("empty encoder", "/o/a.mp3", "-", "Unknown encoder");
        refused("made-up encoder", "/o/a.mp3", "lame9", "Unknown encoder");
        refused("unknown extension", "/o/a.xyz", "mp3", "Unknown output format");
        refused("no extension", "/o/mp3", "", "Unknown output format");
        refused("mp3 into ogg", "/o/a.ogg", "mp3", "Incorrect encoder");
        refused("pcm into mp3", "/o/a.mp3", "pcm16le", "Incorrect encoder");
        refused("ac3 into mp3", "/o/a.mp3", "ac3", "Incorrect encoder");
    }
    void outputFormats()
    {
        QFETCH(QString, output);
        QFETCH(QString, encoder);
        QFETCH(int, container);
        QFETCH(int, codec);
        QFETCH(QString, reasonStart);
        std::optional<std::string> name;
        if (encoder == u"-")
            name = std::string();
        else if (!encoder.isEmpty())
            name = encoder.toStdString();
        const auto format = chooseOutputFormat(output.toStdString(), name);
        if (container < 0) {
            QVERIFY(std::holds_alternative<Failure>(format));
            QVERIFY(QString::fromLatin1(std::get<Failure>(format).reason).startsWith(reasonStart));
            return;
        }
        QVERIFY(std::holds_alternative<OutputFormat>(format));
        QCOMPARE(int(std::get<OutputFormat>(format).container), container);
        QCOMPARE(int(std::get<OutputFormat>(format).codec), codec);
        QCOMPARE(std::get<OutputFormat>(format).copy, encoder == u"copy");
    }

    // The table the catalogue is checked against is the one the transcoder obeys.
    void everyTableNameIsHandled()
    {
        for (const EncoderNames::Encoder &encoder : EncoderNames::kAll)
            QVERIFY2(codecForEncoderName(encoder.name).has_value() == encoder.available, encoder.name.data());
    }

    void rates_data()
    {
        QTest::addColumn<int>("codec");
        QTest::addColumn<int>("asked"); // 0: none
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("expected"); // 0: refused
        QTest::newRow("mp3 asked") << int(Codec::Mp3) << 22050 << 44100 << 22050;
        QTest::newRow("mp3 asked unsupported") << int(Codec::Mp3) << 96000 << 44100 << 0;
        QTest::newRow("mp3 keeps input") << int(Codec::Mp3) << 0 << 32000 << 32000;
        QTest::newRow("mp3 nearest to 96k") << int(Codec::Mp3) << 0 << 96000 << 48000;
        QTest::newRow("mp2 nearest to 11025") << int(Codec::Mp2) << 0 << 11025 << 16000;
        QTest::newRow("aac 96k") << int(Codec::Aac) << 96000 << 44100 << 96000;
        QTest::newRow("flac any") << int(Codec::Flac) << 0 << 176400 << 176400;
        QTest::newRow("ac3 asked 44.1k") << int(Codec::Ac3) << 44100 << 48000 << 44100;
        QTest::newRow("ac3 asked unsupported") << int(Codec::Ac3) << 22050 << 48000 << 0;
        QTest::newRow("ac3 nearest to 96k") << int(Codec::Ac3) << 0 << 96000 << 48000;
        QTest::newRow("ac3 nearest to 22050") << int(Codec::Ac3) << 0 << 22050 << 32000;
        QTest::newRow("pcm asked odd rate") << int(Codec::Pcm16) << 12345 << 44100 << 12345;
    }
    void rates()
    {
        QFETCH(int, codec);
        QFETCH(int, asked);
        QFETCH(int, input);
        QFETCH(int, expected);
        const auto rate = chooseRate(Codec(codec), asked ? std::optional<int>(asked) : std::nullopt, input);
        QCOMPARE(std::holds_alternative<int>(rate), expected != 0);
        if (expected)
            QCOMPARE(std::get<int>(rate), expected);
    }

    void channelCounts_data()
    {
        QTest::addColumn<int>("codec");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("expected"); // 0: refused
        QTest::newRow("mp3 5.1 asked") << int(Codec::Mp3) << 6 << 2 << 0;
        QTest::newRow("mp3 5.1 input") << int(Codec::Mp3) << 0 << 6 << 2;
        QTest::newRow("aac 5.1 asked") << int(Codec::Aac) << 6 << 2 << 0;
        QTest::newRow("vorbis 5.1") << int(Codec::Vorbis) << 6 << 2 << 6;
        QTest::newRow("vorbis keeps no odd layout") << int(Codec::Vorbis) << 0 << 4 << 2;
        QTest::newRow("ac3 5.1 asked") << int(Codec::Ac3) << 6 << 2 << 6;
        QTest::newRow("ac3 keeps 5.1") << int(Codec::Ac3) << 0 << 6 << 6;
        QTest::newRow("ac3 folds four to stereo") << int(Codec::Ac3) << 0 << 4 << 2;
        QTest::newRow("ac3 folds 7.1 to 5.1") << int(Codec::Ac3) << 0 << 8 << 6;
        QTest::newRow("flac keeps four") << int(Codec::Flac) << 0 << 4 << 4;
        QTest::newRow("pcm mono") << int(Codec::Pcm16) << 1 << 6 << 1;
    }
    void channelCounts()
    {
        QFETCH(int, codec);
        QFETCH(int, asked);
        QFETCH(int, input);
        QFETCH(int, expected);
        const auto channels = chooseChannels(Codec(codec), asked ? std::optional<int>(asked) : std::nullopt, input);
        QCOMPARE(std::holds_alternative<int>(channels), expected != 0);
        if (expected)
            QCOMPARE(std::get<int>(channels), expected);
    }

    void mixing()
    {
        using P = GstAudioChannelPosition;
        const std::vector<P> mono { GST_AUDIO_CHANNEL_POSITION_MONO };
        const std::vector<P> stereo { GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT };
        const std::vector<P> surround { GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT,
            GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, GST_AUDIO_CHANNEL_POSITION_LFE1,
            GST_AUDIO_CHANNEL_POSITION_REAR_LEFT, GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT };

        const ChannelMixer duplicate(mono, 2);
        const float in[2] = { 0.5f, -0.25f };
        float out[4];
        duplicate.mix(in, out, 2);
        QCOMPARE(out[0], 0.5f);
        QCOMPARE(out[1], 0.5f);
        QCOMPARE(out[3], -0.25f);

        const ChannelMixer average(stereo, 1);
        const float pair[2] = { 1.0f, 0.0f };
        average.mix(pair, out, 1);
        QCOMPARE(out[0], 0.5f);

        // 5.1 to stereo: centre and surrounds at -3 dB, LFE left out, scaled so a full
        // left, centre and left surround together just reach full scale.
        const ChannelMixer fold(surround, 2);
        const float scale = 1.0f / (1.0f + 2 * 0.70710678f);
        QVERIFY(std::fabs(fold.weight(0, 0) - scale) < 1e-6f);
        QCOMPARE(fold.weight(0, 1), 0.0f);
        QVERIFY(std::fabs(fold.weight(0, 2) - 0.70710678f * scale) < 1e-6f);
        QVERIFY(std::fabs(fold.weight(1, 2) - 0.70710678f * scale) < 1e-6f);
        QCOMPARE(fold.weight(0, 3), 0.0f);
        QCOMPARE(fold.weight(1, 3), 0.0f);
        QVERIFY(std::fabs(fold.weight(0, 4) - 0.70710678f * scale) < 1e-6f);
        QCOMPARE(fold.weight(1, 4), 0.0f);
        const float loud[6] = { 1, -1, 1, 1, 1, -1 };
        fold.mix(loud, out, 1);
        QVERIFY(std::fabs(out[0]) <= 1.0f + 1e-6f);
        QVERIFY(std::fabs(out[1]) <= 1.0f + 1e-6f);

        const ChannelMixer upmix(stereo, 6);
        QCOMPARE(upmix.weight(0, 0), 1.0f);
        QCOMPARE(upmix.weight(1, 1), 1.0f);
        for (int o = 2; o < 6; ++o)
            QCOMPARE(upmix.weight(o, 0) + upmix.weight(o, 1), 0.0f);
        const ChannelMixer centre(mono, 6);
        QCOMPARE(centre.weight(2, 0), 1.0f);
        QCOMPARE(centre.weight(0, 0), 0.0f);

        QVERIFY(ChannelMixer(surround, 6).passThrough());
        QVERIFY(ChannelMixer(stereo, 2).passThrough());
        QVERIFY(!ChannelMixer(mono, 2).passThrough());
    }
};

QTEST_GUILESS_MAIN(TestSonmillOptions)
#include "tst_sonmilloptions.moc"
