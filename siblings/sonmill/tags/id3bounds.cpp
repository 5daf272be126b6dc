#include "sonmill/tags/id3bounds.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace sonmill::Id3Bounds {
namespace {

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t synchsafe(const unsigned char *p)
{
    return (std::uint32_t(p[0] & 0x7f) << 21) | (std::uint32_t(p[1] & 0x7f) << 14) | (std::uint32_t(p[2] & 0x7f) << 7)
        | std::uint32_t(p[3] & 0x7f);
}

std::uint32_t bigEndian(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
}

// Inflates up to `length` stored bytes from the file's position, counting what comes out and
// keeping none of it; true when the whole stream stays within the limit (a broken stream
// counts what it gave before it broke).
bool inflatesWithinLimit(std::FILE *file, std::uint64_t length)
{
    z_stream stream {};
    if (inflateInit(&stream) != Z_OK)
        return false;
    std::vector<unsigned char> in(64 * 1024);
    std::vector<unsigned char> out(64 * 1024);
    std::uint64_t inflated = 0;
    int status = Z_OK;
    while (length > 0 && status == Z_OK && inflated <= kMaxInflatedFrameBytes) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, in.size()));
        const std::size_t got = std::fread(in.data(), 1, want, file);
        if (got == 0)
            break;
        length -= got;
        stream.next_in = in.data();
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            status = inflate(&stream, Z_NO_FLUSH);
            inflated += out.size() - stream.avail_out;
        } while (status == Z_OK && stream.avail_out == 0 && inflated <= kMaxInflatedFrameBytes);
    }
    inflateEnd(&stream);
    return inflated <= kMaxInflatedFrameBytes;
}

} // namespace

FrameKeys oversizedFrames(const char *path)
{
    FrameKeys oversized;
    File file(std::fopen(path, "rb"));
    unsigned char header[10];
    if (!file || std::fread(header, 1, 10, file.get()) != 10 || std::memcmp(header, "ID3", 3) != 0)
        return oversized;
    const int version = header[3];
    if (version != 3 && version != 4)
        return oversized; // ID3v2.2 has no compressed frames
    const bool wholeTagUnsynchronised = version == 3 && (header[5] & 0x80);
    const std::uint64_t end = 10 + std::uint64_t(synchsafe(header + 6));
    std::uint64_t at = 10;
    if (header[5] & 0x40) { // an extended header before the frames
        unsigned char size[4];
        if (std::fread(size, 1, 4, file.get()) != 4)
            return oversized;
        at += version == 3 ? 4 + bigEndian(size) : synchsafe(size);
    }
    while (at + 10 <= end) {
        unsigned char frame[10];
        if (std::fseek(file.get(), static_cast<long>(at), SEEK_SET) != 0 || std::fread(frame, 1, 10, file.get()) != 10)
            break;
        if (frame[0] == 0) // padding
            break;
        const std::uint32_t size = version == 4 ? synchsafe(frame + 4) : bigEndian(frame + 4);
        const bool compressed = version == 4 ? (frame[9] & 0x08) : (frame[9] & 0x80);
        if (compressed) {
            // The stored bytes after what comes before the deflated stream.
            int before = 0;
            if (version == 3)
                before = 4 + ((frame[9] & 0x40) ? 1 : 0) + ((frame[9] & 0x20) ? 1 : 0);
            else
                before = ((frame[9] & 0x40) ? 1 : 0) + ((frame[9] & 0x04) ? 1 : 0) + ((frame[9] & 0x01) ? 4 : 0);
            const bool judged = !wholeTagUnsynchronised && !(version == 4 && (frame[9] & 0x02))
                && std::uint64_t(size) > std::uint64_t(before)
                && std::fseek(file.get(), static_cast<long>(at + 10 + before), SEEK_SET) == 0;
            if (!judged || !inflatesWithinLimit(file.get(), size - before))
                oversized.insert({ std::string(reinterpret_cast<const char *>(frame), 4), size });
        }
        at += 10 + std::uint64_t(size);
    }
    return oversized;
}

} // namespace sonmill::Id3Bounds
