#include "sonmill/run/streamcopy.h"

#include "sonmill/run/outputfile.h"

#include <cerrno>
#include <cstring>

namespace sonmill {
namespace {

// The error number behind a file sink's failure, where its error code tells one; the
// message's own text is left out (it names the file).
int systemErrorOf(GstMessage *message)
{
    GError *parsed = nullptr;
    gst_message_parse_error(message, &parsed, nullptr);
    const media::ErrorPtr error(parsed);
    if (!error || error->domain != GST_RESOURCE_ERROR)
        return 0;
    if (error->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT)
        return ENOSPC;
    if (error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED)
        return EACCES;
    return 0;
}

constexpr GstClockTime kPollInterval = 100 * GST_MSECOND;

bool isAac(const CodedAudio &coded)
{
    return coded.mediaType == "audio/mpeg" && (coded.mpegVersion == 2 || coded.mpegVersion == 4);
}

} // namespace

bool StreamCopy::canCopy(const CodedAudio &coded, Container container)
{
    const bool mpegAudio = coded.mediaType == "audio/mpeg" && coded.mpegVersion == 1;
    switch (container) {
    case Container::Mp3:
        return mpegAudio && coded.layer == 3;
    case Container::Mp2:
        return mpegAudio && coded.layer == 2;
    case Container::Adts:
    case Container::Mp4:
        return isAac(coded);
    case Container::Ogg:
        return coded.mediaType == "audio/x-vorbis";
    case Container::Ac3:
        return coded.mediaType == "audio/x-ac3";
    default:
        return false;
    }
}

bool StreamCopy::canTrim(Container container)
{
    return container == Container::Mp3 || container == Container::Mp2 || container == Container::Adts
        || container == Container::Ac3;
}

StreamCopy::StreamCopy(Console &console, std::chrono::milliseconds stallLimit)
    : m_console(console)
    , m_stallLimit(stallLimit)
{ }

StreamCopy::~StreamCopy()
{
    if (m_pipeline)
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
}

std::optional<Failure> StreamCopy::run(const std::string &input, const std::string &output, Container container,
    const CodedAudio &coded, std::int64_t startNs, std::optional<std::int64_t> lengthNs)
{
    m_coded = coded;
    m_output = output;
    m_startNs = startNs;
    m_stopNs = lengthNs ? startNs + *lengthNs : -1;

    // decodebin stops at the coded stream; our chain parses it into whole frames and
    // puts them into the output's layout.
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    media::ElementPtr source = media::makeElement("filesrc");
    media::ElementPtr decodebin = media::makeElement("decodebin");
    media::ElementPtr sink = media::makeElement("filesink");
    std::vector<media::ElementPtr> chain;
    const char *parser = isAac(coded)         ? "aacparse"
        : coded.mediaType == "audio/x-vorbis" ? "vorbisparse"
        : coded.mediaType == "audio/x-ac3"    ? "ac3parse"
                                              : "mpegaudioparse";
    chain.push_back(media::makeElement(parser));
    if (isAac(coded)) {
        chain.push_back(media::makeElement("capsfilter"));
        media::CapsPtr caps(gst_caps_new_simple(
            "audio/mpeg", "stream-format", G_TYPE_STRING, container == Container::Mp4 ? "raw" : "adts", nullptr));
        g_object_set(chain.back().get(), "caps", caps.get(), nullptr);
    }
    if (container == Container::Mp4)
        chain.push_back(media::makeElement("mp4mux"));
    else if (container == Container::Ogg)
        chain.push_back(media::makeElement("oggmux"));
    for (const media::ElementPtr &element : chain)
        if (!element)
            return Failures::kGStreamer;
    if (!m_pipeline || !source || !decodebin || !sink)
        return Failures::kGStreamer;

    g_object_set(source.get(), "location", input.c_str(), nullptr);
    g_object_set(sink.get(), "location", output.c_str(), nullptr);
    media::CapsPtr stopAt(gst_caps_new_empty_simple(coded.mediaType.c_str()));
    g_object_set(decodebin.get(), "caps", stopAt.get(), nullptr);

    GstBin *bin = GST_BIN(m_pipeline.get());
    gst_bin_add_many(bin, source.get(), decodebin.get(), sink.get(), nullptr);
    for (const media::ElementPtr &element : chain)
        gst_bin_add(bin, element.get());
    bool linked = gst_element_link(source.get(), decodebin.get());
    for (std::size_t i = 1; i < chain.size(); ++i)
        linked = linked && gst_element_link(chain[i - 1].get(), chain[i].get());
    linked = linked && gst_element_link(chain.back().get(), sink.get());
    if (!linked)
        return Failures::kGStreamer;
    m_head = chain.front().get();

    // Trims and the position are read where whole frames leave the parser (before the
    // muxer, when there is one).
    const bool muxed = container == Container::Mp4 || container == Container::Ogg;
    GstElement *framed = chain[chain.size() - (muxed ? 2 : 1)].get();
    media::PadPtr framedPad(gst_element_get_static_pad(framed, "src"));
    gst_pad_add_probe(framedPad.get(), GST_PAD_PROBE_TYPE_BUFFER, onBuffer, this, nullptr);
    g_signal_connect(decodebin.get(), "pad-added", G_CALLBACK(onPadAdded), this);
    g_signal_connect(decodebin.get(), "autoplug-select", G_CALLBACK(onAutoplugSelect), this);

    media::BusPtr bus(gst_pipeline_get_bus(GST_PIPELINE(m_pipeline.get())));
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return Failures::kInputUnreadable;

    auto lastMove = std::chrono::steady_clock::now();
    std::int64_t lastPosition = -1;
    bool endSent = false;
    while (true) {
        media::MessagePtr message(gst_bus_timed_pop_filtered(
            bus.get(), kPollInterval, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS)));
        if (message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS)
            return std::nullopt;
        if (message) {
            if (GST_MESSAGE_SRC(message.get()) == GST_OBJECT(sink.get())) // the output refused the bytes
                return withSystemError(Failures::kWrite, systemErrorOf(message.get()));
            return m_linked ? Failures::kDecode : Failures::kInputUnsupported;
        }
        if (m_pastStop && !endSent) {
            // Past the range: end the stream, so the output is completed and closed.
            gst_element_send_event(m_pipeline.get(), gst_event_new_eos());
            endSent = true;
        }
        const std::int64_t position = m_copiedNs;
        m_console.progress(position, fileSizeOf(m_output));
        const auto now = std::chrono::steady_clock::now();
        if (position != lastPosition) {
            lastPosition = position;
            lastMove = now;
        } else if (now - lastMove > m_stallLimit) {
            return Failures::kStalled;
        }
    }
}

