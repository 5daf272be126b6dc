#include "sonmill/transcoder.h"

#include "media/gstsetup.h"
#include "sonmill/outputtags.h"
#include "sonmill/streamcopy.h"
#include "sonmill/tagwriter.h"

#include <algorithm>
#include <cmath>
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
    const bool shortRun = m_options.lengthNs && *m_options.lengthNs < kShortRunNs;
    // FLAC at full volume may take 16-bit input as it is (see Source::start).
    const bool keepSixteenBits = m_format.codec == Codec::Flac && m_options.volumePercent == 100.0;
    auto opened = Source::open(m_options.input, m_stallLimit, shortRun, keepSixteenBits);
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
    if (auto failure = convert())
        return failure;
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
        && (!m_options.channels || *m_options.channels == in.channels) && m_options.volumePercent == 100.0;
    const bool whole
        = m_options.startNs == 0 && (!m_options.lengthNs || (duration && *m_options.lengthNs >= *duration));
    return unchanged && (whole || StreamCopy::canTrim(m_format.container));
}

std::optional<Failure> Transcoder::copyStream()
{
    const SourceInfo &in = m_source->info();
    const TagSet tags = outputTags(false);
    const CodedAudio coded = in.coded;
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
    if (auto failure = writeTags(m_output.path(), m_format.container, tags))
        return failure;
    const std::uint64_t bytes = fileSizeOf(m_output.path());
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
    fitTagsToOutput(tags, { m_options.volumePercent != 100.0, !whole, reencoded }, m_options.tagValues);
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
    if (m_format.codec == Codec::Flac) {
        // FLAC keeps an input's 24 bits (lossless means lossless); 32-bit and float
        // inputs get 24 too, the most FLAC decoders take.
        m_settings.bits = resolution.isFloat ? 16 : std::min(resolution.bits, 24);
    } else if (m_format.keepsSampleFormat) {
        // "copy" into WAV, AIFF or AU keeps the samples as the input has them, also when
        // the profile's PCM encoder was named after it (a lossless profile's line).
        m_settings.bits = resolution.bits;
        m_settings.floatSamples = resolution.isFloat;
    }
    m_chain = std::make_unique<AudioChain>(in.positions, m_settings.channels, in.rate, m_settings.rate,
        m_options.volumePercent / 100.0, !resolution.isFloat);
    if (!m_chain->valid())
        return Failures::kModule;
    m_console.streams(in.rate, in.channels, m_settings.rate, m_settings.channels);
    return std::nullopt;
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
        m_settings.tagRoom = outputTags(true).byteSize();
    if (auto failure = m_output.create(m_options.output, m_options.overwrite))
        return failure;
    auto encoder = createEncoder(m_settings, m_output.path());
    if (auto *failure = std::get_if<Failure>(&encoder))
        return *failure;
    m_encoder = std::move(std::get<std::unique_ptr<Encoder>>(encoder));

    // Bare MP3, ADTS and AC-3 streams have no index: a seek in them lands by an estimate of
    // the bit rate, and so do their timestamps. Reading them from the start and dropping
    // up to the start point is exact (and decoding them is fast).
    bool seeked = false;
    if (!in.elementary && m_options.startNs > 0) {
        auto sought = m_source->seek(m_options.startNs);
        if (auto *failure = std::get_if<Failure>(&sought))
            return *failure;
        seeked = std::get<bool>(sought);
    }
    if (auto failure = m_source->start(std::move(m_chain), m_encoder->takesIntegers()))
        return failure;
    const bool integers = m_source->integerBlocks();
    m_console.progress(0, 0, true);

    // After a seek, frames are counted from where the first block says it starts, so the
    // trim is exact to the sample wherever the seek landed. Read from the start, they are
    // counted from the first one (a decoder that drops its run-in stamps the first block
    // later than the start).
    std::optional<std::uint64_t> position;
    std::uint64_t taken = 0;
    bool anyAudio = false;
    // A slow input still gets its progress lines, at the same position.
    const auto keepReporting
        = [this] { m_console.progress(nsOf(m_outputFrames, m_settings.rate), m_encoder->bytesWritten()); };
    while (!wanted || taken < *wanted) {
        auto next = m_source->next(keepReporting);
        if (auto *failure = std::get_if<Failure>(&next))
            return *failure;
        const DecodedBlock &block = std::get<DecodedBlock>(next);
        if (block.frameCount() == 0)
            break;
        anyAudio = true;
        if (!position)
            position = seeked && block.streamTimeNs() ? framesAt(*block.streamTimeNs(), rate) : 0;

        std::uint64_t skip
            = startFrame > *position ? std::min<std::uint64_t>(startFrame - *position, block.frameCount()) : 0;
        std::uint64_t count = block.frameCount() - skip;
        if (wanted)
            count = std::min(count, *wanted - taken);
        *position += block.frameCount();
        if (count == 0)
            continue;
        const bool written = integers ? m_encoder->writeIntegers(block.integerFrames() + skip * channels, count)
                                      : m_encoder->write(block.frames() + skip * channels, count);
        if (!written)
            return m_encoder->outputFailed() ? withSystemError(Failures::kWrite, m_encoder->outputError())
                                             : Failures::kEncode;
        m_outputFrames += count;
        taken += count;
        m_console.progress(nsOf(m_outputFrames, m_settings.rate), m_encoder->bytesWritten());
    }
    if (!anyAudio && (!wanted || *wanted > 0))
        return Failures::kInputUnsupported; // a header without a single sample after it
    return std::nullopt;
}

std::optional<Failure> Transcoder::finishOutput()
{
    if (!m_encoder->finish())
        return m_encoder->outputFailed() ? withSystemError(Failures::kWrite, m_encoder->outputError())
                                         : Failures::kEncode;
    const std::uint64_t bytes = m_encoder->bytesWritten();
    m_encoder.reset();
    if (auto failure = writeTags(m_output.path(), m_format.container, outputTags(true)))
        return failure;
    if (auto failure = m_output.commit())
        return failure;
    const std::int64_t position = nsOf(m_outputFrames, m_settings.rate);
    m_console.progress(position, bytes, true);
    m_console.summary(position, bytes);
    return std::nullopt;
}

} // namespace sonmill
