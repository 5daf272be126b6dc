#pragma once

#include "media/gstptr.h"
#include "media/losterrors.h"
#include "sonmill/audio/audiochain.h"
#include "sonmill/base/failure.h"
#include "sonmill/source/blockqueue.h"
#include "sonmill/source/durationscan.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sonmill {

// The audio stream as it is coded in the file, before its decoder.
struct CodedAudio
{
    std::string mediaType; // e.g. "audio/mpeg", "audio/x-vorbis"; empty if never coded
    int mpegVersion = 0;
    int layer = 0;
};

struct SourceInfo
{
    int rate = 0;
    int channels = 0;
    std::vector<GstAudioChannelPosition> positions; // one per channel, never NONE
    GstAudioFormat decodedFormat = GST_AUDIO_FORMAT_UNKNOWN; // what the decoder gives, before float
    CodedAudio coded;
    std::optional<std::int64_t> durationNs; // known only when the container says so
    std::optional<ElementaryStream> elementary; // a bare MP3/MP2, ADTS or AC-3 file
    media::TagListPtr tags; // everything the demuxers and parsers found, merged
};

// Opens any file GStreamer's allowed plugins (and our own elements) can decode and
// delivers its first audio stream as float frames (16-bit input may stay integer, see
// start). Runs filesrc ! decodebin ! audioconvert ! audioresample ! appsink; the decoding
// runs on GStreamer's streaming threads while the caller encodes on its own (the two meet
// in a BlockQueue), and every wait is bounded by the stall limit, so a stuck input ends in
// an error rather than a hang.
class Source
{
public:
    ~Source();
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    // Opens and prerolls the file: afterwards its format, length and tags are known.
    // A short run (a probe) decodes no more ahead than it needs.
    // What the blocks hold: float; float or, for 16-bit input, the integers (see start);
    // every sample as a 32-bit integer (exact for integer files of any size, which float
    // is not past 24 bits), as the check of a lossless output reads it; or whatever the
    // decoder gives unconverted (16-bit integers, else 32-bit words of float or integer),
    // for a reader that only counts the frames, as the check of a lossy output does.
    enum class Samples { Float, KeepSixteenBits, Integers, Native };
    static std::variant<std::unique_ptr<Source>, Failure> open(const std::string &path,
        std::chrono::milliseconds stallLimit, bool shortRun = false, Samples samples = Samples::Float);

    const SourceInfo &info() const { return m_info; }

    // Moves to startNs before the first block is read (a flushing, accurate seek); true
    // when it did. An input that cannot seek is read from its start (false); the caller
    // drops what comes before.
    std::variant<bool, Failure> seek(std::int64_t startNs);

    // Starts the flow; call once, after the optional seek. With a chain, the blocks
    // come out processed by it (its channels, rate and volume). With integersWanted, a
    // source opened with keepSixteenBits whose input is 16-bit and whose chain leaves it
    // unchanged gives integer blocks (see integerBlocks).
    std::optional<Failure> start(std::unique_ptr<AudioChain> chain = {}, bool integersWanted = false);
    // After start: the blocks hold integers (DecodedBlock::integerFrames), not floats.
    bool integerBlocks() const { return m_queue && m_queue->holdsIntegers(); }

    // Video, picture and subtitle elements (not demuxers) a decodebin should not plug.
    static bool leavesUndecoded(GstElementFactory *factory);

    // The next block; an empty block (frameCount() == 0 without a failure) is the end.
    // While it waits, whileWaiting (if given) is called about ten times a second.
    std::variant<DecodedBlock, Failure> next(const std::function<void()> &whileWaiting = {});

private:
    Source(std::chrono::milliseconds stallLimit);

    std::optional<Failure> build(const std::string &path);
    std::optional<Failure> waitForAsyncDone();
    std::optional<Failure> readInfo(const std::string &path);
    void takeTags(GstMessage *message);
    // error may be null: a failure without a message.
    Failure failureFrom(GstMessage *error) const;
    std::optional<Failure> pendingError();

    static void onPadAdded(GstElement *decodebin, GstPad *pad, gpointer self);
    static GstFlowReturn onNewSample(GstAppSink *sink, gpointer self);
    static void onEndOfStream(GstAppSink *sink, gpointer self);
    static gboolean onAutoplugContinue(GstElement *decodebin, GstPad *pad, GstCaps *caps, gpointer self);
    static gboolean onAutoplugQuery(
        GstElement *decodebin, GstPad *pad, GstElement *element, GstQuery *query, gpointer self);
    static int onAutoplugSelect(
        GstElement *decodebin, GstPad *pad, GstCaps *caps, GstElementFactory *factory, gpointer self);

    CodedAudio m_coded; // written on a streaming thread, under m_mutex

    std::chrono::milliseconds m_stallLimit;
    media::ElementPtr m_pipeline;
    GstElement *m_convert = nullptr; // owned by the pipeline
    GstElement *m_filter = nullptr;
    GstElement *m_sink = nullptr;
    media::BusPtr m_bus;
    std::unique_ptr<media::LostErrors> m_lostErrors; // made with the pipeline
    SourceInfo m_info;
    bool m_shortRun = false;
    bool m_keepSixteenBits = false;
    bool m_allIntegers = false; // Samples::Integers
    bool m_native = false; // Samples::Native
    bool m_sixteenBits = false; // the appsink gets 16-bit integers; fixed by start()
    std::vector<float> m_widened; // 16-bit input made float, streaming thread only
    std::unique_ptr<AudioChain> m_chain; // used on the streaming thread only, once started
    std::unique_ptr<BlockQueue> m_queue; // made by start(), once the format is known
    bool m_endedEarly = false; // the stream ended before start(); under m_mutex

    // Written on streaming threads while the pipeline prerolls, read after.
    mutable std::mutex m_mutex;
    bool m_audioLinked = false;
    bool m_otherStreams = false;
    std::string m_firstMediaType; // what the file is, tag wrappers aside
    int m_firstMpegVersion = 0;
    std::string m_firstStreamFormat;
};

} // namespace sonmill