// Runs on a streaming thread: links the first stream of the coding being copied.
void StreamCopy::onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<StreamCopy *>(data);
    media::CapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps || self->m_linked)
        return;
    const GstStructure *structure = gst_caps_get_structure(caps.get(), 0);
    if (self->m_coded.mediaType != gst_structure_get_name(structure))
        return;
    int version = 0;
    if (gst_structure_get_int(structure, "mpegversion", &version) && version != self->m_coded.mpegVersion
        && !(isAac(self->m_coded) && (version == 2 || version == 4)))
        return;
    media::PadPtr sinkPad(gst_element_get_static_pad(self->m_head, "sink"));
    self->m_linked = gst_pad_link(pad, sinkPad.get()) == GST_PAD_LINK_OK;
}

int StreamCopy::onAutoplugSelect(GstElement *, GstPad *, GstCaps *, GstElementFactory *factory, gpointer)
{
    return Source::leavesUndecoded(factory) ? 1 : 0; // expose, or try
}

// Runs on a streaming thread: drops the frames outside the range, notes the position.
GstPadProbeReturn StreamCopy::onBuffer(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<StreamCopy *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(pts))
        return GST_PAD_PROBE_OK;
    const auto time = static_cast<std::int64_t>(pts);
    if (time < self->m_startNs)
        return GST_PAD_PROBE_DROP;
    if (self->m_stopNs >= 0 && time >= self->m_stopNs) {
        self->m_pastStop = true;
        return GST_PAD_PROBE_DROP;
    }
    const GstClockTime duration = GST_BUFFER_DURATION(buffer);
    self->m_copiedNs
        = time - self->m_startNs + (GST_CLOCK_TIME_IS_VALID(duration) ? static_cast<std::int64_t>(duration) : 0);
    return GST_PAD_PROBE_OK;
}

} // namespace sonmill
