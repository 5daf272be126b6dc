#include "media/demuxerchoice.h"

#include "media/gstptr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace media {
namespace {

constexpr const char *kOwnMp4Demuxer = "tolmmp4demux";

bool isMp4(GstCaps *caps)
{
    if (!caps || gst_caps_is_empty(caps))
        return false;
    const std::string_view type = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    return type == "video/quicktime" || type == "audio/x-m4a" || type == "application/x-3gp";
}

std::string_view factoryName(GstElement *element)
{
    GstElementFactory *factory = element ? gst_element_get_factory(element) : nullptr;
    const char *name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    return name ? name : "";
}

bool isDemuxer(GstElementFactory *factory)
{
    const char *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    return klass && std::strstr(klass, "Demux");
}

// Runs on a streaming thread. decodebin offers the factories it would try, best first; a
// new list with ours in front replaces it.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
GValueArray *onAutoplugSort(GstElement *, GstPad *, GstCaps *caps, GValueArray *factories, gpointer)
{
    if (!isMp4(caps))
        return nullptr; // decodebin's own order
    GstElementFactory *own = gst_element_factory_find(kOwnMp4Demuxer);
    if (!own)
        return nullptr;
    GValueArray *sorted = g_value_array_new(factories->n_values + 1);
    GValue value = G_VALUE_INIT;
    g_value_init(&value, GST_TYPE_ELEMENT_FACTORY);
    g_value_take_object(&value, own);
    g_value_array_append(sorted, &value);
    g_value_unset(&value);
    for (guint i = 0; i < factories->n_values; ++i)
        g_value_array_append(sorted, g_value_array_get_nth(factories, i));
    return sorted;
}
G_GNUC_END_IGNORE_DEPRECATIONS

void report(GstElement *bin)
{
    GstIterator *iterator = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(iterator, &item) == GST_ITERATOR_OK) {
        auto *element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory *factory = gst_element_get_factory(element);
        if (factory && isDemuxer(factory))
            std::fprintf(stderr, "demuxer: %s\n", std::string(factoryName(element)).c_str());
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(iterator);
}

} // namespace

void preferOwnDemuxers(GstElement *decodebin)
{
    if (const char *setting = std::getenv("TOLM_OWN_DEMUXERS"); setting && std::strcmp(setting, "0") == 0)
        return;
    g_signal_connect(decodebin, "autoplug-sort", G_CALLBACK(onAutoplugSort), nullptr);
}

bool skipsParserAfterMp4(GstPad *pad, GstElementFactory *factory)
{
    const char *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass || !std::strstr(klass, "Parser"))
        return false;
    // decodebin hands out its own ghost pads, and may have put a multiqueue between the
    // demuxer and this pad: the demuxer is behind them.
    PadPtr current(GST_IS_GHOST_PAD(pad) ? gst_ghost_pad_get_target(GST_GHOST_PAD(pad)) : GST_PAD(gst_object_ref(pad)));
    for (int hop = 0; current && hop < 2; ++hop) {
        ElementPtr parent(gst_pad_get_parent_element(current.get()));
        const std::string_view name = factoryName(parent.get());
        if (name == kOwnMp4Demuxer || name == "qtdemux")
            return true;
        if (name != "multiqueue")
            return false;
        // The queue's src_N comes from its sink_N.
        media::CharPtr padName(gst_pad_get_name(current.get()));
        const std::string_view source = padName.get();
        if (source.substr(0, 4) != "src_")
            return false;
        const std::string sinkName = "sink_" + std::string(source.substr(4));
        PadPtr sink(gst_element_get_static_pad(parent.get(), sinkName.c_str()));
        current.reset(sink ? gst_pad_get_peer(sink.get()) : nullptr);
    }
    return false;
}

void reportDemuxers(GstElement *bin)
{
    if (std::getenv("TOLM_REPORT_DEMUXER"))
        report(bin);
}

} // namespace media
