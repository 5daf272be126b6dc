#pragma once

#include "sonmill/base/failure.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sonmill {

// The output is written under a temporary name in the destination folder and renamed to
// its final name only when the conversion succeeded, so a failed or stopped run never
// leaves a truncated file under the final name. The temporary file is removed by the
// destructor, and by the signal handlers installed with installCleanupOnSignals().
class TemporaryOutput
{
public:
    // Refuses what must not be written: the input itself, a folder, an existing file
    // without overwrite.
    static std::optional<Failure> check(const std::string &input, const std::string &output, bool overwrite);

    TemporaryOutput() = default;
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput &) = delete;
    TemporaryOutput &operator=(const TemporaryOutput &) = delete;

    // Creates the empty temporary file beside finalPath.
    std::optional<Failure> create(const std::string &finalPath, bool overwrite);
    const std::string &path() const { return m_temporary; }

    // Gives the file its final name (and the permissions a new file gets).
    std::optional<Failure> commit();
    void discard();

private:
    std::string m_final;
    std::string m_temporary;
    bool m_overwrite = false;
};

// Size of a file, 0 when it cannot be read.
std::uint64_t fileSizeOf(const std::string &path);

// SIGTERM, SIGINT and SIGHUP remove the temporary file, print the error line and end the
// process with the signal.
void installCleanupOnSignals();

} // namespace sonmill
