#include "sonmill/cli/console.h"

#include "protocol/sonmillprotocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sonmill {
namespace {

constexpr std::int64_t kNsPerCentisecond = 10'000'000;

void writeAll(const char *text, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written <= 0)
            return; // nobody is listening any more; the work itself goes on
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

// Seconds with exactly two decimals, rounded down so the last line never passes the end.
struct Centiseconds
{
    long long whole;
    int hundredths;
};
Centiseconds centiseconds(std::int64_t ns)
{
    const long long cs = ns < 0 ? 0 : ns / kNsPerCentisecond;
    return { cs / 100, static_cast<int>(cs % 100) };
}

} // namespace

Console::Console()
    : m_started(std::chrono::steady_clock::now())
{ }

void Console::writeLine(const char *text, int length)
{
    if (length > 0)
        writeAll(text, static_cast<std::size_t>(length));
}

void Console::duration(std::int64_t ns)
{
    // Rounded up, so a caller that asks for what this line says gets every sample: the
    // window converts a file of 7.431 s to its end with "-t 00:00:07.44". A microsecond
    // over (a container's rounding) is no sample at any rate and is not counted.
    constexpr std::int64_t kNegligibleNs = 1000;
    const std::int64_t over = std::max<std::int64_t>(0, ns - kNegligibleNs);
    const Centiseconds cs = centiseconds(ns % kNsPerCentisecond == 0 ? ns : over + kNsPerCentisecond - 1);
    const long long hours = cs.whole / 3600;
    const int minutes = static_cast<int>(cs.whole / 60 % 60);
    const int seconds = static_cast<int>(cs.whole % 60);
    char line[96];
    const int n = std::snprintf(line, sizeof line, SONMILL_DURATION_FORMAT, hours, minutes, seconds, cs.hundredths);
    writeLine(line, n);
}

void Console::streams(int inRate, int inChannels, int outRate, int outChannels)
{
    char line[128];
    const int n = std::snprintf(line, sizeof line, "Stream: audio %d Hz, %d channels -> %d Hz, %d channels\n", inRate,
        inChannels, outRate, outChannels);
    writeLine(line, n);
}

void Console::progress(std::int64_t positionNs, std::uint64_t bytes, bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (!force && m_anyProgress && now - m_lastProgress < kProgressInterval)
        return;
    m_anyProgress = true;
    m_lastProgress = now;
    // The position readers see never goes back, whichever pass writes it (a normalised output
    // encoded again starts from the beginning).
    positionNs = std::max(positionNs, m_shownPositionNs);
    m_shownPositionNs = positionNs;

    const Centiseconds cs = centiseconds(positionNs);
    const double seconds = static_cast<double>(positionNs) / 1e9;
    const double kbits = seconds > 0 ? static_cast<double>(bytes) * 8.0 / 1000.0 / seconds : 0.0;
    char line[128];
    const int n = std::snprintf(line, sizeof line, SONMILL_PROGRESS_FORMAT,
        static_cast<unsigned long long>((bytes + 1023) / 1024), cs.whole, cs.hundredths, kbits);
    writeLine(line, n);
}

void Console::summary(std::int64_t positionNs, std::uint64_t bytes)
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    const double seconds = static_cast<double>(positionNs) / 1e9;
    const Centiseconds cs = centiseconds(positionNs);
    char line[160];
    const int n = std::snprintf(line, sizeof line, SONMILL_SUMMARY_FORMAT,
        static_cast<unsigned long long>((bytes + 1023) / 1024), cs.whole, cs.hundredths,
        elapsed > 0 ? seconds / elapsed : 0.0);
    writeLine(line, n);
}

