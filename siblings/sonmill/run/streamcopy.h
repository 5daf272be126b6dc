#pragma once

#include "sonmill/base/failure.h"
#include "sonmill/base/outputformat.h"
#include "sonmill/cli/console.h"
#include "sonmill/source/source.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace sonmill {

// "-acodec copy" for coded streams: the input's first audio stream goes into the output
// without being decoded, when the output's format holds that coding: MP3 and MP2 frames
// as they are, AAC as ADTS frames or in an MPEG-4 file, Vorbis in Ogg.
class StreamCopy
{
public:
    static bool canCopy(const CodedAudio &coded, Container container);
    // Frame files (MP3, MP2, ADTS) can be cut to a range, to the frame; muxed ones are
    // only copied whole.
    static bool canTrim(Container container);

    StreamCopy(Console &console, std::chrono::milliseconds stallLimit);
    ~StreamCopy();
    StreamCopy(const StreamCopy &) = delete;
    StreamCopy &operator=(const StreamCopy &) = delete;

    std::optional<Failure> run(const std::string &input, const std::string &output, Container container,
        const CodedAudio &coded, std::int64_t startNs, std::optional<std::int64_t> lengthNs);

    // Length copied, for the summary.
    std::int64_t copiedNs() const { return m_copiedNs; }

private:
    static void onPadAdded(GstElement *decodebin, GstPad *pad, gpointer self);
    static int onAutoplugSelect(GstElement *, GstPad *, GstCaps *, GstElementFactory *factory, gpointer);
    static GstPadProbeReturn onBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer self);

    Console &m_console;
    std::chrono::milliseconds m_stallLimit;
    media::ElementPtr m_pipeline;
    GstElement *m_head = nullptr; // first element of our chain, fed by decodebin
    CodedAudio m_coded;
    std::string m_output;
    std::int64_t m_startNs = 0;
    std::int64_t m_stopNs = -1;
    // Written on the streaming thread, read by the waiting one.
    std::atomic<bool> m_linked { false };
    std::atomic<bool> m_pastStop { false };
    std::atomic<std::int64_t> m_copiedNs { 0 };
};

} // namespace sonmill
