// One of our GStreamer readers run over the input as a file, as a decodebin runs it:
// filesrc ! <reader> ! fakesink until the end, an error or the reader's refusal.
//   FUZZ_READER_MP4:     tolmmp4demux (the MPEG-4 boxes, sample tables and tag list)
//   FUZZ_READER_SNDFILE: tolmwavdemux or tolmsndfiledemux (WAV, AIFF, CAF, Wave64 headers
//                        through libsndfile, and the chunks we read ourselves); the first
//                        byte picks which.
// A reader that neither ends nor fails within three seconds is a hang.
#include "fuzzinput.h"

#if defined(FUZZ_READER_MP4)
#include "media/plugin/mp4demux.h"
#else
#include "media/plugin/sndfiledemux.h"
#endif

#include <gst/gst.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

gboolean registerReaders(GstPlugin *plugin)
{
#if defined(FUZZ_READER_MP4)
    return tolmRegisterMp4Demux(plugin);
#else
    return tolmRegisterSndfileDemux(plugin);
#endif
}

void linkToSink(GstElement *, GstPad *pad, gpointer sink)
{
    GstPad *sinkPad = gst_element_get_static_pad(GST_ELEMENT(sink), "sink");
    if (!gst_pad_is_linked(sinkPad))
        gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // GStreamer's core elements only, with a registry of this run's own.
    ::setenv("GST_PLUGIN_LOADING_WHITELIST", "gstreamer", 1);
    ::setenv("GST_REGISTRY_1_0", (FuzzInput::folder() + QStringLiteral("/registry.bin")).toUtf8().constData(), 1);
    gst_init(argc, argv);
    if (!gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "tolmfuzz", "readers under the fuzzer",
            registerReaders, "0.1", "LGPL", "tolm-audio-converter", "tolm-audio-converter", "tolm-audio-converter"))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
#if defined(FUZZ_READER_MP4)
    const char *reader = "tolmmp4demux";
    const QString path = FuzzInput::write(QStringLiteral("input.m4a"), data, size);
#else
    if (size == 0)
        return 0;
    const char *reader = (data[0] & 1) ? "tolmsndfiledemux" : "tolmwavdemux";
    const QString path = FuzzInput::write(QStringLiteral("input.wav"), data + 1, size - 1);
#endif
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *demux = gst_element_factory_make(reader, nullptr);
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    if (!pipeline || !source || !demux || !sink)
        std::abort();
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, demux, sink, nullptr);
    gst_element_link(source, demux);
    g_signal_connect(demux, "pad-added", G_CALLBACK(linkToSink), sink);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstBus *bus = gst_element_get_bus(pipeline);
        GstMessage *message = gst_bus_timed_pop_filtered(
            bus, 3 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message) {
            std::fprintf(stderr, "%s neither ended nor failed within three seconds\n", reader);
            std::abort();
        }
        gst_message_unref(message);
        gst_object_unref(bus);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return 0;
}