void Console::loudness(const Loudness &measured, const char *label)
{
    // Silence, or less than one gating block, has no integrated loudness: "none".
    char integrated[32] = SONMILL_NO_VALUE;
    if (measured.integratedLufs)
        std::snprintf(integrated, sizeof integrated, SONMILL_LUFS_FORMAT, *measured.integratedLufs);
    char range[32] = SONMILL_NO_VALUE;
    if (measured.rangeLu)
        std::snprintf(range, sizeof range, SONMILL_RANGE_FORMAT, *measured.rangeLu);
    char peak[32] = SONMILL_NO_VALUE;
    if (measured.truePeak > 0)
        std::snprintf(peak, sizeof peak, SONMILL_TRUE_PEAK_FORMAT, decibels(measured.truePeak));
    char line[160];
    const int n = std::snprintf(line, sizeof line, SONMILL_LOUDNESS_FORMAT, label, integrated, range, peak);
    writeLine(line, n);
}

void Console::normalizeGain(double gainDb, double targetLufs)
{
    char line[96];
    const int n = std::snprintf(line, sizeof line, "Normalize: gain %+.2f dB to %.1f LUFS\n", gainDb, targetLufs);
    writeLine(line, n);
}

void Console::volumeIgnored()
{
    static constexpr char kLine[] = "Note: the volume percentage is ignored while normalizing\n";
    writeLine(kLine, sizeof kLine - 1);
}

void Console::replayGain(const char *which, double gainDb, double peak)
{
    char line[96];
    const int n = std::snprintf(line, sizeof line, "ReplayGain: %s gain %+.2f dB, peak %.6f\n", which, gainDb, peak);
    writeLine(line, n);
}

void Console::verifiedLossless(std::uint64_t frames, const std::array<std::uint8_t, 16> &md5, bool flacDigest)
{
    char count[32];
    groupedNumber(frames, count);
    char hex[33];
    for (std::size_t i = 0; i < md5.size(); ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", md5[i]);
    char line[200];
    const int n = std::snprintf(line, sizeof line,
        "Verified: lossless, %s samples decoded identical to those encoded, MD5 %s%s\n", count, hex,
        flacDigest ? ", the FLAC's own MD5 the same" : "");
    writeLine(line, n);
}

void Console::verifiedLossy(std::uint64_t decodedFrames, std::uint64_t encodedFrames, std::uint64_t allowance)
{
    char decoded[32];
    char encoded[32];
    char within[32];
    groupedNumber(decodedFrames, decoded);
    groupedNumber(encodedFrames, encoded);
    groupedNumber(allowance, within);
    char line[200];
    const int n = std::snprintf(line, sizeof line,
        "Verified: decodes whole without an error, %s samples for %s encoded (the codec's frames allow %s)\n", decoded,
        encoded, within);
    writeLine(line, n);
}

void Console::error(const Failure &failure)
{
    writeErrorLineFromSignal(failure);
}

int groupedNumber(std::uint64_t value, char *text)
{
    char reversed[32];
    int length = 0;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0)
            reversed[length++] = ',';
        reversed[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
        ++digits;
    } while (value > 0);
    for (int i = 0; i < length; ++i)
        text[i] = reversed[length - 1 - i];
    text[length] = '\0';
    return length;
}

void writeErrorLineFromSignal(const Failure &failure)
{
    static constexpr char kPrefix[] = SONMILL_ERROR_WORD;
    char line[256];
    std::size_t length = sizeof kPrefix - 1;
    std::memcpy(line, kPrefix, length);
    const auto add = [&](const char *text) {
        const std::size_t size = std::min(std::strlen(text), sizeof line - length - 1);
        std::memcpy(line + length, text, size);
        length += size;
    };
    add(failure.reason);
    // The C library's untranslated description: fixed English words, never a path.
    if (const char *system = failure.systemError ? ::strerrordesc_np(failure.systemError) : nullptr) {
        add(": ");
        add(system);
    }
    if (failure.of > 0) {
        char count[32];
        char of[32];
        groupedNumber(failure.count, count);
        groupedNumber(failure.of, of);
        add(": ");
        add(count);
        add(" of ");
        add(of);
        add(" samples");
    }
    line[length++] = '\n';
    writeAll(line, length);
}

} // namespace sonmill
