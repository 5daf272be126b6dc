#pragma once

// Shared by the tag module's reader and writer (built into the module only).

#include <taglib/tstring.h>

#include <string>

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

} // namespace sonmill::TagLibText
