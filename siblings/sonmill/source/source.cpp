#include "sonmill/source/source.h"

#include "media/demuxerchoice.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

namespace sonmill {
namespace {

constexpr GstClockTime kPollInterval = 100 * GST_MSECOND;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool isTagWrapper(std::string_view mediaType)
{
    return mediaType == "application/x-id3" || mediaType == "application/x-apetag";
}

// The caller can ask GStreamer's own words on an error, which may hold paths; never by default.
void printDebugDetail(GError *error, const gchar *debug)
{
    if (!std::getenv("TOLM_GST_DEBUG"))
        return;
    std::fprintf(stderr, "[gstreamer] %s\n[gstreamer] %s\n", error ? error->message : "", debug ? debug : "");
}

std::vector<GstAudioChannelPosition> positionsOf(const GstAudioInfo &info)
{
    const int channels = GST_AUDIO_INFO_CHANNELS(&info);
    std::vector<GstAudioChannelPosition> positions(static_cast<std::size_t>(channels));
    if (channels == 1) {
        positions[0] = GST_AUDIO_CHANNEL_POSITION_MONO;
        return positions;
    }
    if (!GST_AUDIO_INFO_IS_UNPOSITIONED(&info)) {
        std::copy(info.position, info.position + channels, positions.begin());
        return positions;
    }
    // Unpositioned channels: read them the way a WAV file lays them out.
    const guint64 mask = gst_audio_channel_get_fallback_mask(channels);
    if (!gst_audio_channel_positions_from_mask(channels, mask, positions.data()))
        std::fill(positions.begin(), positions.end(), GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER);
    return positions;
}

} // namespace

Source::Source(std::chrono::milliseconds stallLimit)
    : m_stallLimit(stallLimit)
{ }

Source::~Source()
{
    if (m_queue)
        m_queue->close(); // a streaming thread waiting for room must not hold up the stop
    if (m_pipeline)
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
}

std::variant<std::unique_ptr<Source>, Failure> Source::open(
    const std::string &path, std::chrono::milliseconds stallLimit, bool shortRun, Samples samples)
{
    std::unique_ptr<Source> source(new Source(stallLimit));
    source->m_shortRun = shortRun;
    source->m_keepSixteenBits = samples == Samples::KeepSixteenBits;
    source->m_allIntegers = samples == Samples::Integers;
    source->m_native = samples == Samples::Native;
    if (auto failure = source->build(path))
        return *failure;
    if (gst_element_set_state(source->m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        if (auto failure = source->pendingError())
            return *failure;
        return Failures::kInputUnreadable;
    }
    if (auto failure = source->waitForAsyncDone())
        return *failure;
    if (auto failure = source->readInfo(path))
        return *failure;
    return source;
}

std::optional<Failure> Source::build(const std::string &path)
{
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    m_lostErrors = std::make_unique<media::LostErrors>(m_pipeline.get());
    media::ElementPtr fileSource = media::makeElement("filesrc");
    media::ElementPtr decodebin = media::makeElement("decodebin");
    media::ElementPtr convert = media::makeElement("audioconvert");
    // audioresample only matters should the rate change within the stream; a probe's
    // millisecond does without it (and without loading it).
    media::ElementPtr resample = m_shortRun ? media::makeElement("identity") : media::makeElement("audioresample");
    media::ElementPtr filter = media::makeElement("capsfilter");
    media::ElementPtr sink = media::makeElement("appsink");
    if (!m_pipeline || !fileSource || !decodebin || !convert || !resample || !filter || !sink)
        return Failures::kGStreamer;

    g_object_set(fileSource.get(), "location", path.c_str(), nullptr);
    media::CapsPtr floatCaps(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING,
        m_allIntegers ? GST_AUDIO_NE(S32) : GST_AUDIO_NE(F32), "layout", G_TYPE_STRING, "interleaved", nullptr));
    // audioconvert passes 16-bit input through as it is when the caps allow it, and
    // makes anything else float.
    if (m_keepSixteenBits || m_native)
        gst_caps_append(floatCaps.get(),
            gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, GST_AUDIO_NE(S16), "layout", G_TYPE_STRING,
                "interleaved", nullptr));
    if (m_native)
        gst_caps_append(floatCaps.get(),
            gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, GST_AUDIO_NE(S32), "layout", G_TYPE_STRING,
                "interleaved", nullptr));
    g_object_set(filter.get(), "caps", floatCaps.get(), nullptr);
    // The decoded buffers go straight on into the block queue (see onNewSample).
    g_object_set(sink.get(), "sync", FALSE, "max-buffers", 1u, "enable-last-sample", FALSE, nullptr);

    m_convert = convert.get();
    m_filter = filter.get();
    m_sink = sink.get();
    GstBin *bin = GST_BIN(m_pipeline.get());
    for (GstElement *element :
        { fileSource.get(), decodebin.get(), convert.get(), resample.get(), filter.get(), sink.get() })
        gst_bin_add(bin, element); // the bin takes its own reference
    if (!gst_element_link(fileSource.get(), decodebin.get())
        || !gst_element_link_many(convert.get(), resample.get(), filter.get(), sink.get(), nullptr))
        return Failures::kGStreamer;

    g_signal_connect(decodebin.get(), "pad-added", G_CALLBACK(onPadAdded), this);
    GstAppSinkCallbacks callbacks {};
    callbacks.new_sample = onNewSample;
    callbacks.eos = onEndOfStream;
    gst_app_sink_set_callbacks(GST_APP_SINK(m_sink), &callbacks, this, nullptr);
    g_signal_connect(decodebin.get(), "autoplug-continue", G_CALLBACK(onAutoplugContinue), this);
    g_signal_connect(decodebin.get(), "autoplug-select", G_CALLBACK(onAutoplugSelect), this);
    g_signal_connect(decodebin.get(), "autoplug-query", G_CALLBACK(onAutoplugQuery), this);
    media::preferOwnDemuxers(decodebin.get(), path.c_str());
    m_bus.reset(gst_pipeline_get_bus(GST_PIPELINE(m_pipeline.get())));
    return std::nullopt;
}

