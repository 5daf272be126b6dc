#pragma once

#include "sonmill/base/encoder.h"
#include "sonmill/base/filewriter.h"

#include <optional>
#include <string>

namespace sonmill {

// An encoder that writes its container itself through one FileWriter: what the output has
// taken and whether it refused bytes are the file's to say.
class FileEncoder : public Encoder
{
public:
    std::uint64_t bytesWritten() const override { return m_file.size(); }
    bool outputFailed() const override { return m_file.failed(); }
    int outputError() const override { return m_file.error(); }

protected:
    // Creates the output, or says why it could not.
    std::optional<Failure> openFile(const std::string &path)
    {
        if (!m_file.open(path))
            return withSystemError(Failures::kOutputCreate, m_file.error());
        return std::nullopt;
    }

    FileWriter m_file;
};

} // namespace sonmill
