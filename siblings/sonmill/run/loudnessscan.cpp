#include "sonmill/run/loudnessscan.h"

#include "media/gstsetup.h"

#include <sys/stat.h>

namespace sonmill {

std::optional<Failure> measureInto(LoudnessMeter &meter, const std::string &path, std::chrono::milliseconds stallLimit,
    std::unique_ptr<Source> &holder, const std::function<void()> &whileWaiting)
{
    auto opened = Source::open(path, stallLimit);
    if (auto *failure = std::get_if<Failure>(&opened))
        return *failure;
    holder = std::move(std::get<std::unique_ptr<Source>>(opened));
    if (auto failure = holder->start())
        return failure;
    while (true) {
        auto next = holder->next(whileWaiting);
        if (auto *failure = std::get_if<Failure>(&next))
            return *failure;
        const DecodedBlock &block = std::get<DecodedBlock>(next);
        if (block.frameCount() == 0)
            break;
        meter.add(block.frames(), block.frameCount());
        if (whileWaiting)
            whileWaiting();
    }
    holder.reset();
    return std::nullopt;
}

std::variant<Loudness, Failure> measureWholeInput(const std::string &path, std::chrono::milliseconds stallLimit,
    std::unique_ptr<Source> &holder, const std::function<void()> &whileWaiting)
{
    auto opened = Source::open(path, stallLimit);
    if (auto *failure = std::get_if<Failure>(&opened))
        return *failure;
    const SourceInfo &info = std::get<std::unique_ptr<Source>>(opened)->info();
    LoudnessMeter meter(info.channels, info.rate);
    opened = Failures::kLoudness; // the probe's pipeline goes; measureInto opens its own
    if (!meter.valid())
        return Failures::kLoudness;
    if (auto failure = measureInto(meter, path, stallLimit, holder, whileWaiting))
        return *failure;
    return meter.result();
}

LoudnessScan::LoudnessScan(const Options &options, Console &console, std::chrono::milliseconds stallLimit)
    : m_options(options)
    , m_console(console)
    , m_stallLimit(stallLimit)
{ }

std::optional<Failure> LoudnessScan::run()
{
    for (const std::string &input : m_options.inputs) {
        struct stat status = {};
        if (::stat(input.c_str(), &status) != 0)
            return Failures::kInputMissing;
        if (!S_ISREG(status.st_mode))
            return Failures::kInputNotRegular;
    }
    media::initialiseGStreamer(nullptr, nullptr);
    std::vector<std::unique_ptr<LoudnessMeter>> meters;
    for (const std::string &input : m_options.inputs) {
        auto opened = Source::open(input, m_stallLimit);
        if (auto *failure = std::get_if<Failure>(&opened))
            return *failure;
        const SourceInfo &info = std::get<std::unique_ptr<Source>>(opened)->info();
        auto meter = std::make_unique<LoudnessMeter>(info.channels, info.rate);
        opened = Failures::kLoudness; // measureInto opens the file afresh
        if (!meter->valid())
            return Failures::kLoudness;
        if (auto failure = measureInto(*meter, input, m_stallLimit, m_source))
            return failure;
        m_console.loudness(meter->result());
        meters.push_back(std::move(meter));
    }
    std::vector<const LoudnessMeter *> all;
    for (const auto &meter : meters)
        all.push_back(meter.get());
    m_console.loudness(LoudnessMeter::combined(all), SONMILL_ALBUM_LOUDNESS_LABEL);
    m_console.summary(0, 0);
    return std::nullopt;
}

} // namespace sonmill
