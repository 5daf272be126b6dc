// sonmill: the transcoder behind every probe and conversion of TOLM Audio Converter.

#include "protocol/probeworker.h"
#include "sonmill/cli/console.h"
#include "sonmill/cli/options.h"
#include "sonmill/run/loudnessscan.h"
#include "sonmill/run/outputfile.h"
#include "sonmill/run/probeworker.h"
#include "sonmill/run/retag.h"
#include "sonmill/run/transcoder.h"

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace {

// How long the decoding may go without delivering anything before the run is ended.
constexpr std::chrono::seconds kDefaultStallLimit { 15 };

std::chrono::milliseconds stallLimit()
{
    // Tests shorten the limit to see the watchdog act.
    if (const char *text = std::getenv("SONMILL_STALL_SECONDS")) {
        const double seconds = std::strtod(text, nullptr);
        if (seconds > 0)
            return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    }
    return kDefaultStallLimit;
}

// GLib's own warnings (a library's assertion on a damaged stream, say) would put their
// text among ours, which carries only fixed words; TOLM_GST_DEBUG lets them through.
GLogWriterOutput dropLogLine(GLogLevelFlags, const GLogField *, gsize, gpointer)
{
    return G_LOG_WRITER_HANDLED;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace sonmill;
    // Each of GStreamer's streaming threads would otherwise get a malloc arena of its
    // own; two are plenty for a decoding thread or two and the encoding one.
    mallopt(M_ARENA_MAX, 2);
    if (!std::getenv("TOLM_GST_DEBUG"))
        g_log_set_writer_func(dropLogLine, nullptr, nullptr);
    Console console;
    if (argc == 4 && argv[1] == kKeyArgument && argv[2] == probeworker::kOption) {
        installCleanupOnSignals();
        return runProbeWorker(argv[3], stallLimit());
    }
    auto parsed = parseOptions(argc, argv);
    if (auto *failure = std::get_if<Failure>(&parsed)) {
        console.error(*failure);
        return static_cast<int>(failure->code);
    }
    const Options &options = std::get<Options>(parsed);
    if (options.help) {
        std::fputs(helpText(), stdout);
        return 0;
    }

    if (options.measure) {
        LoudnessScan scan(options, console, stallLimit());
        if (const std::optional<Failure> failure = scan.run()) {
            console.error(*failure);
            std::_Exit(static_cast<int>(failure->code));
        }
        std::_Exit(static_cast<int>(ExitCode::Success));
    }

    installCleanupOnSignals();
    if (options.retag) {
        if (const std::optional<Failure> failure = retagOutput(options, console)) {
            console.error(*failure);
            return static_cast<int>(failure->code);
        }
        return static_cast<int>(ExitCode::Success);
    }
    Transcoder transcoder(options, console, stallLimit());
    const std::optional<Failure> failure = transcoder.run();
    if (!failure) {
        // Everything is written, closed and renamed. Stopping the pipeline and unloading
        // the libraries properly would only add to the wait of a probe.
        std::_Exit(static_cast<int>(ExitCode::Success));
    }

    transcoder.discardOutput();
    console.error(*failure);
    if (failure->code == ExitCode::Stalled) {
        // The decoding threads may be stuck in a read that never returns; tearing the
        // pipeline down would wait for them. The output is gone already: leave now.
        std::_Exit(static_cast<int>(failure->code));
    }
    return static_cast<int>(failure->code);
}