// Runs on a streaming thread: only links the first audio stream and notes the others.
void Source::onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<Source *>(data);
    media::CapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    const bool audio = caps && !gst_caps_is_empty(caps.get())
        && startsWith(gst_structure_get_name(gst_caps_get_structure(caps.get(), 0)), "audio/x-raw");

    std::lock_guard lock(self->m_mutex);
    if (audio && !self->m_audioLinked) {
        media::PadPtr sinkPad(gst_element_get_static_pad(self->m_convert, "sink"));
        self->m_audioLinked = gst_pad_link(pad, sinkPad.get()) == GST_PAD_LINK_OK;
    } else {
        self->m_otherStreams = true;
    }
}

// Runs on a streaming thread: notes what the file is, tag wrappers aside.
gboolean Source::onAutoplugContinue(GstElement *, GstPad *, GstCaps *caps, gpointer data)
{
    auto *self = static_cast<Source *>(data);
    const GstStructure *structure = gst_caps_get_structure(caps, 0);
    const std::string_view mediaType = gst_structure_get_name(structure);
    std::lock_guard lock(self->m_mutex);
    if (self->m_firstMediaType.empty() && !isTagWrapper(mediaType)) {
        self->m_firstMediaType = mediaType;
        gst_structure_get_int(structure, "mpegversion", &self->m_firstMpegVersion);
        if (const gchar *format = gst_structure_get_string(structure, "stream-format"))
            self->m_firstStreamFormat = format;
    }
    return TRUE;
}

// Runs on a streaming thread. Video, pictures and subtitles are left undecoded: the
// output never holds them, so decoding them would only cost time and memory. Demuxers
// are always tried, whatever their type says, since audio may lie inside.
int Source::onAutoplugSelect(GstElement *, GstPad *pad, GstCaps *caps, GstElementFactory *factory, gpointer data)
{
    enum { kTry = 0, kExpose = 1, kSkip = 2 }; // decodebin's GstAutoplugSelectResult
    if (media::skipsParserAfterMp4(pad, caps, factory))
        return kSkip;
    const char *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    const std::string_view kind = klass ? klass : "";
    if (kind.find("Decoder") != std::string_view::npos && kind.find("Audio") != std::string_view::npos) {
        // What the audio decoder gets is the stream as the file codes it.
        auto *self = static_cast<Source *>(data);
        const GstStructure *structure = gst_caps_get_structure(caps, 0);
        std::lock_guard lock(self->m_mutex);
        if (self->m_coded.mediaType.empty()) {
            self->m_coded.mediaType = gst_structure_get_name(structure);
            gst_structure_get_int(structure, "mpegversion", &self->m_coded.mpegVersion);
            gst_structure_get_int(structure, "layer", &self->m_coded.layer);
        }
    }
    return leavesUndecoded(factory) ? kExpose : kTry;
}

