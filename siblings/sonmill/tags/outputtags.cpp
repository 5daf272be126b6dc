#include "sonmill/tags/outputtags.h"

#include "sonmill/tags/coverfile.h"
#include "sonmill/tags/tagwriter.h"

namespace sonmill {

TagSet sourceTags(const std::string &path, const GstTagList *demuxerTags)
{
    TagSet tags = readTags(path).value_or(TagSet {});
    if (tags.fields().empty() && tags.pictures().empty())
        tags = tagSetFrom(demuxerTags);
    if (tags.pictures().empty())
        if (std::optional<Picture> cover = coverBeside(path))
            tags.addPicture(std::move(*cover));
    return tags;
}

void fitTagsToOutput(TagSet &tags, const AudioChanges &changes, const TagValues &values)
{
    if (changes.volume || changes.range)
        tags.removeRole(TagRole::Loudness);
    if (changes.encoding)
        tags.removeRole(TagRole::Encoding);
    applyTagValues(tags, values);
}

} // namespace sonmill
