#include "media/gstsetup.h"

#include "media/ownelements.h"

#include <glib/gstdio.h>
#include <gst/gst.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <utility>

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

constexpr const char *kRegistryPrefix = "gst-registry-1.0-";
constexpr const char *kRegistrySuffix = ".bin";
// A registry no copy of the program has used for this long belongs to one that is gone.
constexpr gint64 kUnusedRegistryAge = G_GINT64_CONSTANT(30) * 24 * 3600;

// Each new set of plugin files (an update) gets a registry of its own. When one is made,
// the ones no copy has used for a month go, so updates do not pile them up in the cache.
// Registries in use stay: every run marks its own as used (see keepRegistryFresh).
void removeUnusedRegistries(const std::string &folder, const std::string &keep)
{
    GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (!dir)
        return;
    const gint64 now = g_get_real_time() / G_USEC_PER_SEC;
    while (const char *name = g_dir_read_name(dir)) {
        if (!g_str_has_prefix(name, kRegistryPrefix) || !g_str_has_suffix(name, kRegistrySuffix))
            continue;
        const std::string path = folder + "/" + name;
        GStatBuf st;
        if (path != keep && g_lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)
            && now - st.st_mtime > kUnusedRegistryAge)
            g_unlink(path.c_str());
    }
    g_dir_close(dir);
}

// GStreamer only reads a registry that is up to date, which leaves its time alone.
void keepRegistryFresh(const std::string &registry)
{
    utimensat(AT_FDCWD, registry.c_str(), nullptr, 0);
}

} // namespace

void initialiseGStreamer(int *argc, char ***argv)
{
    // A probe worker runs one probe after another in one process: set up once.
    static bool initialised = false;
    if (std::exchange(initialised, true))
        return;
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
            = folder + "/" + kRegistryPrefix + TOLM_HOST_ARCH "-" + registryKey(ownPluginFolder()) + kRegistrySuffix;
        if (g_file_test(registry.c_str(), G_FILE_TEST_EXISTS))
            keepRegistryFresh(registry);
        else
            removeUnusedRegistries(folder, registry);
        setenv("GST_REGISTRY_1_0", registry.c_str(), 1);
    }
    if (!std::getenv("TOLM_GST_DEBUG") && !std::getenv("GST_DEBUG"))
        setenv("GST_DEBUG", "*:0", 1);

    gst_init(argc, argv);
    registerOwnElements();
}

} // namespace media
