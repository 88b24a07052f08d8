#include "platform/os/Library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace os {
namespace {

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    char* slash = std::strrchr(path, '/');
    if (!slash) return {};
    return std::string(path, size_t(slash - path));
}

bool EndsWithDll(const std::string& s) {
    if (s.size() < 4) return false;
    const char* tail = s.c_str() + s.size() - 4;
    return strcasecmp(tail, ".dll") == 0;
}

}  // namespace

std::string SharedLibraryFileName(const char* name) {
    std::string file = name ? name : "";
    for (char& c : file)
        if (c == '\\') c = '/';
    const size_t slash = file.rfind('/');
    std::string dir = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    if (EndsWithDll(base)) base = "lib" + base.substr(0, base.size() - 4) + ".so";
    return dir + base;
}

LibraryHandle LoadLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    const std::string file = SharedLibraryFileName(name);
    if (file.find('/') == std::string::npos) {
        const std::string dir = ExecutableDirectory();
        if (!dir.empty()) {
            if (void* lib = dlopen((dir + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL)) return lib;
        }
    }
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(LibraryHandle library, const char* symbol) {
    if (!library || !symbol) return nullptr;
    return dlsym(library, symbol);
}

void FreeLibrary(LibraryHandle library) {
    if (library) dlclose(library);
}

}  // namespace os
