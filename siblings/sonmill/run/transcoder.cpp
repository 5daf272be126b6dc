#include "sonmill/run/transcoder.h"

#include "media/gstsetup.h"
#include "sonmill/run/loudnessscan.h"
#include "sonmill/run/streamcopy.h"
#include "sonmill/tags/opusgain.h"
#include "sonmill/tags/outputtags.h"
#include "sonmill/tags/tagwriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sonmill {
namespace {

constexpr double kNsPerSecond = 1e9;

std::uint64_t framesAt(std::int64_t ns, int rate)
{
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(ns) * rate / kNsPerSecond));
}

std::int64_t nsOf(std::uint64_t frames, int rate)
{
    return static_cast<std::int64_t>(static_cast<double>(frames) * kNsPerSecond / rate);
}

// The sample size a lossless output keeps: the decoder's own integer resolution (16, 24
// or 32 bits) or float; decoders of lossy formats give float, which 16 bits carry.
struct Resolution
{
    int bits;
    bool isFloat;
};
Resolution decodedResolution(GstAudioFormat format)
{
    const GstAudioFormatInfo *info = gst_audio_format_get_info(format);
    if (!info || format == GST_AUDIO_FORMAT_UNKNOWN)
        return { 16, false };
    if (GST_AUDIO_FORMAT_INFO_IS_FLOAT(info))
        return { 32, true };
    const int depth = GST_AUDIO_FORMAT_INFO_DEPTH(info);
    return { depth > 24 ? 32 : (depth > 16 ? 24 : 16), false };
}

// The limiter's ceiling: -1 dBTP less what may be added on the way to a meter that is not
// ours. Its interpolation differs from our detector's by up to a few tenths of a dB on noise
// that reaches the Nyquist frequency, and a lossy encoder's coding noise lifts the peaks of
// what it decodes to.
double ceilingDbtp(Codec codec)
{
    constexpr double kTarget = -1.0;
    constexpr double kLosslessMargin = 0.3;
    constexpr double kLossyMargin = 1.0;
    const bool lossless = codec == Codec::Pcm16 || codec == Codec::Flac || codec == Codec::Alac;
    return kTarget - (lossless ? kLosslessMargin : kLossyMargin);
}

double linear(double db)
{
    return std::pow(10.0, db / 20.0);
}

} // namespace

Transcoder::Transcoder(const Options &options, Console &console, std::chrono::milliseconds stallLimit)
    : m_options(options)
    , m_console(console)
    , m_stallLimit(stallLimit)
{ }

std::optional<Failure> Transcoder::run()
{
    auto format = chooseOutputFormat(m_options.output, m_options.encoder, m_options.copyAmongEncoders);
    if (auto *failure = std::get_if<Failure>(&format))
        return *failure;
    m_format = std::get<OutputFormat>(format);

    if (auto failure = checkInput())
        return failure;
    if (auto failure = TemporaryOutput::check(m_options.input, m_options.output, m_options.overwrite))
        return failure;

    media::initialiseGStreamer(nullptr, nullptr);
    // A probe reads a millisecond: decoding ahead would only cost it time.
    constexpr std::int64_t kShortRunNs = 100'000'000;
    m_shortRun = m_options.lengthNs && *m_options.lengthNs < kShortRunNs;
    // FLAC and ALAC at full volume may take 16-bit input as it is (see Source::start).
    const bool keepSixteenBits = (m_format.codec == Codec::Flac || m_format.codec == Codec::Alac)
        && m_options.volumePercent == 100.0 && !m_options.normalizeLufs;
    auto opened = Source::open(m_options.input, m_stallLimit, m_shortRun,
        keepSixteenBits ? Source::Samples::KeepSixteenBits : Source::Samples::Float);
    if (auto *failure = std::get_if<Failure>(&opened))
        return *failure;
    m_source = std::move(std::get<std::unique_ptr<Source>>(opened));

    std::optional<std::int64_t> duration = m_source->info().durationNs;
    if (!duration) {
        auto scanned = scanDecodedDuration();
        if (auto *failure = std::get_if<Failure>(&scanned))
            return *failure;
        duration = std::get<std::optional<std::int64_t>>(scanned);
    }
    m_durationNs = duration;
    if (duration)
        m_console.duration(*duration);
    if (duration && m_options.startNs > 0 && m_options.startNs >= *duration)
        return Failures::kStartBeyondEnd;

    if (copiesStream(duration))
        return copyStream();
    if (auto failure = settleFormat())
        return failure;
    if (m_options.normalizeLufs) {
        if (auto failure = measureForNormalize())
            return failure;
    }
    if (auto failure = convert())
        return failure;
    if (auto failure = finishEncoding())
        return failure;
    if (m_options.normalizeLufs) {
        if (auto failure = settleNormalizedLevel())
            return failure;
    }
    return finishOutput();
}