// Runs on a streaming thread. A decoder that may choose its output format asks what
// downstream takes before it is linked: float first, which is what we work in, so a
// decoder that can give float (mpg123, for one) skips a conversion; any other format
// stays possible for those that cannot.
gboolean Source::onAutoplugQuery(GstElement *, GstPad *pad, GstElement *, GstQuery *query, gpointer data)
{
    // Samples::Native: the decoder gives what it gives best.
    if (GST_QUERY_TYPE(query) != GST_QUERY_CAPS || GST_PAD_DIRECTION(pad) != GST_PAD_SRC
        || static_cast<Source *>(data)->m_native)
        return FALSE;
    GstCaps *filter = nullptr;
    gst_query_parse_caps(query, &filter);
    media::CapsPtr preferred(gst_caps_from_string(
        "audio/x-raw, format=(string)" GST_AUDIO_NE(F32) ", layout=(string)interleaved; audio/x-raw"));
    if (filter) {
        if (!gst_caps_can_intersect(filter, preferred.get()))
            return FALSE; // not an audio question
        media::CapsPtr answer(gst_caps_intersect_full(filter, preferred.get(), GST_CAPS_INTERSECT_FIRST));
        gst_query_set_caps_result(query, answer.get());
    } else {
        gst_query_set_caps_result(query, preferred.get());
    }
    return TRUE;
}

bool Source::leavesUndecoded(GstElementFactory *factory)
{
    const char *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    const std::string_view kind = klass ? klass : "";
    if (kind.find("Demux") != std::string_view::npos)
        return false;
    return kind.find("Video") != std::string_view::npos || kind.find("Image") != std::string_view::npos
        || kind.find("Subtitle") != std::string_view::npos;
}

std::optional<Failure> Source::waitForAsyncDone()
{
    // Short polls: an error that never reached the bus (see LostErrors) is noticed soon.
    constexpr GstClockTime kPrerollPoll = 20 * GST_MSECOND;
    const auto deadline = std::chrono::steady_clock::now() + m_stallLimit;
    while (true) {
        media::MessagePtr message(gst_bus_timed_pop_filtered(m_bus.get(), kPrerollPoll,
            static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_TAG)));
        if (!message) {
            if (media::MessagePtr lost = m_lostErrors->standing())
                return failureFrom(lost.get());
            if (std::chrono::steady_clock::now() > deadline)
                return Failures::kStalled;
            continue;
        }
        switch (GST_MESSAGE_TYPE(message.get())) {
        case GST_MESSAGE_TAG:
            takeTags(message.get());
            break;
        case GST_MESSAGE_ERROR:
            return failureFrom(message.get());
        case GST_MESSAGE_ASYNC_DONE:
            return std::nullopt;
        default:
            break;
        }
    }
}

std::optional<Failure> Source::readInfo(const std::string &path)
{
    media::PadPtr sinkPad(gst_element_get_static_pad(m_sink, "sink"));
    media::CapsPtr caps(gst_pad_get_current_caps(sinkPad.get()));
    std::lock_guard lock(m_mutex);
    if (!caps) {
        if (!m_audioLinked && m_otherStreams)
            return Failures::kNoAudioStream;
        return Failures::kInputUnsupported;
    }
    GstAudioInfo audio;
    if (!gst_audio_info_from_caps(&audio, caps.get()) || GST_AUDIO_INFO_RATE(&audio) <= 0
        || GST_AUDIO_INFO_CHANNELS(&audio) <= 0)
        return Failures::kInputUnsupported;
    m_info.rate = GST_AUDIO_INFO_RATE(&audio);
    m_info.channels = GST_AUDIO_INFO_CHANNELS(&audio);
    m_info.positions = positionsOf(audio);
    m_info.coded = m_coded;
    media::reportDemuxers(m_pipeline.get());
    media::PadPtr decoded(gst_element_get_static_pad(m_convert, "sink"));
    if (media::CapsPtr decodedCaps { gst_pad_get_current_caps(decoded.get()) }) {
        GstAudioInfo original;
        if (gst_audio_info_from_caps(&original, decodedCaps.get()))
            m_info.decodedFormat = GST_AUDIO_INFO_FORMAT(&original);
    }

    if (m_firstMediaType == "audio/mpeg") {
        if (m_firstMpegVersion == 1)
            m_info.elementary = ElementaryStream::MpegAudio;
        else if (m_firstStreamFormat == "adts")
            m_info.elementary = ElementaryStream::Adts;
    } else if (m_firstMediaType == "audio/x-ac3") {
        m_info.elementary = ElementaryStream::Ac3;
    }
    if (m_info.elementary)
        m_info.durationNs = scanElementaryDuration(path, *m_info.elementary);
    else if (m_firstMediaType == "audio/x-flac")
        m_info.durationNs = scanFlacDuration(path);
    if (!m_info.durationNs) {
        gint64 duration = -1;
        if (gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &duration) && duration > 0)
            m_info.durationNs = duration;
    }
    return std::nullopt;
}

