#include "platform/sound/sndfile_library.h"

#include <dlfcn.h>

#include <mutex>

namespace {

template <typename Function>
bool Bind(void* handle, const char* name, Function& out) {
    out = reinterpret_cast<Function>(dlsym(handle, name));
    return out != nullptr;
}

const SndfileLibrary* Load() {
    static SndfileLibrary library;
    // The soname of the libsndfile the program was built against.
    void* handle = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    if (Bind(handle, "sf_open_fd", library.openFd) &&
        Bind(handle, "sf_readf_short", library.readfShort) &&
        Bind(handle, "sf_command", library.command) && Bind(handle, "sf_close", library.close)) {
        return &library;  // stays loaded for the life of the process
    }
    dlclose(handle);
    return nullptr;
}

}  // namespace

const SndfileLibrary* Sndfile() {
    static std::once_flag once;
    static const SndfileLibrary* library = nullptr;
    std::call_once(once, [] { library = Load(); });
    return library;
}
