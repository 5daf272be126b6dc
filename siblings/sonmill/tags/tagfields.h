#pragma once

#include <cstddef>

namespace sonmill {

// What crosses between sonmill and its tag module: plain C data, since the module carries
// a C++ runtime of its own. Keys are canonical Vorbis comment names (see tagmap.h); a key
// repeats for each of several values. Strings are UTF-8, never null.
struct TagText
{
    const char *key;
    const char *value;
};

struct TagPictureData
{
    int type; // the ID3v2 and FLAC picture type
    const char *mime;
    const char *description;
    const unsigned char *data;
    std::size_t size;
};

struct TagFields
{
    const TagText *texts;
    std::size_t textCount;
    const TagPictureData *pictures;
    std::size_t pictureCount;
};

// The module hands what it reads to these, one call per value or picture; the data lives
// only for the call.
struct TagSink
{
    void *context;
    void (*text)(void *context, const char *key, const char *value);
    void (*picture)(void *context, const TagPictureData *picture);
};

} // namespace sonmill
