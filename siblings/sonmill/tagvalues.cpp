#include "sonmill/tagvalues.h"

#include <charconv>
#include <optional>

namespace sonmill {
namespace {

using TextField = std::string TagSet::*;

struct TextKey
{
    std::string_view key;
    TextField field;
};

constexpr TextKey kTextKeys[] = {
    { "title", &TagSet::title },
    { "artist", &TagSet::artist },
    { "album", &TagSet::album },
    { "albumartist", &TagSet::albumArtist },
    { "date", &TagSet::date },
    { "genre", &TagSet::genre },
    { "comment", &TagSet::comment },
};

struct NumberKey
{
    std::string_view key;
    unsigned TagSet::*number;
    unsigned TagSet::*total;
};

constexpr NumberKey kNumberKeys[] = {
    { "track", &TagSet::track, &TagSet::trackCount },
    { "disc", &TagSet::disc, &TagSet::discCount },
};

std::optional<unsigned> count(std::string_view text)
{
    unsigned value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "n" or "n/total"; an empty text clears both.
bool readNumber(std::string_view text, unsigned &number, unsigned &total)
{
    if (text.empty()) {
        number = total = 0;
        return true;
    }
    const auto slash = text.find('/');
    const auto n = count(text.substr(0, slash));
    const auto t = slash == std::string_view::npos ? std::optional<unsigned>(0) : count(text.substr(slash + 1));
    if (!n || !t)
        return false;
    number = *n;
    total = *t;
    return true;
}

} // namespace

bool addTagValue(TagValues &values, std::string_view argument)
{
    const auto equals = argument.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view key = argument.substr(0, equals);
    const std::string_view value = argument.substr(equals + 1);
    for (const TextKey &text : kTextKeys) {
        if (text.key == key) {
            values.emplace_back(key, value);
            return true;
        }
    }
    for (const NumberKey &numbered : kNumberKeys) {
        unsigned number = 0;
        unsigned total = 0;
        if (numbered.key == key && readNumber(value, number, total)) {
            values.emplace_back(key, value);
            return true;
        }
    }
    return false;
}

TagSet withTagValues(TagSet tags, const TagValues &values)
{
    for (const auto &[key, value] : values) {
        for (const TextKey &text : kTextKeys)
            if (text.key == key)
                tags.*text.field = value;
        for (const NumberKey &numbered : kNumberKeys)
            if (numbered.key == key)
                readNumber(value, tags.*numbered.number, tags.*numbered.total);
    }
    return tags;
}

} // namespace sonmill
