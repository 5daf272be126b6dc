#include "media/ownelements.h"

#include <gst/gst.h>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace media {
namespace {

constexpr const char *kFolderName = "gst-plugins";

bool isFolder(const std::string &path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

std::string ownPluginFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        std::string folder(path, static_cast<std::size_t>(length));
        folder = folder.substr(0, folder.rfind('/') + 1) + kFolderName;
        if (isFolder(folder))
            return folder;
    }
    return TOLM_GST_PLUGIN_DIR;
}

void registerOwnElements()
{
    // initialiseGStreamer() put our folder on the plugin path, so the registry normally
    // lists the plugins already. Should it not (a registry written by another copy of
    // the program), scan the folder now.
    GstRegistry *registry = gst_registry_get();
    for (const char *name : kOwnPluginNames) {
        GstPlugin *plugin = gst_registry_find_plugin(registry, name);
        if (!plugin) {
            gst_registry_scan_path(registry, ownPluginFolder().c_str());
            return;
        }
        gst_object_unref(plugin);
    }
}

} // namespace media
