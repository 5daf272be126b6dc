#pragma once

// Shared by the tag module's reader and writer (built into the module only).

#include <taglib/tstring.h>

#include <string>
#include <string_view>

#include <unistd.h>

namespace sonmill::TagLibText {

inline TagLib::String utf8(const std::string &text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

inline std::string utf8(const TagLib::String &text)
{
    return text.to8Bit(true);
}

// MP4 atom names are Latin-1 bytes ("\251nam" for ©nam).
inline TagLib::String latin1(std::string_view bytes)
{
    return TagLib::String(std::string(bytes), TagLib::String::Latin1);
}

// A line for the run's log, written whole to standard error beside sonmill's own lines and
// like them of fixed words only.
inline void note(std::string_view line)
{
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

} // namespace sonmill::TagLibText
