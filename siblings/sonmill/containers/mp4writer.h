#pragma once

#include "sonmill/base/filewriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sonmill {

// Writes one AAC or Apple Lossless track into an MPEG-4 audio file (.m4a): the frames go into 'mdat' as
// they come; the sample tables ('moov') follow at the end, when every frame size is
// known. Only the frame sizes are kept in memory (two bytes per frame), so the memory
// used grows by little more than a kilobyte per minute of audio.
class Mp4Writer
{
public:
    struct Track
    {
        int rate = 0;
        int channels = 0;
        std::vector<std::uint8_t> decoderConfig; // the AudioSpecificConfig
        std::uint32_t frameSamples = 1024;
        std::uint32_t averageBitrate = 0;
        std::size_t expectedFrames = 0; // AAC frames to make room for; 0 if unknown
        // Apple Lossless: its configuration (non-empty makes the track an 'alac' one, the
        // decoder configuration above unused) and the sample size it codes.
        std::vector<std::uint8_t> alacCookie;
        int bitsPerSample = 16;
    };

    bool open(const std::string &path, const Track &track);
    // False once the file refuses a write.
    bool addFrame(const std::uint8_t *data, std::size_t size);
    // primingSamples: decoded samples to skip at the start (the encoder's delay);
    // validSamples: samples that carry the audio. Both go into an edit list, so decoders
    // give back exactly the samples that went in.
    bool finish(std::uint64_t primingSamples, std::uint64_t validSamples);
    // The Apple Lossless configuration as it stands at the end (its largest packet and
    // average rate are known only then); call before finish().
    void setAlacCookie(const std::vector<std::uint8_t> &cookie) { m_track.alacCookie = cookie; }

    std::uint64_t size() const { return m_file.size(); }
    bool failed() const { return m_file.failed(); }
    int error() const { return m_file.error(); }

private:
    // Writes the final size into the 'mdat' header, in its 64-bit form past 4 GiB.
    void closeMediaData(std::uint64_t mdatSize);

    FileWriter m_file;
    Track m_track;
    std::vector<std::uint16_t> m_frameSizes;
    std::uint64_t m_mdatStart = 0; // offset of the 'mdat' box header
    std::uint32_t m_largestFrame = 0;
};

} // namespace sonmill
