// Module lookup and dlopen.
#include "ModuleLoader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr const char* kModuleName = "libaiexport.so.1";

std::vector<std::string> Candidates()
{
    const std::string dir = ExecutableDirectory();
    std::vector<std::string> paths = {
        dir + "/" + kModuleName,                                     // beside the tool
        dir + "/../../" + kModuleName,                               // build/tools/aiexport
        dir + "/../" + AIEXPORT_INSTALL_LIBDIR + "/" + kModuleName,  // bin/ and lib/
    };
    if (std::string(AIEXPORT_INSTALL_LIBDIR) != "lib")
        paths.push_back(dir + "/../lib/" + kModuleName);
    paths.push_back(AIEXPORT_BUILT_MODULE);
    return paths;
}

// `path` is opened as given: a bare name goes through the library search.
bool Open(const std::string& opened, LoadedModule& module, std::string& error)
{
    void* handle = ::dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        error = "cannot load the module: " + std::string(why != nullptr ? why : opened);
        return false;
    }
    ::dlerror();
    void* symbol = ::dlsym(handle, "getFilter");
    if (symbol == nullptr) {
        const char* why = ::dlerror();
        error =
            "the module " + opened + " has no getFilter: " + std::string(why != nullptr ? why : "");
        ::dlclose(handle);
        return false;
    }
    module.handle = handle;
    module.getFilter = reinterpret_cast<AHostExportFilter* (*)()>(symbol);
    module.path = opened;
    return true;
}

}  // namespace

std::string ExecutableDirectory()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    const std::string exe(path, static_cast<std::size_t>(n));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : exe.substr(0, slash);
}

bool LoadModule(const std::string& explicitPath, LoadedModule& module, std::string& error)
{
    // A file named on the command line is meant as a file, not a library
    // name for the dynamic linker to search.
    if (!explicitPath.empty())
        return Open(explicitPath.find('/') == std::string::npos ? "./" + explicitPath
                                                                : explicitPath,
                    module, error);
    for (const std::string& candidate : Candidates())
        if (::access(candidate.c_str(), F_OK) == 0)
            return Open(candidate, module, error);
    // Last, as a host would: whatever the dynamic linker finds by name.
    if (Open(kModuleName, module, error))
        return true;
    error = "cannot find the module; looked in " + DefaultModuleSearch() + " (" + error + ")";
    return false;
}

std::string DefaultModuleSearch()
{
    std::string text;
    for (const std::string& candidate : Candidates())
        text += candidate + ", ";
    return text + "then the library search path";
}
