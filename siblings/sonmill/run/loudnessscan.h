#pragma once

#include "sonmill/base/failure.h"
#include "sonmill/cli/console.h"
#include "sonmill/cli/options.h"
#include "sonmill/loudness/loudness.h"
#include "sonmill/source/source.h"

#include <chrono>
#include <memory>
#include <string>
#include <variant>

namespace sonmill {

// Decodes a whole input as it is (its own channels and rate) into meter. The source is
// kept in holder: after a stall its threads may never return, and main leaves without
// tearing it down. whileWaiting is called between blocks and while the input is slow.
std::optional<Failure> measureInto(LoudnessMeter &meter, const std::string &path, std::chrono::milliseconds stallLimit,
    std::unique_ptr<Source> &holder, const std::function<void()> &whileWaiting = {});

// The loudness of a whole input (a stream copy's, whose audio is not decoded otherwise, or
// a normalised output's as it plays).
std::variant<Loudness, Failure> measureWholeInput(const std::string &path, std::chrono::milliseconds stallLimit,
    std::unique_ptr<Source> &holder, const std::function<void()> &whileWaiting = {});

// -measure: every input's loudness on a line of its own, in order, then all of them end to
// end as one album ("Album loudness:"), then the summary. Writes no file.
class LoudnessScan
{
public:
    LoudnessScan(const Options &options, Console &console, std::chrono::milliseconds stallLimit);
    std::optional<Failure> run();

private:
    const Options &m_options;
    Console &m_console;
    std::chrono::milliseconds m_stallLimit;
    std::unique_ptr<Source> m_source;
};

} // namespace sonmill
