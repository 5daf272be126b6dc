#pragma once

// Owning pointers for GStreamer and GLib references, so no error path needs hand-written
// cleanup.

#include <gst/gst.h>

#include <memory>

namespace media {

struct GstObjectUnref
{
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GstMiniObjectUnref
{
    void operator()(GstMiniObject *object) const { gst_mini_object_unref(object); }
    void operator()(GstMessage *m) const { gst_message_unref(m); }
    void operator()(GstCaps *c) const { gst_caps_unref(c); }
    void operator()(GstSample *s) const { gst_sample_unref(s); }
    void operator()(GstBuffer *b) const { gst_buffer_unref(b); }
    void operator()(GstEvent *e) const { gst_event_unref(e); }
    void operator()(GstQuery *q) const { gst_query_unref(q); }
    void operator()(GstTagList *t) const { gst_tag_list_unref(t); }
};
struct GErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};
struct GFree
{
    void operator()(gpointer memory) const { g_free(memory); }
};

using ElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using MessagePtr = std::unique_ptr<GstMessage, GstMiniObjectUnref>;
using CapsPtr = std::unique_ptr<GstCaps, GstMiniObjectUnref>;
using SamplePtr = std::unique_ptr<GstSample, GstMiniObjectUnref>;
using BufferPtr = std::unique_ptr<GstBuffer, GstMiniObjectUnref>;
using TagListPtr = std::unique_ptr<GstTagList, GstMiniObjectUnref>;
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;
using CharPtr = std::unique_ptr<gchar, GFree>;

// A new element we own outright (its floating reference sunk); empty when the factory is
// missing or filtered out of the registry.
inline ElementPtr makeElement(const char *factory)
{
    GstElement *element = gst_element_factory_make(factory, nullptr);
    if (!element)
        return {};
    return ElementPtr(GST_ELEMENT(gst_object_ref_sink(element)));
}

} // namespace media
