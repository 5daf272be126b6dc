#include "mp4tags.h"

#include <gst/tag/tag.h>

#include <cstring>

// Plain GObject code: this plugin uses no C++ library, so loading it maps no C++ runtime.

namespace {

constexpr guint kMaxItems = 1024;
constexpr guint kMaxItemSize = 64 * 1024;

constexpr guint32 fourcc(guint8 a, guint8 b, guint8 c, guint8 d)
{
    return (guint32(a) << 24) | (guint32(b) << 16) | (guint32(c) << 8) | d;
}
constexpr guint8 kCopyright = 0xA9; // the leading © of iTunes' own item names

guint32 be32(const guint8 *p)
{
    return (guint32(p[0]) << 24) | (guint32(p[1]) << 16) | (guint32(p[2]) << 8) | p[3];
}

guint be16(const guint8 *p)
{
    return (guint(p[0]) << 8) | p[1];
}

enum class Kind { Text, Date, Pair, Genre };

struct Item
{
    guint32 type;
    Kind kind;
    const char *tag; // for a pair, the number; countTag the total
    const char *countTag;
};

const Item kItems[] = {
    { fourcc(kCopyright, 'n', 'a', 'm'), Kind::Text, GST_TAG_TITLE, nullptr },
    { fourcc(kCopyright, 'A', 'R', 'T'), Kind::Text, GST_TAG_ARTIST, nullptr },
    { fourcc(kCopyright, 'a', 'l', 'b'), Kind::Text, GST_TAG_ALBUM, nullptr },
    { fourcc('a', 'A', 'R', 'T'), Kind::Text, GST_TAG_ALBUM_ARTIST, nullptr },
    { fourcc(kCopyright, 'c', 'm', 't'), Kind::Text, GST_TAG_COMMENT, nullptr },
    { fourcc(kCopyright, 'g', 'e', 'n'), Kind::Text, GST_TAG_GENRE, nullptr },
    { fourcc(kCopyright, 'd', 'a', 'y'), Kind::Date, GST_TAG_DATE_TIME, nullptr },
    { fourcc('t', 'r', 'k', 'n'), Kind::Pair, GST_TAG_TRACK_NUMBER, GST_TAG_TRACK_COUNT },
    { fourcc('d', 'i', 's', 'k'), Kind::Pair, GST_TAG_ALBUM_VOLUME_NUMBER, GST_TAG_ALBUM_VOLUME_COUNT },
    { fourcc('g', 'n', 'r', 'e'), Kind::Genre, GST_TAG_GENRE, nullptr },
};

const Item *itemOf(guint32 type)
{
    for (const Item &item : kItems)
        if (item.type == type)
            return &item;
    return nullptr;
}

// A date as the tag list holds it: ISO 8601 ("2021", "2021-05-04", with or without a time).
void addDate(GstTagList *tags, const Item &item, const guint8 *value, guint size)
{
    gchar *text = g_strndup(reinterpret_cast<const gchar *>(value), size);
    if (GstDateTime *date = gst_date_time_new_from_iso8601_string(text)) {
        gst_tag_list_add(tags, GST_TAG_MERGE_KEEP, item.tag, date, nullptr);
        gst_date_time_unref(date);
    }
    g_free(text);
}

// The first 'data' box of an item: its type (1: UTF-8 text, 0 or 21: binary numbers) and value.
void addItem(GstTagList *tags, const Item &item, const guint8 *data, guint size)
{
    if (size < 16 || be32(data) < 16 || be32(data) > size || be32(data + 4) != fourcc('d', 'a', 't', 'a'))
        return;
    const guint32 type = be32(data + 8) & 0xFFFFFF;
    const guint8 *value = data + 16;
    const guint length = be32(data) - 16;
    switch (item.kind) {
    case Kind::Text:
    case Kind::Date:
        if (type != 1 || length == 0 || !g_utf8_validate(reinterpret_cast<const gchar *>(value), length, nullptr))
            return;
        if (item.kind == Kind::Date) {
            addDate(tags, item, value, length);
        } else {
            gchar *text = g_strndup(reinterpret_cast<const gchar *>(value), length);
            gst_tag_list_add(tags, GST_TAG_MERGE_KEEP, item.tag, text, nullptr);
            g_free(text);
        }
        return;
    case Kind::Pair: {
        if (length < 6)
            return;
        const guint number = be16(value + 2);
        const guint count = be16(value + 4);
        if (number > 0)
            gst_tag_list_add(tags, GST_TAG_MERGE_KEEP, item.tag, number, nullptr);
        if (count > 0)
            gst_tag_list_add(tags, GST_TAG_MERGE_KEEP, item.countTag, count, nullptr);
        return;
    }
    case Kind::Genre: {
        // A number into the ID3v1 genre list, counted from 1.
        if (length < 2 || be16(value) == 0)
            return;
        if (const gchar *genre = gst_tag_id3_genre_get(be16(value) - 1))
            gst_tag_list_add(tags, GST_TAG_MERGE_KEEP, item.tag, genre, nullptr);
        return;
    }
    }
}

} // namespace

GstTagList *mp4ReadTags(Mp4Input *input, const Mp4Movie *movie)
{
    GstTagList *tags = gst_tag_list_new_empty();
    gst_tag_list_set_scope(tags, GST_TAG_SCOPE_GLOBAL);
    const guint64 end = movie->ilstOffset + movie->ilstSize;
    guint64 offset = movie->ilstOffset;
    for (guint n = 0; n < kMaxItems && offset + 8 <= end; ++n) {
        guint8 header[8];
        if (!mp4Read(input, offset, 8, header))
            break;
        const guint32 size = be32(header);
        if (size < 8 || size > end - offset)
            break;
        const Item *item = itemOf(be32(header + 4));
        if (item && size >= 24 && size - 8 <= kMaxItemSize) {
            guint8 *data = static_cast<guint8 *>(g_malloc(size - 8));
            if (mp4Read(input, offset + 8, size - 8, data))
                addItem(tags, *item, data, size - 8);
            g_free(data);
        }
        offset += size;
    }
    return tags;
}
