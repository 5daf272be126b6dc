#include "sonmill/tagwriter.h"

#include "sonmill/modules.h"

namespace sonmill {

bool writeTags(const std::string &path, Container container, const TagSet &tags)
{
    // AU and a bare AC-3 stream have no place for tags.
    if (tags.empty() || container == Container::Au || container == Container::Ac3)
        return true;
    auto *write = reinterpret_cast<WriteTagsFunction *>(moduleSymbol("tags", kWriteTagsSymbol));
    if (!write)
        return false;
    const TagFields fields { tags.title.c_str(), tags.artist.c_str(), tags.album.c_str(), tags.albumArtist.c_str(),
        tags.date.c_str(), tags.genre.c_str(), tags.comment.c_str(), tags.track, tags.trackCount, tags.disc,
        tags.discCount };
    return write(path.c_str(), container, &fields);
}

} // namespace sonmill