// "copy" keeps a coded stream as it is when the output holds its coding and nothing
// asked for changes it; a range is cut from frame files only.
bool Transcoder::copiesStream(std::optional<std::int64_t> duration) const
{
    const SourceInfo &in = m_source->info();
    if (!m_format.copy || !StreamCopy::canCopy(in.coded, m_format.container))
        return false;
    const bool unchanged = (!m_options.sampleRate || *m_options.sampleRate == in.rate)
        && (!m_options.channels || *m_options.channels == in.channels) && m_options.volumePercent == 100.0
        && !m_options.normalizeLufs;
    const bool whole
        = m_options.startNs == 0 && (!m_options.lengthNs || (duration && *m_options.lengthNs >= *duration));
    return unchanged && (whole || StreamCopy::canTrim(m_format.container));
}

std::optional<Failure> Transcoder::copyStream()
{
    const SourceInfo &in = m_source->info();
    TagSet tags = outputTags(false);
    const CodedAudio coded = in.coded;
    const int rate = in.rate;
    m_settings.channels = in.channels;
    m_console.streams(in.rate, in.channels, in.rate, in.channels);
    m_source.reset(); // the copy reads the file with a pipeline of its own

    if (auto failure = m_output.create(m_options.output, m_options.overwrite))
        return failure;
    m_console.progress(0, 0, true);
    // A member, like the source: after a stall its threads may never return, and main
    // leaves without tearing it down.
    m_copy = std::make_unique<StreamCopy>(m_console, m_stallLimit);
    if (auto failure = m_copy->run(
            m_options.input, m_output.path(), m_format.container, coded, m_options.startNs, m_options.lengthNs))
        return failure;
    // The copied stream is measured as it decodes, the input whole.
    if (m_options.writesReplayGain()) {
        auto measured = measureWholeInput(m_options.input, m_stallLimit, m_measure);
        if (auto *failure = std::get_if<Failure>(&measured))
            return *failure;
        const Loudness loudness = std::get<Loudness>(measured);
        m_console.loudness(loudness);
        addReplayGain(tags, loudness);
    }
    if (auto failure = writeTags(m_output.path(), m_format.container, tags))
        return failure;
    const std::uint64_t bytes = fileSizeOf(m_output.path());
    if (auto failure = verifyOutput(framesAt(m_copy->copiedNs(), rate), rate, bytes))
        return failure;
    if (auto failure = m_output.commit())
        return failure;
    m_console.progress(m_copy->copiedNs(), bytes, true);
    m_console.summary(m_copy->copiedNs(), bytes);
    return std::nullopt;
}

// Read while the source is open: tags the demuxers sent late (after the first audio) are
// part of its set by then, for the sources the tag library does not know.
TagSet Transcoder::outputTags(bool reencoded) const
{
    TagSet tags = sourceTags(m_options.input, m_source ? m_source->info().tags.get() : nullptr);
    // The window gives lengths in whole seconds: a range from the start that ends less than
    // a second before the end is the whole file as the user chose it.
    constexpr std::int64_t kSecondNs = 1'000'000'000;
    const bool whole = m_options.startNs == 0
        && (!m_options.lengthNs || (m_durationNs && *m_options.lengthNs + kSecondNs > *m_durationNs));
    // Normalising changes the level as a volume does: the source's loudness values no
    // longer describe it (ours are set afterwards).
    const bool levelChanged = m_options.volumePercent != 100.0 || m_options.normalizeLufs.has_value();
    fitTagsToOutput(tags, { levelChanged, !whole, reencoded }, m_options.tagValues);
    if (m_format.container == Container::Opus)
        OpusGain::fitTags(tags);
    return tags;
}

