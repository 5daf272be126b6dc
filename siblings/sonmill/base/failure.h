#pragma once

// Every way a run can fail, with its exit code and the fixed reason printed after "Error: ".
// The reasons are constant text on purpose: a path, a tag or any other text from the user
// or the input never reaches the console, so the words the window program looks for
// cannot come from a file name. Each reason carries one of those words. A failure of the
// file system adds the system's own description of its error number (also fixed text).

#include <cstdint>

namespace sonmill {

enum class ExitCode : int {
    Success = 0,
    CommandLine = 2,
    UnknownEncoder = 3,
    InputMissing = 4,
    InputUnsupported = 5,
    OutputRefused = 6,
    WriteFailed = 7,
    DecodeFailed = 8,
    EncodeFailed = 9,
    Stalled = 10,
    Interrupted = 11,
    Internal = 12,
    CheckFailed = 13, // -verify: the output read back is not what was encoded
};

struct Failure
{
    ExitCode code;
    const char *reason;
    // The system's error number behind it (a full disk, a folder without write permission),
    // 0 when there is none: its fixed description follows the reason on the error line.
    int systemError = 0;
    // A check's counts: with `of` set, ": <count> of <of> samples" follows the reason.
    std::uint64_t count = 0;
    std::uint64_t of = 0;
};

// The failure with the samples a check found, of those it wanted.
constexpr Failure withCounts(Failure failure, std::uint64_t count, std::uint64_t of)
{
    failure.count = count;
    failure.of = of;
    return failure;
}

// The failure with the system's reason for it; an unknown reason (0) stays unsaid.
constexpr Failure withSystemError(Failure failure, int systemError)
{
    failure.systemError = systemError;
    return failure;
}

namespace Failures {
// Command line
inline constexpr Failure kFirstArgument { ExitCode::CommandLine,
    "Incorrect command line: the first argument must be qzv" };
inline constexpr Failure kMissingValue { ExitCode::CommandLine, "Incorrect command line: an option lacks its value" };
inline constexpr Failure kUnknownOption { ExitCode::CommandLine, "Unknown option (see --help)" };
inline constexpr Failure kNoInput { ExitCode::CommandLine, "Incorrect command line: no input given with -i" };
inline constexpr Failure kNoOutput { ExitCode::CommandLine, "Incorrect command line: no output file" };
inline constexpr Failure kTime { ExitCode::CommandLine, "Incorrect time value for -ss or -t" };
inline constexpr Failure kVolume { ExitCode::CommandLine, "Incorrect volume for -vol (0 to 400)" };
inline constexpr Failure kRate { ExitCode::CommandLine, "Incorrect sample rate for -ar" };
inline constexpr Failure kChannels { ExitCode::CommandLine, "Incorrect channel count for -ac (1, 2 or 6)" };
inline constexpr Failure kBitrate { ExitCode::CommandLine, "Incorrect bit rate for -ab" };
inline constexpr Failure kTag { ExitCode::CommandLine,
    "Incorrect tag for -tag: KEY=VALUE with a key of the help's list" };
inline constexpr Failure kQuality { ExitCode::CommandLine, "Incorrect quality for -qscale (0 to 9)" };
inline constexpr Failure kReplayGain { ExitCode::CommandLine, "Incorrect value for -replaygain (track)" };
inline constexpr Failure kAlbumValues { ExitCode::CommandLine,
    "Incorrect album values: -albumgain (dB) and -albumpeak (linear) go together" };
inline constexpr Failure kNormalize { ExitCode::CommandLine, "Incorrect target for -normalize (-70 to 0 LUFS)" };

// Encoder and output format
inline constexpr Failure kUnknownEncoder { ExitCode::UnknownEncoder, "Unknown encoder" };
inline constexpr Failure kUnknownFormat {
    ExitCode::CommandLine,
    "Unknown output format: the output name must end in .wav, .aiff, .au, .mp3, .mp2, .ogg, .flac, .aac, .m4a or .ac3"
};
inline constexpr Failure kEncoderFormat { ExitCode::CommandLine, "Incorrect encoder for the output format" };
inline constexpr Failure kEncoderRate { ExitCode::CommandLine, "Incorrect sample rate for this encoder" };
inline constexpr Failure kEncoderChannels { ExitCode::CommandLine, "Incorrect channel count for this encoder" };
inline constexpr Failure kEncoderBitrate { ExitCode::CommandLine,
    "Unsupported bit rate: too low for this encoder and channel count" };

// Input
inline constexpr Failure kInputMissing { ExitCode::InputMissing, "no such file: the input does not exist" };
inline constexpr Failure kInputFolder { ExitCode::InputMissing, "Unable to read the input: it is a folder" };
inline constexpr Failure kInputUnreadable { ExitCode::InputMissing, "Could not open the input for reading" };
inline constexpr Failure kInputNotRegular { ExitCode::InputUnsupported, "Unsupported input: it is not a regular file" };
inline constexpr Failure kInputEmpty { ExitCode::InputUnsupported, "Unsupported input: the file is empty" };
inline constexpr Failure kInputUnsupported { ExitCode::InputUnsupported, "Unsupported input: no decodable audio" };
inline constexpr Failure kNoAudioStream { ExitCode::InputUnsupported, "Unsupported input: it holds no audio stream" };
inline constexpr Failure kStartBeyondEnd { ExitCode::CommandLine,
    "Incorrect start: -ss lies beyond the end of the input" };
inline constexpr Failure kDecode { ExitCode::DecodeFailed, "Could not decode the input" };
inline constexpr Failure kStalled { ExitCode::Stalled, "Unable to continue: the input stopped making progress" };

// Output
inline constexpr Failure kRetagNoOutput { ExitCode::InputMissing, "no such file: -retag needs the output" };
inline constexpr Failure kOutputIsInput { ExitCode::OutputRefused, "Incorrect output: it is the input file" };
inline constexpr Failure kOutputExists { ExitCode::OutputRefused,
    "Unable to overwrite the existing output without -y" };
inline constexpr Failure kOutputFolder { ExitCode::OutputRefused,
    "Could not create the output: that name is a folder" };
inline constexpr Failure kOutputCreate { ExitCode::WriteFailed, "Could not create the output file" };
inline constexpr Failure kWrite { ExitCode::WriteFailed, "Could not write the output file" };
inline constexpr Failure kEncode { ExitCode::EncodeFailed, "Could not encode the audio" };

// -verify: what the output's check found
inline constexpr Failure kCheckLength { ExitCode::CheckFailed, "Incorrect output: it failed its check" };
inline constexpr Failure kCheckSamples { ExitCode::CheckFailed,
    "Incorrect output: it failed its check, its samples differ from those encoded" };
inline constexpr Failure kCheckFlacDigest { ExitCode::CheckFailed,
    "Incorrect output: it failed its check, its FLAC MD5 differs from the samples encoded" };
inline constexpr Failure kCheckFormat { ExitCode::CheckFailed,
    "Incorrect output: it failed its check, its rate or channels differ from those encoded" };
inline constexpr Failure kCheckDecode { ExitCode::CheckFailed, "Could not decode the output back for its check" };

inline constexpr Failure kInterrupted { ExitCode::Interrupted, "Could not finish: stopped by a signal" };
inline constexpr Failure kModule { ExitCode::Internal, "Unable to load an encoder library module" };
inline constexpr Failure kLoudness { ExitCode::Internal, "Unable to set up the loudness measurement" };
inline constexpr Failure kGStreamer { ExitCode::Internal, "Unable to start the decoding library" };
} // namespace Failures

} // namespace sonmill
