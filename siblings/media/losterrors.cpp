#include "media/losterrors.h"

#include <algorithm>

namespace media {
namespace {

// The hook is process-wide and cannot be taken back, so it serves every watch through one
// list.
std::mutex g_watchesMutex;
std::vector<LostErrors *> g_watches;

// Runs on the posting thread, often a streaming thread: only takes references.
void onMessagePosted(GObject *, GstClockTime, GstElement *element, GstMessage *message)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR || !element)
        return;
    std::lock_guard lock(g_watchesMutex);
    for (LostErrors *watch : g_watches)
        watch->notePosted(element, message);
}

// A hook hangs on a tracer object; this one only carries it. GStreamer calls registered
// hooks without any GST_TRACERS setting.
struct ErrorTracer
{
    GstTracer parent;
};
struct ErrorTracerClass
{
    GstTracerClass parent;
};
G_DEFINE_TYPE(ErrorTracer, tolm_error_tracer, GST_TYPE_TRACER)
void tolm_error_tracer_class_init(ErrorTracerClass *)
{ }
void tolm_error_tracer_init(ErrorTracer *)
{ }

void hookOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Kept for the life of the process, as the hook is.
        auto *tracer = static_cast<GstTracer *>(g_object_new(tolm_error_tracer_get_type(), nullptr));
        gst_tracing_register_hook(tracer, "element-post-message-pre", G_CALLBACK(onMessagePosted));
    });
}

bool reachedPaused(GstElement *element)
{
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn result = gst_element_get_state(element, &current, &pending, 0);
    return result != GST_STATE_CHANGE_FAILURE && current >= GST_STATE_PAUSED;
}

} // namespace

LostErrors::LostErrors(GstElement *pipeline)
    : m_pipeline(pipeline)
{
    hookOnce();
    std::lock_guard lock(g_watchesMutex);
    g_watches.push_back(this);
}

LostErrors::~LostErrors()
{
    std::lock_guard lock(g_watchesMutex);
    g_watches.erase(std::remove(g_watches.begin(), g_watches.end(), this), g_watches.end());
}

void LostErrors::notePosted(GstElement *element, GstMessage *message)
{
    if (element == m_pipeline || !gst_object_has_as_ancestor(GST_OBJECT(element), GST_OBJECT(m_pipeline)))
        return;
    std::lock_guard lock(m_mutex);
    m_errors.emplace_back(gst_message_ref(message));
}

MessagePtr LostErrors::standing() const
{
    std::lock_guard lock(m_mutex);
    for (const MessagePtr &error : m_errors) {
        auto *element = GST_ELEMENT(GST_MESSAGE_SRC(error.get()));
        // A refused reader is set back and taken out of the bin; one that stays in at
        // PAUSED was kept, and its error was lost.
        if (gst_object_has_as_ancestor(GST_OBJECT(element), GST_OBJECT(m_pipeline)) && reachedPaused(element))
            return MessagePtr(gst_message_ref(error.get()));
    }
    return {};
}

} // namespace media
