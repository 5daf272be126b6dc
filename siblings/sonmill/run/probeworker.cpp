#include "sonmill/run/probeworker.h"

#include "protocol/probeworker.h"
#include "sonmill/cli/console.h"
#include "sonmill/cli/options.h"
#include "sonmill/run/transcoder.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace sonmill {
namespace {

// The end line goes to the console's own channel, after everything the probe wrote there.
void answerEnd(ExitCode code)
{
    std::string line(probeworker::kAnswerEnd);
    line += std::to_string(static_cast<int>(code));
    line += '\n';
    const char *text = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
        if (written <= 0)
            std::_Exit(static_cast<int>(ExitCode::Interrupted)); // nobody asks any more
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

} // namespace

int runProbeWorker(const char *scratchPath, std::chrono::milliseconds stallLimit)
{
    char *line = nullptr;
    std::size_t capacity = 0;
    ssize_t length = 0;
    while ((length = ::getline(&line, &capacity, stdin)) >= 0) {
        if (length > 0 && line[length - 1] == '\n')
            --length;
        const std::string source = probeworker::decodeRequest(std::string_view(line, std::size_t(length)));
        // The very command line of a probe run on its own, so the answer is that run's text.
        const std::array<const char *, 8> arguments
            = { "sonmill", kKeyArgument.data(), "-y", "-i", source.c_str(), "-t", "0.001", scratchPath };
        Console console;
        const auto parsed = parseOptions(int(arguments.size()), arguments.data());
        if (const auto *failure = std::get_if<Failure>(&parsed)) {
            console.error(*failure);
            answerEnd(failure->code);
            continue;
        }
        Transcoder transcoder(std::get<Options>(parsed), console, stallLimit);
        const std::optional<Failure> failure = transcoder.run();
        if (!failure) {
            answerEnd(ExitCode::Success);
            // Nothing stays between probes; and a rename over the last one's file would make
            // the file system write the next one out at once.
            ::unlink(scratchPath);
            continue;
        }
        transcoder.discardOutput();
        console.error(*failure);
        answerEnd(failure->code);
        static_assert(static_cast<int>(ExitCode::Stalled) == probeworker::kEndsAfterStatus);
        if (failure->code == ExitCode::Stalled) {
            // The decoding threads may never return, and the next request would wait behind
            // them: the asker starts a fresh worker.
            ::unlink(scratchPath);
            std::_Exit(static_cast<int>(failure->code));
        }
    }
    std::free(line);
    ::unlink(scratchPath);
    // Unloading the libraries properly would only add to the asker's wait.
    std::_Exit(static_cast<int>(ExitCode::Success));
}

} // namespace sonmill