void Source::takeTags(GstMessage *message)
{
    GstTagList *tags = nullptr;
    gst_message_parse_tag(message, &tags);
    if (!tags)
        return;
    if (!m_info.tags)
        m_info.tags.reset(tags);
    else {
        gst_tag_list_insert(m_info.tags.get(), tags, GST_TAG_MERGE_KEEP);
        gst_tag_list_unref(tags);
    }
}

Failure Source::failureFrom(GstMessage *message) const
{
    GError *rawError = nullptr;
    gchar *rawDebug = nullptr;
    if (message)
        gst_message_parse_error(message, &rawError, &rawDebug);
    media::ErrorPtr error(rawError);
    media::CharPtr debug(rawDebug);
    printDebugDetail(error.get(), debug.get());

    bool audioLinked;
    bool otherStreams;
    {
        std::lock_guard lock(m_mutex);
        audioLinked = m_audioLinked;
        otherStreams = m_otherStreams;
    }
    if (error && error->domain == GST_RESOURCE_ERROR) {
        if (error->code == GST_RESOURCE_ERROR_NOT_FOUND)
            return Failures::kInputMissing;
        if (error->code == GST_RESOURCE_ERROR_OPEN_READ || error->code == GST_RESOURCE_ERROR_OPEN_READ_WRITE)
            return Failures::kInputUnreadable;
    }
    if (!audioLinked)
        return otherStreams ? Failures::kNoAudioStream : Failures::kInputUnsupported;
    if (m_info.rate == 0)
        return Failures::kInputUnsupported; // audio found, but it never decoded
    return Failures::kDecode;
}

std::optional<Failure> Source::pendingError()
{
    while (true) {
        media::MessagePtr message(
            gst_bus_pop_filtered(m_bus.get(), static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_TAG)));
        if (!message)
            return std::nullopt;
        if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR)
            return failureFrom(message.get());
        takeTags(message.get());
    }
}

std::variant<bool, Failure> Source::seek(std::int64_t startNs)
{
    if (startNs <= 0)
        return false;
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek_simple(m_pipeline.get(), GST_FORMAT_TIME, flags, startNs))
        return false; // not seekable: read from the start and drop
    if (auto failure = waitForAsyncDone())
        return *failure;
    return true;
}

std::optional<Failure> Source::start(std::unique_ptr<AudioChain> chain, bool integersWanted)
{
    m_chain = std::move(chain);
    // Fix the format the encoder was set up for: should the stream change its rate or
    // layout later on, audioconvert and audioresample turn it back into this one.
    media::PadPtr sinkPad(gst_element_get_static_pad(m_sink, "sink"));
    if (media::CapsPtr caps { gst_pad_get_current_caps(sinkPad.get()) }) {
        g_object_set(m_filter, "caps", caps.get(), nullptr);
        GstAudioInfo delivered;
        m_sixteenBits = gst_audio_info_from_caps(&delivered, caps.get())
            && GST_AUDIO_INFO_FORMAT(&delivered) == GST_AUDIO_FORMAT_S16;
    } else if (m_keepSixteenBits) {
        media::CapsPtr floatCaps(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, GST_AUDIO_NE(F32),
            "layout", G_TYPE_STRING, "interleaved", nullptr));
        g_object_set(m_filter, "caps", floatCaps.get(), nullptr);
    }
    const bool integers = m_allIntegers || (m_native && m_sixteenBits)
        || (integersWanted && m_sixteenBits && m_chain && m_chain->unchanged());
    // Blocks of about a fifth of a second; a few of them keep the encoder fed while the
    // decoding thread waits for its turn on a busy machine.
    constexpr std::size_t kBlockFrames = 8192;
    constexpr std::size_t kBlocks = 4;
    const int channels = m_chain ? m_chain->outputChannels() : m_info.channels;
    {
        std::lock_guard lock(m_mutex);
        m_queue = std::make_unique<BlockQueue>(
            static_cast<std::size_t>(channels), m_shortRun ? 256 : kBlockFrames, m_shortRun ? 1 : kBlocks, integers);
        if (m_endedEarly)
            m_queue->finish(); // the stream ended before it started: nothing will come
    }
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (auto failure = pendingError())
            return failure;
        return Failures::kDecode;
    }
    return std::nullopt;
}

