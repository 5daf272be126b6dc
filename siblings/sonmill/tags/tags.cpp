#include "sonmill/tags/tags.h"

#include "media/gstptr.h"

#include <algorithm>
#include <cstdio>

namespace sonmill {
namespace {

const TagSet::Values kNoValues;

// "3/12" in a number field: the number, and the total when the set has none yet.
bool splitsTotal(std::string_view key)
{
    return key == "TRACKNUMBER" || key == "DISCNUMBER";
}
std::string totalKeyOf(std::string_view numberKey)
{
    return numberKey == "TRACKNUMBER" ? "TRACKTOTAL" : "DISCTOTAL";
}

void addGstStrings(TagSet &set, const GstTagList *tags, const char *tag, std::string_view key)
{
    const guint count = gst_tag_list_get_tag_size(tags, tag);
    for (guint i = 0; i < count; ++i) {
        gchar *value = nullptr;
        if (gst_tag_list_get_string_index(tags, tag, i, &value) && value) {
            media::CharPtr owned(value);
            set.add(key, value);
        }
    }
}

void addGstNumber(TagSet &set, const GstTagList *tags, const char *tag, std::string_view key)
{
    guint value = 0;
    if (gst_tag_list_get_uint(tags, tag, &value) && value > 0)
        set.add(key, std::to_string(value));
}

std::string gstDate(const GstTagList *tags)
{
    GstDateTime *dateTime = nullptr;
    if (gst_tag_list_get_date_time(tags, GST_TAG_DATE_TIME, &dateTime) && dateTime) {
        std::string result;
        if (gst_date_time_has_year(dateTime)) {
            // Date only: a time of day would not fit most tag formats' date field.
            char buffer[16];
            if (gst_date_time_has_day(dateTime))
                g_snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", gst_date_time_get_year(dateTime),
                    gst_date_time_get_month(dateTime), gst_date_time_get_day(dateTime));
            else if (gst_date_time_has_month(dateTime))
                g_snprintf(buffer, sizeof buffer, "%04d-%02d", gst_date_time_get_year(dateTime),
                    gst_date_time_get_month(dateTime));
            else
                g_snprintf(buffer, sizeof buffer, "%04d", gst_date_time_get_year(dateTime));
            result = buffer;
        }
        gst_date_time_unref(dateTime);
        if (!result.empty())
            return result;
    }
    GDate *day = nullptr;
    if (gst_tag_list_get_date(tags, GST_TAG_DATE, &day) && day) {
        char buffer[16];
        g_snprintf(
            buffer, sizeof buffer, "%04d-%02d-%02d", g_date_get_year(day), g_date_get_month(day), g_date_get_day(day));
        g_date_free(day);
        return buffer;
    }
    return {};
}

} // namespace

void TagSet::set(std::string_view key, const Values &values)
{
    const std::string canonical = TagMap::canonicalKey(key);
    m_fields.erase(canonical);
    for (const std::string &value : values)
        add(canonical, value);
}

void TagSet::add(std::string_view key, const std::string &value)
{
    if (value.empty())
        return;
    const std::string canonical = TagMap::canonicalKey(key);
    if (canonical.empty())
        return;
    if (splitsTotal(canonical)) {
        if (const auto slash = value.find('/'); slash != std::string::npos) {
            const std::string total = value.substr(slash + 1);
            if (!total.empty() && values(totalKeyOf(canonical)).empty())
                m_fields[totalKeyOf(canonical)].push_back(total);
            if (slash > 0)
                m_fields[canonical].push_back(value.substr(0, slash));
            return;
        }
    }
    m_fields[canonical].push_back(value);
}

void TagSet::remove(std::string_view key)
{
    m_fields.erase(TagMap::canonicalKey(key));
}

const TagSet::Values &TagSet::values(std::string_view key) const
{
    const auto found = m_fields.find(TagMap::canonicalKey(key));
    return found == m_fields.end() ? kNoValues : found->second;
}

void TagSet::removeRole(TagRole role)
{
    std::erase_if(m_fields, [role](const auto &field) { return TagMap::roleOf(field.first) == role; });
}

void TagSet::addPicture(Picture picture)
{
    if (!picture.data.empty())
        m_pictures.push_back(std::move(picture));
}

std::size_t TagSet::byteSize() const
{
    // With what the formats put around each value and picture (lengths, separators, the
    // picture's header fields), at most.
    constexpr std::size_t kPerValue = 16;
    constexpr std::size_t kPerPicture = 64;
    std::size_t bytes = 0;
    for (const auto &[key, values] : m_fields)
        for (const std::string &value : values)
            bytes += key.size() + value.size() + kPerValue;
    for (const Picture &picture : m_pictures)
        bytes += picture.mime.size() + picture.description.size() + picture.data.size() + kPerPicture;
    return bytes;
}

void applyTagValues(TagSet &tags, const TagValues &values)
{
    // The first entry of a key replaces the source's values; later ones add to it.
    std::vector<std::string> replaced;
    for (const auto &[key, value] : values) {
        const std::string canonical = TagMap::canonicalKey(key);
        if (std::find(replaced.begin(), replaced.end(), canonical) == replaced.end()) {
            tags.remove(canonical);
            if (splitsTotal(canonical))
                tags.remove(totalKeyOf(canonical));
            replaced.push_back(canonical);
        }
        tags.add(canonical, value);
    }
}

TagSet tagSetFrom(const GstTagList *tags)
{
    TagSet set;
    if (!tags)
        return set;
    addGstStrings(set, tags, GST_TAG_TITLE, "TITLE");
    addGstStrings(set, tags, GST_TAG_ARTIST, "ARTIST");
    addGstStrings(set, tags, GST_TAG_ALBUM, "ALBUM");
    addGstStrings(set, tags, GST_TAG_ALBUM_ARTIST, "ALBUMARTIST");
    set.add("DATE", gstDate(tags));
    addGstStrings(set, tags, GST_TAG_GENRE, "GENRE");
    addGstStrings(set, tags, GST_TAG_COMMENT, "COMMENT");
    addGstStrings(set, tags, GST_TAG_COMPOSER, "COMPOSER");
    addGstStrings(set, tags, GST_TAG_CONDUCTOR, "CONDUCTOR");
    addGstStrings(set, tags, GST_TAG_LYRICS, "LYRICS");
    addGstStrings(set, tags, GST_TAG_COPYRIGHT, "COPYRIGHT");
    addGstStrings(set, tags, GST_TAG_ISRC, "ISRC");
    addGstStrings(set, tags, GST_TAG_GROUPING, "GROUPING");
    addGstStrings(set, tags, GST_TAG_ORGANIZATION, "LABEL");
    addGstNumber(set, tags, GST_TAG_TRACK_NUMBER, "TRACKNUMBER");
    addGstNumber(set, tags, GST_TAG_TRACK_COUNT, "TRACKTOTAL");
    addGstNumber(set, tags, GST_TAG_ALBUM_VOLUME_NUMBER, "DISCNUMBER");
    addGstNumber(set, tags, GST_TAG_ALBUM_VOLUME_COUNT, "DISCTOTAL");
    return set;
}

} // namespace sonmill
