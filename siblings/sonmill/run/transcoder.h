#pragma once

#include "sonmill/audio/audiochain.h"
#include "sonmill/base/encoder.h"
#include "sonmill/cli/console.h"
#include "sonmill/cli/options.h"
#include "sonmill/loudness/limiter.h"
#include "sonmill/loudness/loudness.h"
#include "sonmill/run/outputcheck.h"
#include "sonmill/run/outputfile.h"
#include "sonmill/run/streamcopy.h"
#include "sonmill/source/source.h"
#include "sonmill/tags/tags.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sonmill {

// One conversion (or probe) from the command line's options to the finished output file.
class Transcoder
{
public:
    Transcoder(const Options &options, Console &console, std::chrono::milliseconds stallLimit);

    // Runs the conversion; on success the output carries its final name.
    std::optional<Failure> run();

    // Removes the temporary output without waiting for anything else (after a stall,
    // when the decoding threads may never return).
    void discardOutput() { m_output.discard(); }

private:
    std::optional<Failure> checkInput() const;
    bool copiesStream(std::optional<std::int64_t> duration) const;
    std::optional<Failure> copyStream();
    std::optional<Failure> settleFormat();
    std::optional<Failure> convert();
    std::optional<Failure> finishOutput();
    std::variant<std::optional<std::int64_t>, Failure> scanDecodedDuration();
    TagSet outputTags(bool reencoded) const;

    // Hands on the frames of a started source that lie within -ss/-t, block by block
    // (counted in output frames, after the chain).
    using FrameSink
        = std::function<std::optional<Failure>(const DecodedBlock &block, std::size_t skip, std::size_t count)>;
    std::optional<Failure> readRange(
        Source &source, bool seeked, const FrameSink &sink, const std::function<void()> &whileWaiting, bool &anyAudio);
    // Seeks a freshly opened source to -ss where it can; true when it did.
    std::variant<bool, Failure> seekToStart(Source &source);
    std::unique_ptr<AudioChain> makeChain() const;
    // -normalize, first pass: the range's loudness as the output would have it unchanged,
    // and the gain that brings it to the target (limiter included).
    std::optional<Failure> measureForNormalize();
    std::optional<Failure> findNormalizeGain(double targetLufs);
    // -normalize, last: the encoded file's level as it decodes, encoded again when it missed.
    std::optional<Failure> settleNormalizedLevel();
    // One decoding pass over the range, measured as it is, or as the limiter would give it
    // with limitedGainDb.
    std::variant<Loudness, Failure> measurePass(std::optional<double> limitedGainDb);
    std::optional<Failure> writeFrames(const float *frames, std::size_t count);
    void reportProgress(bool force = false);
    std::optional<Failure> finishEncoding();
    // -verify: reads the finished temporary file back (see checkOutput) and says what it
    // compared; frames is what went into the encoder (or was copied).
    std::optional<Failure> verifyOutput(std::uint64_t frames, int rate, std::uint64_t bytes);
    // Puts the measured (and told) ReplayGain values into the output's tag set.
    void addReplayGain(TagSet &tags, const Loudness &measured) const;

    const Options &m_options;
    Console &m_console;
    std::chrono::milliseconds m_stallLimit;

    // The decoding pipelines are members: after a stall their threads may never return,
    // and main leaves without tearing them down.
    std::unique_ptr<Source> m_source;
    std::unique_ptr<Source> m_scan;
    std::unique_ptr<Source> m_measure; // the first pass of -normalize, or a copy's measurement
    std::unique_ptr<StreamCopy> m_copy;
    OutputFormat m_format {};
    EncoderSettings m_settings;
    std::unique_ptr<AudioChain> m_chain; // handed to the source when the flow starts
    std::unique_ptr<Encoder> m_encoder;
    TemporaryOutput m_output;

    std::optional<std::int64_t> m_durationNs;
    bool m_shortRun = false; // a probe: nothing worth measuring
    std::unique_ptr<LoudnessMeter> m_meter; // what goes into the encoder
    std::unique_ptr<TruePeakLimiter> m_limiter; // -normalize only
    double m_normalizeGainDb = 0;
    Loudness m_sourceLoudness; // -normalize: the range as it is
    double m_ceilingDb = 0; // -normalize: the limiter's
    std::optional<Loudness> m_decodedLoudness; // -normalize, lossy: the encoded file's
    std::uint64_t m_encodedBytes = 0;

    std::uint64_t m_outputFrames = 0;
    std::unique_ptr<SampleDigest> m_digest; // -verify, lossless: what went into the encoder
};

} // namespace sonmill
