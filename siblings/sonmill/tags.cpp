#include "sonmill/tags.h"

#include "media/gstptr.h"

namespace sonmill {
namespace {

std::string text(const GstTagList *tags, const char *tag)
{
    gchar *value = nullptr;
    if (!gst_tag_list_get_string(tags, tag, &value))
        return {};
    media::CharPtr owned(value);
    return value ? std::string(value) : std::string();
}

unsigned number(const GstTagList *tags, const char *tag)
{
    guint value = 0;
    return gst_tag_list_get_uint(tags, tag, &value) ? value : 0;
}

std::string date(const GstTagList *tags)
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

bool TagSet::empty() const
{
    return title.empty() && artist.empty() && album.empty() && albumArtist.empty() && date.empty() && genre.empty()
        && comment.empty() && track == 0 && trackCount == 0 && disc == 0 && discCount == 0;
}

TagSet tagSetFrom(const GstTagList *tags)
{
    TagSet set;
    if (!tags)
        return set;
    set.title = text(tags, GST_TAG_TITLE);
    set.artist = text(tags, GST_TAG_ARTIST);
    set.album = text(tags, GST_TAG_ALBUM);
    set.albumArtist = text(tags, GST_TAG_ALBUM_ARTIST);
    set.date = date(tags);
    set.genre = text(tags, GST_TAG_GENRE);
    set.comment = text(tags, GST_TAG_COMMENT);
    set.track = number(tags, GST_TAG_TRACK_NUMBER);
    set.trackCount = number(tags, GST_TAG_TRACK_COUNT);
    set.disc = number(tags, GST_TAG_ALBUM_VOLUME_NUMBER);
    set.discCount = number(tags, GST_TAG_ALBUM_VOLUME_COUNT);
    return set;
}

} // namespace sonmill
