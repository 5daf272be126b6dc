#pragma once

namespace sonmill {

struct ReplayGainFields;

// The tags as the tag module receives them: plain C strings (never null, maybe empty).
struct TagFields
{
    const char *title;
    const char *artist;
    const char *album;
    const char *albumArtist;
    const char *date;
    const char *genre;
    const char *comment;
    unsigned track;
    unsigned trackCount;
    unsigned disc;
    unsigned discCount;
    const ReplayGainFields *replayGain; // null when none are written
};

} // namespace sonmill
