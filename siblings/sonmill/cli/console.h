#pragma once

#include "protocol/sonmillprotocol.h"
#include "sonmill/base/failure.h"
#include "sonmill/loudness/loudness.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace sonmill {

// The only text sonmill prints while it works. Every line is composed of fixed words and
// numbers and goes out in one write, so a reader of the merged pipe never sees half a
// line. The word "bitrate" appears in progress lines only, "global" in the summary only.
class Console
{
public:
    Console();

    // "Duration: hh:mm:ss.hh", once the input's real length is known.
    void duration(std::int64_t ns);
    // A short description of the input and the output streams.
    void streams(int inRate, int inChannels, int outRate, int outChannels);
    // A progress line, written when at least kProgressInterval has passed since the last
    // one, or always when force is set. Its position never goes back below one shown before.
    void progress(std::int64_t positionNs, std::uint64_t bytes, bool force = false);
    // The summary of a successful run: the one line with "global".
    void summary(std::int64_t positionNs, std::uint64_t bytes);
    // "Loudness: integrated -16.02 LUFS, range 5.1 LU, true peak -1.23 dBTP"; a label
    // other than "Loudness" names what was measured ("Album loudness").
    void loudness(const Loudness &measured, const char *label = SONMILL_LOUDNESS_LABEL);
    // The gain a normalisation applies, and that the volume was set aside for it.
    void normalizeGain(double gainDb, double targetLufs);
    void volumeIgnored();
    // The ReplayGain values written into the output.
    void replayGain(const char *which, double gainDb, double peak);
    // -verify passed: "Verified: ..." says what was compared.
    void verifiedLossless(std::uint64_t frames, const std::array<std::uint8_t, 16> &md5, bool flacDigest);
    void verifiedLossy(std::uint64_t decodedFrames, std::uint64_t encodedFrames, std::uint64_t allowance);
    // "Error: <reason>".
    void error(const Failure &failure);

    // Lines come at least this often while converting: the window program reads its pipe
    // every 100 ms and wants a position at least twice a second.
    static constexpr std::chrono::milliseconds kProgressInterval { 250 };

private:
    void writeLine(const char *text, int length);

    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastProgress;
    std::int64_t m_shownPositionNs = 0;
    bool m_anyProgress = false;
};

// Writes value with a comma between groups of three digits ("1,234,567") into text, which
// holds at least 27 characters; returns the length. Async-signal-safe.
int groupedNumber(std::uint64_t value, char *text);

// Writes one line to standard error from a signal handler (async-signal-safe).
void writeErrorLineFromSignal(const Failure &failure);

} // namespace sonmill
