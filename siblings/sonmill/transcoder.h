#pragma once

#include "sonmill/audiochain.h"
#include "sonmill/console.h"
#include "sonmill/encoder.h"
#include "sonmill/options.h"
#include "sonmill/outputfile.h"
#include "sonmill/source.h"
#include "sonmill/streamcopy.h"
#include "sonmill/tags.h"

#include <chrono>
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

    const Options &m_options;
    Console &m_console;
    std::chrono::milliseconds m_stallLimit;

    // The decoding pipelines are members: after a stall their threads may never return,
    // and main leaves without tearing them down.
    std::unique_ptr<Source> m_source;
    std::unique_ptr<Source> m_scan;
    std::unique_ptr<StreamCopy> m_copy;
    OutputFormat m_format {};
    EncoderSettings m_settings;
    std::unique_ptr<AudioChain> m_chain; // handed to the source when the flow starts
    std::unique_ptr<Encoder> m_encoder;
    TemporaryOutput m_output;

    std::optional<std::int64_t> m_durationNs;
    std::uint64_t m_outputFrames = 0;
};

} // namespace sonmill