std::variant<DecodedBlock, Failure> Source::next(const std::function<void()> &whileWaiting)
{
    constexpr std::chrono::milliseconds kPoll { 100 };
    auto deadline = std::chrono::steady_clock::now() + m_stallLimit;
    while (true) {
        DecodedBlock block;
        switch (m_queue->pop(block, kPoll)) {
        case BlockQueue::Status::Block:
            return block;
        case BlockQueue::Status::End:
            // An error may come with (or instead of) the end of the stream.
            if (auto failure = pendingError())
                return *failure;
            return DecodedBlock();
        case BlockQueue::Status::Timeout:
            break;
        }
        if (auto failure = pendingError())
            return *failure;
        if (media::MessagePtr lost = m_lostErrors->standing())
            return failureFrom(lost.get());
        if (std::chrono::steady_clock::now() > deadline)
            return Failures::kStalled;
        if (whileWaiting)
            whileWaiting();
    }
}

// Runs on a streaming thread: copies each decoded buffer into the block queue (which
// waits while the encoder is behind).
GstFlowReturn Source::onNewSample(GstAppSink *sink, gpointer data)
{
    auto *self = static_cast<Source *>(data);
    media::SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample)
        return GST_FLOW_FLUSHING;
    if (!self->m_queue)
        return GST_FLOW_OK; // not started: the preroll buffer comes again once playing
    GstBuffer *buffer = gst_sample_get_buffer(sample.get());
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return GST_FLOW_OK;
    std::optional<std::int64_t> streamTime;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(pts)) {
        const GstSegment *segment = gst_sample_get_segment(sample.get());
        const guint64 time = segment && segment->format == GST_FORMAT_TIME
            ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts)
            : pts;
        if (GST_CLOCK_TIME_IS_VALID(time))
            streamTime = static_cast<std::int64_t>(time);
    }
    const std::size_t sampleCount = map.size / (self->m_sixteenBits ? sizeof(std::int16_t) : sizeof(float));
    const std::size_t frames = sampleCount / static_cast<std::size_t>(self->m_info.channels);
    if (self->m_allIntegers) {
        const bool open = self->m_queue->push(reinterpret_cast<const std::int32_t *>(map.data), frames, streamTime);
        gst_buffer_unmap(buffer, &map);
        return open ? GST_FLOW_OK : GST_FLOW_FLUSHING;
    }
    const auto *samples = reinterpret_cast<const float *>(map.data);
    if (self->m_sixteenBits) {
        const auto *integers = reinterpret_cast<const std::int16_t *>(map.data);
        if (self->m_queue->holdsIntegers()) {
            const bool open = self->m_queue->push(integers, frames, streamTime);
            gst_buffer_unmap(buffer, &map);
            return open ? GST_FLOW_OK : GST_FLOW_FLUSHING;
        }
        // The same scale audioconvert uses, so the floats are the ones it would give.
        self->m_widened.resize(sampleCount);
        for (std::size_t i = 0; i < sampleCount; ++i)
            self->m_widened[i] = static_cast<float>(integers[i]) * (1.0f / 32768.0f);
        samples = self->m_widened.data();
    }
    bool open;
    if (self->m_chain) {
        const std::span<const float> processed = self->m_chain->process(samples, frames);
        open = self->m_queue->push(
            processed.data(), processed.size() / static_cast<std::size_t>(self->m_chain->outputChannels()), streamTime);
    } else {
        open = self->m_queue->push(samples, frames, streamTime);
    }
    gst_buffer_unmap(buffer, &map);
    return open ? GST_FLOW_OK : GST_FLOW_FLUSHING;
}

// Runs on a streaming thread.
void Source::onEndOfStream(GstAppSink *, gpointer data)
{
    auto *self = static_cast<Source *>(data);
    {
        std::lock_guard lock(self->m_mutex);
        if (!self->m_queue) {
            self->m_endedEarly = true;
            return;
        }
    }
    if (self->m_chain && !self->m_queue->holdsIntegers()) {
        const std::span<const float> tail = self->m_chain->flush();
        self->m_queue->push(tail.data(), tail.size() / static_cast<std::size_t>(self->m_chain->outputChannels()), {});
    }
    self->m_queue->finish();
}

} // namespace sonmill