std::optional<Failure> Transcoder::checkInput() const
{
    struct stat status = {};
    if (::stat(m_options.input.c_str(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Failures::kInputMissing : Failures::kInputUnreadable;
    if (S_ISDIR(status.st_mode))
        return Failures::kInputFolder;
    if (::access(m_options.input.c_str(), R_OK) != 0)
        return Failures::kInputUnreadable;
    // A pipe, socket or device would block the first read (or never end) before any
    // watchdog runs.
    if (!S_ISREG(status.st_mode))
        return Failures::kInputNotRegular;
    if (status.st_size == 0)
        return Failures::kInputEmpty;
    return std::nullopt;
}

// Some containers do not say how long they are: decode once, counting, to find out. A
// stall ends the run; any other failure leaves the length unknown (the conversion will
// meet the same failure and say so).
std::variant<std::optional<std::int64_t>, Failure> Transcoder::scanDecodedDuration()
{
    auto opened = Source::open(m_options.input, m_stallLimit);
    if (auto *failure = std::get_if<Failure>(&opened))
        return failure->code == ExitCode::Stalled ? std::variant<std::optional<std::int64_t>, Failure>(*failure)
                                                  : std::nullopt;
    m_scan = std::move(std::get<std::unique_ptr<Source>>(opened));
    if (m_scan->start())
        return std::nullopt;
    std::uint64_t frames = 0;
    while (true) {
        auto next = m_scan->next();
        if (auto *failure = std::get_if<Failure>(&next)) {
            if (failure->code == ExitCode::Stalled)
                return *failure;
            return std::nullopt;
        }
        const DecodedBlock &block = std::get<DecodedBlock>(next);
        if (block.frameCount() == 0)
            break;
        frames += block.frameCount();
    }
    const int rate = m_scan->info().rate;
    m_scan.reset();
    return nsOf(frames, rate);
}

std::optional<Failure> Transcoder::settleFormat()
{
    const SourceInfo &in = m_source->info();
    auto rate = chooseRate(m_format.codec, m_options.sampleRate, in.rate);
    if (auto *failure = std::get_if<Failure>(&rate))
        return *failure;
    auto channels = chooseChannels(m_format.codec, m_options.channels, in.channels);
    if (auto *failure = std::get_if<Failure>(&channels))
        return *failure;

    m_settings.format = m_format;
    m_settings.rate = std::get<int>(rate);
    m_settings.channels = std::get<int>(channels);
    m_settings.kbps = m_options.bitrateKbps;
    m_settings.quality = m_options.quality;
    const Resolution resolution = decodedResolution(in.decodedFormat);
    if (m_format.codec == Codec::Flac || m_format.codec == Codec::Alac) {
        // FLAC and ALAC keep an input's 24 bits (lossless means lossless); 32-bit and float
        // inputs get 24 too, the most FLAC decoders take.
        m_settings.bits = resolution.isFloat ? 16 : std::min(resolution.bits, 24);
    } else if (m_format.keepsSampleFormat) {
        // "copy" into WAV, AIFF or AU keeps the samples as the input has them, also when
        // the profile's PCM encoder was named after it (a lossless profile's line).
        m_settings.bits = resolution.bits;
        m_settings.floatSamples = resolution.isFloat;
    }
    m_chain = makeChain();
    if (!m_chain->valid())
        return Failures::kModule;
    m_console.streams(in.rate, in.channels, m_settings.rate, m_settings.channels);
    if (m_options.normalizeLufs && m_options.volumePercent != 100.0)
        m_console.volumeIgnored();
    return std::nullopt;
}

// Normalising sets the volume aside and leaves the peaks to the limiter, unclipped.
std::unique_ptr<AudioChain> Transcoder::makeChain() const
{
    const SourceInfo &in = m_source->info();
    const bool normalize = m_options.normalizeLufs.has_value();
    const bool fromIntegers = !decodedResolution(in.decodedFormat).isFloat;
    return std::make_unique<AudioChain>(in.positions, m_settings.channels, in.rate, m_settings.rate,
        normalize ? 1.0 : m_options.volumePercent / 100.0, fromIntegers, !normalize);
}

// Bare MP3, ADTS and AC-3 streams have no index: a seek in them lands by an estimate of
// the bit rate, and so do their timestamps. Reading them from the start and dropping up
// to the start point is exact (and decoding them is fast).
std::variant<bool, Failure> Transcoder::seekToStart(Source &source)
{
    if (source.info().elementary || m_options.startNs <= 0)
        return false;
    return source.seek(m_options.startNs);
}

std::variant<Loudness, Failure> Transcoder::measurePass(std::optional<double> limitedGainDb)
{
    auto opened = Source::open(m_options.input, m_stallLimit);
    if (auto *failure = std::get_if<Failure>(&opened))
        return *failure;
    m_measure = std::move(std::get<std::unique_ptr<Source>>(opened));
    auto sought = seekToStart(*m_measure);
    if (auto *failure = std::get_if<Failure>(&sought))
        return *failure;
    std::unique_ptr<AudioChain> chain = makeChain();
    if (!chain->valid())
        return Failures::kModule;
    if (auto failure = m_measure->start(std::move(chain)))
        return *failure;
    LoudnessMeter meter(m_settings.channels, m_settings.rate);
    if (!meter.valid())
        return Failures::kLoudness;
    std::unique_ptr<TruePeakLimiter> limiter;
    if (limitedGainDb)
        limiter = std::make_unique<TruePeakLimiter>(
            m_settings.channels, m_settings.rate, linear(*limitedGainDb), linear(m_ceilingDb));

    // Nothing is written yet: the progress lines hold the position at 0.
    const auto keepReporting = [this] { m_console.progress(0, 0); };
    const auto channels = static_cast<std::size_t>(m_settings.channels);
    bool anyAudio = false;
    auto failure = readRange(
        *m_measure, std::get<bool>(sought),
        [&](const DecodedBlock &block, std::size_t skip, std::size_t count) -> std::optional<Failure> {
            const float *frames = block.frames() + skip * channels;
            if (limiter) {
                const std::span<const float> limited = limiter->process(frames, count);
                meter.add(limited.data(), limited.size() / channels);
            } else {
                meter.add(frames, count);
            }
            keepReporting();
            return std::nullopt;
        },
        keepReporting, anyAudio);
    if (failure)
        return *failure;
    if (limiter) {
        const std::span<const float> tail = limiter->flush();
        meter.add(tail.data(), tail.size() / channels);
    }
    m_measure.reset();
    return meter.result();
}

std::optional<Failure> Transcoder::measureForNormalize()
{
    auto first = measurePass(std::nullopt);
    if (auto *failure = std::get_if<Failure>(&first))
        return *failure;
    m_sourceLoudness = std::get<Loudness>(first);
    m_console.loudness(m_sourceLoudness, "Source loudness");
    m_ceilingDb = ceilingDbtp(m_format.codec);
    if (auto failure = findNormalizeGain(*m_options.normalizeLufs))
        return failure;
    m_console.normalizeGain(m_normalizeGainDb, *m_options.normalizeLufs);
    return std::nullopt;
}

// The gain that brings what goes into the encoder to target, with the limiter at
// m_ceilingDb. Where the limiter will take the peaks down, it takes some loudness with
// them: a few more decoding passes (no encoding) find the gain that lands on the target
// with it, stepping along the line through the last two tries.
std::optional<Failure> Transcoder::findNormalizeGain(double target)
{
    const Loudness &measured = m_sourceLoudness;
    // Silence, or less than a gating block, has no loudness to bring anywhere.
    m_normalizeGainDb = measured.integratedLufs ? target - *measured.integratedLufs : 0.0;
    if (!measured.integratedLufs || measured.truePeak * linear(m_normalizeGainDb) <= linear(m_ceilingDb))
        return std::nullopt;
    constexpr int kMaxTries = 4;
    constexpr double kCloseEnough = 0.1;
    constexpr double kMostExtraGain = 20.0;
    const double plainGain = m_normalizeGainDb;
    double slope = 1.0;
    std::optional<std::pair<double, double>> previous; // gain tried, loudness it gave
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
        auto pass = measurePass(m_normalizeGainDb);
        if (auto *failure = std::get_if<Failure>(&pass))
            return *failure;
        const std::optional<double> loudness = std::get<Loudness>(pass).integratedLufs;
        if (!loudness)
            break;
        const double miss = target - *loudness;
        if (std::fabs(miss) < kCloseEnough)
            break;
        if (previous && std::fabs(m_normalizeGainDb - previous->first) > 1e-6)
            slope = std::clamp((*loudness - previous->second) / (m_normalizeGainDb - previous->first), 0.1, 1.0);
        previous = std::pair { m_normalizeGainDb, *loudness };
        m_normalizeGainDb = std::min(m_normalizeGainDb + miss / slope, plainGain + kMostExtraGain);
    }
    return std::nullopt;
}

// -normalize, after encoding: a lossy encoder changes the level (its low-pass takes
// loudness away, its coding noise lifts the peaks), so the encoded file is decoded and
// measured as a player would hear it. When it missed the target, or its true peak stands
// above the ceiling, it is encoded once more with the gain and the limiter's ceiling moved
// by what the encoder changed (which holds closely for a change of a few dB). A lossless
// output decodes to the very samples that went in: what the meter saw is what plays.
std::optional<Failure> Transcoder::settleNormalizedLevel()
{
    if (losslessWords(m_settings))
        return std::nullopt;
    constexpr int kMostCorrections = 2;
    // Within this of the target nothing is encoded again; the outside meters we compare
    // with read the same decoded samples within a few hundredths.
    constexpr double kCloseEnoughLu = 0.25;
    // Our detector's reading may lie a little under another meter's on the same samples.
    constexpr double kDecodedPeakMargin = 0.2;
    constexpr double kTargetDbtp = -1.0;
    const double target = *m_options.normalizeLufs;
    for (int correction = 0;; ++correction) {
        const std::int64_t position = nsOf(m_outputFrames, m_settings.rate);
        const std::uint64_t bytes = m_encodedBytes;
        // Decoded as it is: an Opus file plays at 48 kHz whatever went in.
        auto measured
            = measureWholeInput(m_output.path(), m_stallLimit, m_measure, [&] { m_console.progress(position, bytes); });
        if (auto *failure = std::get_if<Failure>(&measured))
            return *failure;
        const Loudness decoded = std::get<Loudness>(measured);
        m_decodedLoudness = decoded;
        const Loudness encoded = m_meter ? m_meter->result() : Loudness {};
        if (!decoded.integratedLufs || !encoded.integratedLufs || correction == kMostCorrections)
            return std::nullopt;
        const double miss = target - *decoded.integratedLufs;
        const double peakExcess = decibels(decoded.truePeak) - (kTargetDbtp - kDecodedPeakMargin);
        if (std::fabs(miss) <= kCloseEnoughLu && peakExcess <= 0)
            return std::nullopt;

        // What the encoder took off (or added) stays; the level that goes in moves by it.
        const double encoderChange = *decoded.integratedLufs - *encoded.integratedLufs;
        if (peakExcess > 0)
            m_ceilingDb -= peakExcess;
        if (auto failure = findNormalizeGain(target - encoderChange))
            return failure;
        m_console.normalizeGain(m_normalizeGainDb, target);

        m_output.discard();
        m_outputFrames = 0;
        auto opened = Source::open(m_options.input, m_stallLimit);
        if (auto *failure = std::get_if<Failure>(&opened))
            return *failure;
        m_source = std::move(std::get<std::unique_ptr<Source>>(opened));
        m_chain = makeChain();
        if (!m_chain->valid())
            return Failures::kModule;
        if (auto failure = convert())
            return failure;
        if (auto failure = finishEncoding())
            return failure;
    }
}

std::optional<Failure> Transcoder::readRange(
    Source &source, bool seeked, const FrameSink &sink, const std::function<void()> &whileWaiting, bool &anyAudio)
{
    const int rate = m_settings.rate;
    const std::uint64_t startFrame = framesAt(m_options.startNs, rate);
    std::optional<std::uint64_t> wanted;
    if (m_options.lengthNs)
        wanted = framesAt(*m_options.lengthNs, rate);

    // After a seek, frames are counted from where the first block says it starts, so the
    // trim is exact to the sample wherever the seek landed. Read from the start, they are
    // counted from the first one (a decoder that drops its run-in stamps the first block
    // later than the start).
    std::optional<std::uint64_t> position;
    std::uint64_t taken = 0;
    while (!wanted || taken < *wanted) {
        auto next = source.next(whileWaiting);
        if (auto *failure = std::get_if<Failure>(&next))
            return *failure;
        const DecodedBlock &block = std::get<DecodedBlock>(next);
        if (block.frameCount() == 0)
            break;
        anyAudio = true;
        if (!position)
            position = seeked && block.streamTimeNs() ? framesAt(*block.streamTimeNs(), rate) : 0;

        const std::uint64_t skip
            = startFrame > *position ? std::min<std::uint64_t>(startFrame - *position, block.frameCount()) : 0;
        std::uint64_t count = block.frameCount() - skip;
        if (wanted)
            count = std::min(count, *wanted - taken);
        *position += block.frameCount();
        if (count == 0)
            continue;
        if (auto failure = sink(block, skip, count))
            return failure;
        taken += count;
    }
    return std::nullopt;
}

std::optional<Failure> Transcoder::writeFrames(const float *frames, std::size_t count)
{
    if (count == 0)
        return std::nullopt;
    if (m_meter)
        m_meter->add(frames, count);
    if (m_digest)
        m_digest->addFloats(frames, count * static_cast<std::size_t>(m_settings.channels));
    if (!m_encoder->write(frames, count))
        return m_encoder->outputFailed() ? withSystemError(Failures::kWrite, m_encoder->outputError())
                                         : Failures::kEncode;
    m_outputFrames += count;
    reportProgress();
    return std::nullopt;
}

// An encoding done again for -normalize starts from the beginning; the console holds the
// position the first one reached until it passes it.
void Transcoder::reportProgress(bool force)
{
    m_console.progress(nsOf(m_outputFrames, m_settings.rate), m_encoder->bytesWritten(), force);
}

namespace {

// Room for the four ReplayGain fields ours adds to a FLAC output's tags.
constexpr std::size_t kReplayGainRoom = 256;

std::string gainText(double db)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", db);
    return text;
}

std::string peakText(double peak)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return text;
}

} // namespace

