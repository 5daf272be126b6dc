#include "sonmill/tagwriter.h"

#include "sonmill/modules.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonmill {
namespace {

// Room beyond the end of the file for what the tag library adds: the texts (twice over, as
// UTF-16 takes them), the frames around them, padding and the pages or boxes rewritten.
off_t roomFor(const TagSet &tags)
{
    constexpr off_t kOverhead = 64 * 1024;
    const std::size_t text = tags.title.size() + tags.artist.size() + tags.album.size() + tags.albumArtist.size()
        + tags.date.size() + tags.genre.size() + tags.comment.size();
    return kOverhead + 2 * static_cast<off_t>(text);
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

} // namespace

std::optional<Failure> writeTags(
    const std::string &path, Container container, const TagSet &tags, const ReplayGainFields &replayGain)
{
    // AU and a bare AC-3 stream have no place for tags.
    if ((tags.empty() && replayGain.empty()) || container == Container::Au || container == Container::Ac3)
        return std::nullopt;
    // The tag library rewrites the file in place and does not report a write the disk
    // refused: a disk that filled up half way would leave the audio damaged under its final
    // name. With the room set aside first, no write of the rewrite can fail for lack of it.
    const off_t room = roomFor(tags);
    if (!reserveBeyondEnd(path, room))
        return Failures::kWrite;
    auto *write = reinterpret_cast<WriteTagsFunction *>(moduleSymbol("tags", kWriteTagsSymbol));
    if (write) {
        const TagFields fields { tags.title.c_str(), tags.artist.c_str(), tags.album.c_str(), tags.albumArtist.c_str(),
            tags.date.c_str(), tags.genre.c_str(), tags.comment.c_str(), tags.track, tags.trackCount, tags.disc,
            tags.discCount, replayGain.empty() ? nullptr : &replayGain };
        write(path.c_str(), container, &fields);
    }
    releaseBeyondEnd(path, room);
    return std::nullopt;
}

} // namespace sonmill
