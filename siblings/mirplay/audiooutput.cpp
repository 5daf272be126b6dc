#include "audiooutput.h"

#include <QByteArray>

#include <cstring>

namespace {

// autoaudiosink falls back to a fakesink of its own when no output opens, and only warns;
// that sink does not keep to the clock, so we look inside to find out what it chose.
bool choseRealDevice(GstElement *autoSink)
{
    bool real = false;
    GstIterator *children = gst_bin_iterate_elements(GST_BIN(autoSink));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        auto *child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory *factory = gst_element_get_factory(child);
        const char *name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "";
        real = std::strcmp(name, "fakesink") != 0;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return real;
}

media::ElementPtr chosenOutput()
{
    const QByteArray description = qgetenv("TOLM_MIRPLAY_AUDIO_OUTPUT");
    if (description.isEmpty())
        return {};
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    media::ErrorPtr errorGuard(error);
    media::ElementPtr owned(bin ? GST_ELEMENT(gst_object_ref_sink(bin)) : nullptr);
    if (error) // also for a description that parsed only in part
        return {};
    return owned;
}

} // namespace

AudioOutput makeDesktopAudioOutput()
{
    if (media::ElementPtr chosen = chosenOutput())
        return { std::move(chosen), true };
    GstElement *autoSink = gst_element_factory_make("autoaudiosink", "preview-audio");
    if (!autoSink)
        return makeSilentAudioOutput();
    media::ElementPtr sink(GST_ELEMENT(gst_object_ref_sink(autoSink)));
    const bool opened = gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
    const bool real = opened && choseRealDevice(sink.get());
    gst_element_set_state(sink.get(), GST_STATE_NULL);
    if (!real)
        return makeSilentAudioOutput();
    return { std::move(sink), true };
}

AudioOutput makeSilentAudioOutput()
{
    GstElement *fake = gst_element_factory_make("fakesink", "preview-audio");
    g_object_set(fake, "sync", TRUE, nullptr);
    return { media::ElementPtr(GST_ELEMENT(gst_object_ref_sink(fake))), false };
}