// Gains in dB against -18 LUFS, peaks linear (true peak, 1.0 is full scale); the tag
// table puts them in each format's own place. Opus keeps R128 gains only (opusgain.h).
void Transcoder::addReplayGain(TagSet &tags, const Loudness &measured) const
{
    if (!m_options.writesReplayGain())
        return;
    // The source's own loudness fields (an old reference level such as "89.0 dB", an album
    // gain of another grouping) would contradict the values measured here.
    tags.removeRole(TagRole::Loudness);
    const bool opus = m_format.container == Container::Opus;
    if (opus) {
        OpusGain::setTrackGain(tags, measured.integratedLufs);
        if (m_options.albumGainDb && m_options.albumPeak)
            OpusGain::setAlbumGain(tags, *m_options.albumGainDb);
    }
    // Silence, or less than a gating block, gets no track gain.
    if (measured.integratedLufs) {
        const double gainDb = kReplayGainReference - *measured.integratedLufs;
        if (!opus) {
            tags.set("REPLAYGAIN_TRACK_GAIN", { gainText(gainDb) });
            tags.set("REPLAYGAIN_TRACK_PEAK", { peakText(measured.truePeak) });
        }
        m_console.replayGain("track", gainDb, measured.truePeak);
    }
    if (m_options.albumGainDb && m_options.albumPeak) {
        if (!opus) {
            tags.set("REPLAYGAIN_ALBUM_GAIN", { gainText(*m_options.albumGainDb) });
            tags.set("REPLAYGAIN_ALBUM_PEAK", { peakText(*m_options.albumPeak) });
        }
        m_console.replayGain("album", *m_options.albumGainDb, *m_options.albumPeak);
    }
}

