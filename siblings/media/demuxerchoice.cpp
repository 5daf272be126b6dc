#include "media/demuxerchoice.h"

#include "media/gstptr.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace media {
namespace {

constexpr const char *kOwnMp4Demuxer = "tolmmp4demux";
constexpr const char *kOwnWavDemuxer = "tolmwavdemux";

std::string_view mediaType(GstCaps *caps)
{
    if (!caps || gst_caps_is_empty(caps))
        return {};
    return gst_structure_get_name(gst_caps_get_structure(caps, 0));
}

bool isMp4(GstCaps *caps)
{
    const std::string_view type = mediaType(caps);
    return type == "video/quicktime" || type == "audio/x-m4a" || type == "application/x-3gp";
}

std::uint32_t littleEndian32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

// GStreamer's WAV reader looks for another chunk header wherever the last chunk ended
// (without its pad byte) and, finding less than a header there, ends the stream before
// any audio. True for a RIFF WAVE file where that happens: an odd-sized chunk, or a few
// bytes after the last whole chunk. A file cut off inside its last chunk is not one: that
// reader plays what there is.
bool wavEndsOffChunk(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status = {};
    unsigned char header[12];
    bool offChunk = false;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::pread(fd, header, 12, 0) == 12
        && std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0) {
        const auto size = static_cast<std::uint64_t>(status.st_size);
        constexpr int kMaxChunks = 256;
        std::uint64_t at = 12;
        bool odd = false;
        for (int chunk = 0; chunk < kMaxChunks && at + 8 <= size; ++chunk) {
            if (::pread(fd, header, 8, static_cast<off_t>(at)) != 8)
                break;
            const std::uint32_t length = littleEndian32(header + 4);
            odd = odd || (length & 1);
            at += 8 + std::uint64_t(length) + (length & 1);
        }
        offChunk = at < size || (at == size && odd);
    }
    ::close(fd);
    return offChunk;
}

const char *ownDemuxerFor(GstCaps *caps, bool ownWav)
{
    if (isMp4(caps))
        return kOwnMp4Demuxer;
    if (ownWav && mediaType(caps) == "audio/x-wav")
        return kOwnWavDemuxer;
    return nullptr;
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
GValueArray *onAutoplugSort(GstElement *, GstPad *, GstCaps *caps, GValueArray *factories, gpointer ownWav)
{
    const char *name = ownDemuxerFor(caps, GPOINTER_TO_INT(ownWav) != 0);
    if (!name)
        return nullptr; // decodebin's own order
    GstElementFactory *own = gst_element_factory_find(name);
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

void preferOwnDemuxers(GstElement *decodebin, const char *path)
{
    if (const char *setting = std::getenv("TOLM_OWN_DEMUXERS"); setting && std::strcmp(setting, "0") == 0)
        return;
    const bool ownWav = wavEndsOffChunk(path);
    g_signal_connect(decodebin, "autoplug-sort", G_CALLBACK(onAutoplugSort), GINT_TO_POINTER(ownWav));
}

bool skipsParserAfterMp4(GstPad *pad, GstCaps *caps, GstElementFactory *factory)
{
    const char *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass || !std::strstr(klass, "Parser"))
        return false;
    int mpegVersion = 0;
    if (mediaType(caps) != "audio/mpeg"
        || !gst_structure_get_int(gst_caps_get_structure(caps, 0), "mpegversion", &mpegVersion) || mpegVersion == 1)
        return false; // not AAC
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
