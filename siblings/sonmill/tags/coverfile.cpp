#include "sonmill/tags/coverfile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <dirent.h>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

namespace sonmill {
namespace {

constexpr std::array<const char *, 3> kNames = { "cover", "folder", "front" };
constexpr std::array<const char *, 3> kExtensions = { ".jpg", ".jpeg", ".png" };
// The largest picture a FLAC block holds; larger ones are left beside the file.
constexpr off_t kMaxPictureBytes = 16 * 1024 * 1024 - 1024;

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rank of a file name among the cover names (lower is preferred), -1 for others.
int rankOf(const char *name)
{
    for (std::size_t n = 0; n < kNames.size(); ++n)
        for (std::size_t e = 0; e < kExtensions.size(); ++e) {
            const std::string wanted = std::string(kNames[n]) + kExtensions[e];
            if (strcasecmp(name, wanted.c_str()) == 0)
                return static_cast<int>(n * kExtensions.size() + e);
        }
    return -1;
}

std::optional<std::string> readWhole(const std::string &path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0
        || status.st_size > kMaxPictureBytes)
        return std::nullopt;
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rbe"), std::fclose);
    if (!file)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<Picture> coverBeside(const std::string &sourcePath)
{
    const std::string folder = folderOf(sourcePath);
    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    // Candidates in order of preference; a file that is no JPEG or PNG gives way to the next.
    std::vector<std::pair<int, std::string>> found;
    while (const dirent *entry = ::readdir(dir.get()))
        if (const int rank = rankOf(entry->d_name); rank >= 0)
            found.emplace_back(rank, entry->d_name);
    std::sort(found.begin(), found.end());
    for (const auto &[rank, name] : found) {
        std::optional<std::string> bytes = readWhole(folder + "/" + name);
        if (!bytes)
            continue;
        const std::string_view mime = TagMap::mimeOfPicture(*bytes);
        if (mime != "image/jpeg" && mime != "image/png")
            continue;
        return Picture { Picture::kFrontCover, std::string(mime), {}, std::move(*bytes) };
    }
    return std::nullopt;
}

} // namespace sonmill