std::optional<Failure> Transcoder::convert()
{
    // Positions count in output frames: the chain has mixed and resampled the blocks.
    const SourceInfo &in = m_source->info();
    const int rate = m_settings.rate;
    const std::size_t channels = static_cast<std::size_t>(m_settings.channels);
    const std::uint64_t startFrame = framesAt(m_options.startNs, rate);
    // The end is rounded to a frame on its own, as the start is: ranges that meet (the
    // tracks of an album image) then meet at one frame, losing and repeating nothing. A
    // range that reaches the known end takes the rest, however the container rounded its
    // length.
    std::optional<std::uint64_t> wanted;
    const bool toTheEnd
        = m_options.lengthNs && in.durationNs && m_options.startNs + *m_options.lengthNs >= *in.durationNs;
    if (m_options.lengthNs && !toTheEnd) {
        const std::uint64_t endFrame = framesAt(m_options.startNs + *m_options.lengthNs, rate);
        wanted = endFrame > startFrame ? endFrame - startFrame : 0;
    }
    if (in.durationNs) {
        const std::uint64_t total = framesAt(*in.durationNs, rate);
        const std::uint64_t rest = total > startFrame ? total - startFrame : 0;
        m_settings.expectedFrames = wanted ? std::min(*wanted, rest) : rest;
    } else {
        m_settings.expectedFrames = wanted.value_or(0);
    }

    // FLAC keeps room for the tags ahead of the audio; the file is then not moved to make
    // room for a large picture. (The tags are read again at the end: GStreamer's late ones.)
    if (m_format.codec == Codec::Flac)
        m_settings.tagRoom = outputTags(true).byteSize() + (m_options.writesReplayGain() ? kReplayGainRoom : 0);
    if (auto failure = m_output.create(m_options.output, m_options.overwrite))
        return failure;
    auto encoder = createEncoder(m_settings, m_output.path());
    if (auto *failure = std::get_if<Failure>(&encoder))
        return *failure;
    m_encoder = std::move(std::get<std::unique_ptr<Encoder>>(encoder));
    if (m_options.verify) {
        if (const std::optional<SampleWords> words = losslessWords(m_settings))
            m_digest = std::make_unique<SampleDigest>(*words);
    }
    // Loudness is measured only for what uses it: the ReplayGain values, and normalising's
    // line of what went into the encoder. A plain conversion spends nothing on it.
    if (!m_shortRun && (m_options.writesReplayGain() || m_options.normalizeLufs)) {
        m_meter = std::make_unique<LoudnessMeter>(m_settings.channels, rate);
        if (!m_meter->valid())
            return Failures::kLoudness;
    }
    if (m_options.normalizeLufs)
        m_limiter = std::make_unique<TruePeakLimiter>(
            m_settings.channels, rate, linear(m_normalizeGainDb), linear(m_ceilingDb));

    auto sought = seekToStart(*m_source);
    if (auto *failure = std::get_if<Failure>(&sought))
        return *failure;
    if (auto failure = m_source->start(std::move(m_chain), m_encoder->takesIntegers() && !m_limiter))
        return failure;
    const bool integers = m_source->integerBlocks();
    reportProgress(true);

    // A slow input still gets its progress lines, at the same position.
    const auto keepReporting = [this] { reportProgress(); };
    const auto sink = [&](const DecodedBlock &block, std::size_t skip, std::size_t count) -> std::optional<Failure> {
        if (integers) {
            const std::int32_t *frames = block.integerFrames() + skip * channels;
            if (m_meter)
                m_meter->addSixteenBit(frames, count);
            if (m_digest)
                m_digest->addIntegers(frames, count * channels);
            if (!m_encoder->writeIntegers(frames, count))
                return m_encoder->outputFailed() ? withSystemError(Failures::kWrite, m_encoder->outputError())
                                                 : Failures::kEncode;
            m_outputFrames += count;
            keepReporting();
            return std::nullopt;
        }
        const float *frames = block.frames() + skip * channels;
        if (!m_limiter)
            return writeFrames(frames, count);
        const std::span<const float> limited = m_limiter->process(frames, count);
        return writeFrames(limited.data(), limited.size() / channels);
    };
    bool anyAudio = false;
    if (auto failure = readRange(*m_source, std::get<bool>(sought), sink, keepReporting, anyAudio))
        return failure;
    if (m_limiter) {
        const std::span<const float> tail = m_limiter->flush();
        if (auto failure = writeFrames(tail.data(), tail.size() / channels))
            return failure;
    }
    if (!anyAudio && (!wanted || *wanted > 0))
        return Failures::kInputUnsupported; // a header without a single sample after it
    return std::nullopt;
}

