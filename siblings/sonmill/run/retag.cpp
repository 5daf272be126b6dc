#include "sonmill/run/retag.h"

#include "sonmill/base/outputformat.h"
#include "sonmill/run/outputfile.h"
#include "sonmill/tags/opusgain.h"
#include "sonmill/tags/outputtags.h"
#include "sonmill/tags/tagwriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonmill {

namespace {

// The output's bytes into the temporary file beside it.
std::optional<Failure> copyBytes(const std::string &from, const std::string &to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return withSystemError(Failures::kInputUnreadable, errno);
    const int out = ::open(to.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return withSystemError(Failures::kOutputCreate, error);
    }
    std::optional<Failure> failure;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            failure = withSystemError(Failures::kInputUnreadable, errno);
            break;
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer + done, std::size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                failure = withSystemError(Failures::kWrite, errno);
                break;
            }
            done += put;
        }
        if (failure)
            break;
    }
    ::close(in);
    if (::close(out) != 0 && !failure)
        failure = withSystemError(Failures::kWrite, errno);
    return failure;
}

// The fields of a role as the output holds them now.
void keepRole(TagSet &tags, const TagSet &output, TagRole role)
{
    tags.removeRole(role);
    for (const auto &[key, values] : output.fields()) {
        if (TagMap::roleOf(key) == role)
            tags.set(key, values);
    }
}

} // namespace

std::optional<Failure> retagOutput(const Options &options, Console &console)
{
    auto format = chooseOutputFormat(options.output, options.encoder, options.copyAmongEncoders);
    if (auto *failure = std::get_if<Failure>(&format))
        return *failure;
    const Container container = std::get<OutputFormat>(format).container;
    struct stat status = {};
    if (::stat(options.input.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return Failures::kInputMissing;
    if (::stat(options.output.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return Failures::kRetagNoOutput;

    const TagSet output = readTags(options.output).value_or(TagSet {});
    TagSet tags = sourceTags(options.input, nullptr);
    const bool levelChanged = options.volumePercent != 100.0 || options.normalizeLufs.has_value();
    const bool range = options.startNs != 0 || options.lengthNs.has_value();
    fitTagsToOutput(tags, { levelChanged, range, false }, options.tagValues);
    keepRole(tags, output, TagRole::Encoding);
    if (options.writesReplayGain() || options.normalizeLufs)
        keepRole(tags, output, TagRole::Loudness);
    if (container == Container::Opus)
        OpusGain::fitTags(tags);

    TemporaryOutput written;
    if (auto failure = written.create(options.output, true))
        return failure;
    if (auto failure = copyBytes(options.output, written.path()))
        return failure;
    if (auto failure = writeTags(written.path(), container, tags))
        return failure;
    const std::uint64_t bytes = fileSizeOf(written.path());
    if (auto failure = written.commit())
        return failure;
    console.summary(0, bytes);
    return std::nullopt;
}

} // namespace sonmill
