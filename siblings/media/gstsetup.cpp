#include "media/gstsetup.h"

#include "media/ownelements.h"

#include <gst/gst.h>

#include <cstdlib>
#include <string>

namespace media {
namespace {

// Source modules of the plugins we allow to load; our own plugin is added to them.
constexpr const char *kAllowedPluginSources = "gstreamer:gst-plugins-base:gst-plugins-good:gst-plugins-ugly";

std::string cacheFolder()
{
    if (const char *cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return cache;
    if (const char *home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.cache";
    return "/tmp";
}

} // namespace

void initialiseGStreamer(int *argc, char ***argv)
{
    const std::string allowed = std::string(kAllowedPluginSources) + ":" + kOwnPluginSource;
    setenv("GST_PLUGIN_LOADING_WHITELIST", allowed.c_str(), 1);
    // Plugin folders a user added would only be filtered out again; the one extra folder
    // scanned is our own plugin's.
    unsetenv("GST_PLUGIN_PATH");
    setenv("GST_PLUGIN_PATH_1_0", ownPluginFolder().c_str(), 1);
    if (!std::getenv("GST_REGISTRY_1_0")) {
        const std::string folder = cacheFolder() + "/tolm-audio-converter";
        g_mkdir_with_parents(folder.c_str(), 0700);
        // One registry per copy of the program (told apart by its plugin folder): two
        // copies sharing one would rescan all plugins each time the other had run.
        char copy[32];
        g_snprintf(copy, sizeof copy, "%08x", g_str_hash(ownPluginFolder().c_str()));
        const std::string registry = folder + "/gst-registry-1.0-" TOLM_HOST_ARCH "-" + copy + ".bin";
        setenv("GST_REGISTRY_1_0", registry.c_str(), 1);
    }
    if (!std::getenv("TOLM_GST_DEBUG") && !std::getenv("GST_DEBUG"))
        setenv("GST_DEBUG", "*:0", 1);

    gst_init(argc, argv);
    registerOwnElements();
}

} // namespace media