std::optional<Failure> Transcoder::verifyOutput(std::uint64_t frames, int rate, std::uint64_t bytes)
{
    if (!m_options.verify)
        return std::nullopt;
    WrittenOutput written;
    written.path = m_output.path();
    written.format = m_format;
    written.rate = rate;
    written.channels = m_settings.channels;
    written.frames = frames;
    if (m_digest) {
        written.words = losslessWords(m_settings);
        written.encodedDigest = m_digest->result();
    }
    // The progress lines go on at the end position while the file is read back.
    const std::int64_t position = nsOf(frames, rate);
    auto checked = checkOutput(written, m_stallLimit, [&] { m_console.progress(position, bytes); });
    if (auto *failure = std::get_if<Failure>(&checked))
        return *failure;
    const CheckVerdict &verdict = std::get<CheckVerdict>(checked);
    if (verdict.lossless)
        m_console.verifiedLossless(verdict.decodedFrames, verdict.digest, verdict.flacDigest);
    else
        m_console.verifiedLossy(verdict.decodedFrames, frames, verdict.allowance);
    return std::nullopt;
}

std::optional<Failure> Transcoder::finishEncoding()
{
    if (!m_encoder->finish())
        return m_encoder->outputFailed() ? withSystemError(Failures::kWrite, m_encoder->outputError())
                                         : Failures::kEncode;
    m_encodedBytes = m_encoder->bytesWritten();
    m_encoder.reset();
    return std::nullopt;
}

std::optional<Failure> Transcoder::finishOutput()
{
    const std::uint64_t bytes = m_encodedBytes;
    TagSet tags = outputTags(true);
    // The output's loudness: decoded from the file where it was (a normalised lossy
    // output), else as it went into the encoder.
    if (m_decodedLoudness || m_meter) {
        const Loudness measured = m_decodedLoudness ? *m_decodedLoudness : m_meter->result();
        m_console.loudness(measured);
        addReplayGain(tags, measured);
    }
    if (auto failure = writeTags(m_output.path(), m_format.container, tags))
        return failure;
    // Checked as it will be kept: after the tags, which rewrite parts of the file.
    if (auto failure = verifyOutput(m_outputFrames, m_settings.rate, bytes))
        return failure;
    if (auto failure = m_output.commit())
        return failure;
    const std::int64_t position = nsOf(m_outputFrames, m_settings.rate);
    m_console.progress(position, bytes, true);
    m_console.summary(position, bytes);
    return std::nullopt;
}

} // namespace sonmill
