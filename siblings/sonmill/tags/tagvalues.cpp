#include "sonmill/tags/tagvalues.h"

#include "protocol/sonmillprotocol.h"

#include <charconv>
#include <optional>

namespace sonmill {
namespace {

bool isCount(std::string_view text)
{
    unsigned value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// "n" or "n/total"; an empty text (which removes the field) too.
bool isNumber(std::string_view text)
{
    if (text.empty())
        return true;
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        return isCount(text);
    return isCount(text.substr(0, slash)) && isCount(text.substr(slash + 1));
}

} // namespace

bool addTagValue(std::vector<std::pair<std::string, std::string>> &values, std::string_view argument)
{
    const auto equals = argument.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view key = argument.substr(0, equals);
    const std::string_view value = argument.substr(equals + 1);
    for (const SonmillProtocol::TagKey &tag : SonmillProtocol::kTagKeys) {
        if (tag.key != key)
            continue;
        if (tag.numbered && !isNumber(value))
            return false;
        values.emplace_back(tag.field, value);
        return true;
    }
    return false;
}

} // namespace sonmill
