#include "sonmill/base/modules.h"

#include <dlfcn.h>
#include <limits.h>
#include <map>
#include <string>
#include <unistd.h>

namespace sonmill {
namespace {

constexpr const char *kModuleFolder = "sonmill-modules";

std::string executableFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string result(path, static_cast<std::size_t>(length));
    const auto slash = result.rfind('/');
    return slash == std::string::npos ? std::string(".") : result.substr(0, slash);
}

void *openModule(const std::string &name)
{
    static std::map<std::string, void *> opened;
    if (auto found = opened.find(name); found != opened.end())
        return found->second;
    const std::string file = "libsonmill-" + name + ".so";
    void *handle = ::dlopen((executableFolder() + "/" + kModuleFolder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
#ifdef TOLM_SONMILL_MODULE_DIR
    // Test programs linking this code live elsewhere; the build tree's folder serves them.
    if (!handle)
        handle = ::dlopen((std::string(TOLM_SONMILL_MODULE_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    opened[name] = handle;
    return handle;
}

} // namespace

void *moduleSymbol(const char *module, const char *symbol)
{
    void *handle = openModule(module);
    return handle ? ::dlsym(handle, symbol) : nullptr;
}

} // namespace sonmill
