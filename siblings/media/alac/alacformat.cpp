#include "media/alac/alacformat.h"

namespace Alac {
namespace {

std::uint32_t be32(const std::uint8_t *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void putBe32(std::uint8_t *p, std::uint32_t value)
{
    p[0] = std::uint8_t(value >> 24);
    p[1] = std::uint8_t(value >> 16);
    p[2] = std::uint8_t(value >> 8);
    p[3] = std::uint8_t(value);
}

bool isAtom(const std::uint8_t *data, std::size_t size, const char *name)
{
    return size >= 12 && data[4] == name[0] && data[5] == name[1] && data[6] == name[2] && data[7] == name[3];
}

} // namespace

bool parseCookie(const std::uint8_t *data, std::size_t size, Config &config)
{
    // 'frma' (12 bytes: size, name, format) and an 'alac' atom header (12 bytes: size, name,
    // version and flags) may stand in front of the configuration.
    if (isAtom(data, size, "frma")) {
        data += 12;
        size -= 12;
    }
    if (isAtom(data, size, "alac")) {
        data += 12;
        size -= 12;
    }
    if (size < kCookieSize)
        return false;
    config.frameLength = be32(data);
    config.compatibleVersion = data[4];
    config.bitDepth = data[5];
    config.pb = data[6];
    config.mb = data[7];
    config.kb = data[8];
    config.channels = data[9];
    config.maxRun = std::uint16_t((data[10] << 8) | data[11]);
    config.maxFrameBytes = be32(data + 12);
    config.avgBitRate = be32(data + 16);
    config.sampleRate = be32(data + 20);
    const bool depthKnown
        = config.bitDepth == 16 || config.bitDepth == 20 || config.bitDepth == 24 || config.bitDepth == 32;
    return config.compatibleVersion == 0 && depthKnown && config.channels >= 1 && config.channels <= 8
        && config.frameLength >= 1 && config.frameLength <= 65536 && config.kb >= 1 && config.kb <= 24;
}

void renderCookie(const Config &config, std::uint8_t (&out)[kCookieSize])
{
    putBe32(out, config.frameLength);
    out[4] = config.compatibleVersion;
    out[5] = config.bitDepth;
    out[6] = config.pb;
    out[7] = config.mb;
    out[8] = config.kb;
    out[9] = config.channels;
    out[10] = std::uint8_t(config.maxRun >> 8);
    out[11] = std::uint8_t(config.maxRun);
    putBe32(out + 12, config.maxFrameBytes);
    putBe32(out + 16, config.avgBitRate);
    putBe32(out + 20, config.sampleRate);
}

} // namespace Alac
