// mediacheck FILE: decodes FILE with GStreamer (the allowed plugin sets and our own
// elements, as the siblings use them) and prints what the tests check, one key=value per
// line: the stream format, the decoded length, each channel's level, peak and where the
// peak is, a digest of the samples (equal for equal audio at up to 24 bits), the coding
// chain and the tags. It shares no code with sonmill's decoding, so a fault there shows here.

#include "media/gstptr.h"
#include "media/gstsetup.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Chain
{
    std::string types; // every media type decodebin met, in order
};

gboolean onAutoplugContinue(GstElement *, GstPad *, GstCaps *caps, gpointer data)
{
    auto *chain = static_cast<Chain *>(data);
    media::CharPtr text(gst_caps_to_string(caps));
    // Only the media type and a few telling fields; codec data would be noise.
    const GstStructure *s = gst_caps_get_structure(caps, 0);
    std::string entry = gst_structure_get_name(s);
    int value = 0;
    if (gst_structure_get_int(s, "mpegversion", &value))
        entry += ",mpegversion=" + std::to_string(value);
    if (gst_structure_get_int(s, "layer", &value))
        entry += ",layer=" + std::to_string(value);
    if (const gchar *format = gst_structure_get_string(s, "stream-format"))
        entry += std::string(",stream-format=") + format;
    chain->types += (chain->types.empty() ? "" : " ") + entry;
    return TRUE;
}

void onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *convert = static_cast<GstElement *>(data);
    media::PadPtr sink(gst_element_get_static_pad(convert, "sink"));
    if (!gst_pad_is_linked(sink.get()))
        gst_pad_link(pad, sink.get());
}

void printTags(const GstTagList *tags)
{
    for (int i = 0; i < gst_tag_list_n_tags(tags); ++i) {
        const gchar *name = gst_tag_list_nth_tag_name(tags, static_cast<guint>(i));
        const GValue *value = gst_tag_list_get_value_index(tags, name, 0);
        std::string text;
        if (G_VALUE_HOLDS_STRING(value)) {
            text = g_value_get_string(value);
        } else if (G_VALUE_HOLDS_UINT(value)) {
            text = std::to_string(g_value_get_uint(value));
        } else if (GST_VALUE_HOLDS_DATE_TIME(value)) {
            GstDateTime *date = static_cast<GstDateTime *>(g_value_get_boxed(value));
            media::CharPtr iso(gst_date_time_to_iso8601_string(date));
            text = iso ? iso.get() : "";
        } else if (G_VALUE_HOLDS(value, G_TYPE_DATE)) {
            const GDate *date = static_cast<const GDate *>(g_value_get_boxed(value));
            char buffer[16];
            g_snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", g_date_get_year(date), g_date_get_month(date),
                g_date_get_day(date));
            text = buffer;
        } else {
            continue;
        }
        for (char &c : text)
            if (c == '\n')
                c = ' ';
        std::printf("tag.%s=%s\n", name, text.c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mediacheck FILE\n");
        return 2;
    }
    media::initialiseGStreamer(nullptr, nullptr);

    media::ElementPtr pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *decode = gst_element_factory_make("decodebin", nullptr);
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(source, "location", argv[1], nullptr);
    media::CapsPtr caps(gst_caps_from_string("audio/x-raw,format=" GST_AUDIO_NE(F64) ",layout=interleaved"));
    g_object_set(sink, "caps", caps.get(), "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline.get()), source, decode, convert, sink, nullptr);
    gst_element_link(source, decode);
    gst_element_link(convert, sink);
    Chain chain;
    g_signal_connect(decode, "autoplug-continue", G_CALLBACK(onAutoplugContinue), &chain);
    g_signal_connect(decode, "pad-added", G_CALLBACK(onPadAdded), convert);

    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    media::BusPtr bus(gst_element_get_bus(pipeline.get()));
    media::TagListPtr tags(gst_tag_list_new_empty());
    int rate = 0;
    int channels = 0;
    std::uint64_t frames = 0;
    std::vector<double> sumSquares;
    std::vector<double> peaks;
    std::vector<std::uint64_t> peakFrames;
    std::uint64_t digest = 1469598103934665603ull; // FNV-1a over the samples at 24-bit resolution
    bool failed = false;
    while (true) {
        media::SamplePtr sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 100 * GST_MSECOND));
        if (sample) {
            if (rate == 0) {
                GstAudioInfo info;
                gst_audio_info_from_caps(&info, gst_sample_get_caps(sample.get()));
                rate = GST_AUDIO_INFO_RATE(&info);
                channels = GST_AUDIO_INFO_CHANNELS(&info);
                sumSquares.assign(static_cast<std::size_t>(channels), 0.0);
                peaks.assign(static_cast<std::size_t>(channels), 0.0);
                peakFrames.assign(static_cast<std::size_t>(channels), 0);
            }
            GstMapInfo map;
            GstBuffer *buffer = gst_sample_get_buffer(sample.get());
            gst_buffer_map(buffer, &map, GST_MAP_READ);
            const auto *data = reinterpret_cast<const double *>(map.data);
            const std::size_t count = map.size / sizeof(double) / static_cast<std::size_t>(channels);
            for (std::size_t f = 0; f < count; ++f)
                for (std::size_t c = 0; c < static_cast<std::size_t>(channels); ++c) {
                    const double v = data[f * static_cast<std::size_t>(channels) + c];
                    const auto quantised
                        = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * 8388608.0)));
                    digest = (digest ^ quantised) * 1099511628211ull;
                    sumSquares[c] += v * v;
                    if (std::fabs(v) > peaks[c]) {
                        peaks[c] = std::fabs(v);
                        peakFrames[c] = frames + f;
                    }
                }
            frames += count;
            gst_buffer_unmap(buffer, &map);
            continue;
        }
        bool ended = gst_app_sink_is_eos(GST_APP_SINK(sink));
        while (media::MessagePtr message { gst_bus_pop(bus.get()) }) {
            if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
                failed = true;
                ended = true;
            } else if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_TAG) {
                GstTagList *found = nullptr;
                gst_message_parse_tag(message.get(), &found);
                gst_tag_list_insert(tags.get(), found, GST_TAG_MERGE_KEEP);
                gst_tag_list_unref(found);
            }
        }
        if (ended)
            break;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);

    std::printf("chain=%s\n", chain.types.c_str());
    if (failed || rate == 0) {
        std::printf("error=1\n");
        return 1;
    }
    std::printf("rate=%d\nchannels=%d\nframes=%llu\nseconds=%.6f\ndigest=%016llx\n", rate, channels,
        static_cast<unsigned long long>(frames), static_cast<double>(frames) / rate,
        static_cast<unsigned long long>(digest));
    for (int c = 0; c < channels; ++c) {
        const double rms = std::sqrt(sumSquares[static_cast<std::size_t>(c)] / static_cast<double>(frames));
        std::printf("rms%d=%.3f\npeak%d=%.6f\npeakframe%d=%llu\n", c, rms > 0 ? 20 * std::log10(rms) : -999.0, c,
            peaks[static_cast<std::size_t>(c)], c,
            static_cast<unsigned long long>(peakFrames[static_cast<std::size_t>(c)]));
    }
    printTags(tags.get());
    return 0;
}
