#pragma once

#include "mp4movie.h"

// The usual tags from an iTunes-style tag list ('ilst' under moov/udta/meta): title,
// artist, album, album artist, track, disc, date, genre and comment, by GStreamer's tag
// names and types. Pictures and other large items are passed over unread. Never null.
GstTagList *mp4ReadTags(Mp4Input *input, const Mp4Movie *movie);
