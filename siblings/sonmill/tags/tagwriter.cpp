#include "sonmill/tags/tagwriter.h"

#include "sonmill/base/modules.h"
#include "sonmill/tags/tagfields.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sonmill {
namespace {

// Room beyond the end of the file for what the tag library adds: the texts and pictures
// (twice over, as UTF-16 and Base64 take them), the frames around them, padding and the
// pages or boxes rewritten.
off_t roomFor(const TagSet &tags)
{
    constexpr off_t kOverhead = 64 * 1024;
    return kOverhead + 2 * static_cast<off_t>(tags.byteSize());
}

// Sets bytes aside past the end of the file without changing its size. False only when
// the disk has no room for them (a file system that cannot set space aside is left be).
bool reserveBeyondEnd(const std::string &path, off_t bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return true; // the tag library will meet the same and leave the file alone
    struct stat status = {};
    bool room = true;
    if (::fstat(fd, &status) == 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, status.st_size, bytes) != 0)
        room = errno != ENOSPC && errno != EDQUOT && errno != EFBIG;
    ::close(fd);
    return room;
}

// Gives back what is left of it: tmpfs frees it for a punched hole, ext4 for a truncation
// to the file's own size.
void releaseBeyondEnd(const std::string &path, off_t bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat status = {};
    if (::fstat(fd, &status) == 0) {
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE | FALLOC_FL_PUNCH_HOLE, status.st_size, bytes);
        [[maybe_unused]] const int truncated = ::ftruncate(fd, status.st_size);
    }
    ::close(fd);
}

void takeText(void *context, const char *key, const char *value)
{
    static_cast<TagSet *>(context)->add(key, value);
}

void takePicture(void *context, const TagPictureData *picture)
{
    static_cast<TagSet *>(context)->addPicture({ picture->type, picture->mime, picture->description,
        std::string(reinterpret_cast<const char *>(picture->data), picture->size) });
}

} // namespace

std::optional<TagSet> readTags(const std::string &path)
{
    auto *read = reinterpret_cast<ReadTagsFunction *>(moduleSymbol("tags", kReadTagsSymbol));
    if (!read)
        return std::nullopt;
    TagSet tags;
    const TagSink sink { &tags, takeText, takePicture };
    if (!read(path.c_str(), &sink))
        return std::nullopt;
    return tags;
}

std::optional<Failure> writeTags(const std::string &path, Container container, const TagSet &tags)
{
    // AU and a bare AC-3 stream have no place for tags.
    if (tags.empty() || container == Container::Au || container == Container::Ac3)
        return std::nullopt;
    // The tag library rewrites the file in place and does not report a write the disk
    // refused: a disk that filled up half way would leave the audio damaged under its final
    // name. With the room set aside first, no write of the rewrite can fail for lack of it.
    const off_t room = roomFor(tags);
    if (!reserveBeyondEnd(path, room))
        return Failures::kWrite;
    auto *write = reinterpret_cast<WriteTagsFunction *>(moduleSymbol("tags", kWriteTagsSymbol));
    if (write) {
        std::vector<TagText> texts;
        for (const auto &[key, values] : tags.fields())
            for (const std::string &value : values)
                texts.push_back({ key.c_str(), value.c_str() });
        std::vector<TagPictureData> pictures;
        for (const Picture &picture : tags.pictures())
            pictures.push_back({ picture.type, picture.mime.c_str(), picture.description.c_str(),
                reinterpret_cast<const unsigned char *>(picture.data.data()), picture.data.size() });
        const TagFields fields { texts.data(), texts.size(), pictures.data(), pictures.size() };
        write(path.c_str(), container, &fields);
    }
    releaseBeyondEnd(path, room);
    return std::nullopt;
}

} // namespace sonmill
