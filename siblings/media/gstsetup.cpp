#include "media/gstsetup.h"

#include "media/ownelements.h"

#include <glib/gstdio.h>
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

// Names the registry after this copy of the program and the plugin files it ships with:
// a registry built for other plugin files (an earlier version, elements moved between
// files) is never reused, since GStreamer may keep an element listed under a file that no
// longer provides it.
std::string registryKey(const std::string &pluginFolder)
{
    std::string identity = pluginFolder;
    if (GDir *dir = g_dir_open(pluginFolder.c_str(), 0, nullptr)) {
        while (const char *name = g_dir_read_name(dir)) {
            const std::string path = pluginFolder + "/" + name;
            GStatBuf st;
            if (g_stat(path.c_str(), &st) == 0)
                identity
                    += "|" + std::string(name) + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtime);
        }
        g_dir_close(dir);
    }
    char key[32];
    g_snprintf(key, sizeof key, "%08x", g_str_hash(identity.c_str()));
    return key;
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
        // One registry per copy of the program: two copies sharing one would rescan all
        // plugins each time the other had run.
        const std::string registry
            = folder + "/gst-registry-1.0-" TOLM_HOST_ARCH "-" + registryKey(ownPluginFolder()) + ".bin";
        setenv("GST_REGISTRY_1_0", registry.c_str(), 1);
    }
    if (!std::getenv("TOLM_GST_DEBUG") && !std::getenv("GST_DEBUG"))
        setenv("GST_DEBUG", "*:0", 1);

    gst_init(argc, argv);
    registerOwnElements();
}

} // namespace media
