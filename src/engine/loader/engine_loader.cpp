#include "engine/loader/engine_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace ostrel {
namespace {

using FactoryFunction = const engine::EngineApi* (*)();

struct LoaderState {
    std::mutex mutex;
    void* handle = nullptr;
    const engine::EngineApi* api = nullptr;
    std::string error;
};

LoaderState& State() {
    static LoaderState state;
    return state;
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Whether an allocator or other library is preloaded into the process.
bool SomethingPreloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && *preload != '\0') {
        return true;
    }
    struct stat info {};
    return ::stat("/etc/ld.so.preload", &info) == 0 && info.st_size > 0;
}
#endif

// How the module is opened. The module's libraries (libav and its ~150 dependencies) bind
// about 48,000 symbols when loaded. Looked up from the module's own libraries first, each
// lookup skips the program's Qt libraries: 50 million instructions less, a tenth of a short
// sound conversion. That order is not taken where it would split the process: the sanitizers
// and a preloaded library (an allocator, say) must be found first by every library.
int OpenFlags() {
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return kFlags;
#else
    return SomethingPreloaded() ? kFlags : kFlags | RTLD_DEEPBIND;
#endif
}

}  // namespace

bool IsEngineLoaded() {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    return state.api != nullptr;
}

bool LoadEngine(const std::string& folder) {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.api != nullptr) {
        return true;
    }
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += engine::kEngineFileName;
    // The module stays loaded for the life of the process: engine objects may outlive callers.
    void* handle = dlopen(path.c_str(), OpenFlags());
    if (handle == nullptr) {
        const char* reason = dlerror();
        state.error = "Cannot load " + path + ": " + (reason != nullptr ? reason : "unknown error");
        return false;
    }
    void* symbol = dlsym(handle, engine::kEngineFactorySymbol);
    if (symbol == nullptr) {
        state.error = path + " has no " + engine::kEngineFactorySymbol;
        dlclose(handle);
        return false;
    }
    FactoryFunction factory = nullptr;
    static_assert(sizeof(factory) == sizeof(symbol));
    std::memcpy(&factory, &symbol, sizeof(factory));
    const engine::EngineApi* api = factory();
    if (api == nullptr || api->abiVersion != engine::kEngineAbiVersion ||
        api->CreateEncoder == nullptr || api->CreateDecoder == nullptr ||
        api->CreatePlayer == nullptr) {
        state.error = path + " is a different engine version";
        dlclose(handle);
        return false;
    }
    state.handle = handle;
    state.api = api;
    state.error.clear();
    return true;
}

std::string EngineLoadError() {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    return state.error;
}

namespace {

// One of the module's objects, or null when no module is bound.
template <typename Object>
std::unique_ptr<Object> Create(Object* (*engine::EngineApi::*factory)()) {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.api == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<Object>((state.api->*factory)());
}

}  // namespace

std::unique_ptr<engine::Encoder> CreateEncoder() {
    return Create(&engine::EngineApi::CreateEncoder);
}

std::unique_ptr<engine::Decoder> CreateDecoder() {
    return Create(&engine::EngineApi::CreateDecoder);
}

std::unique_ptr<engine::Player> CreatePlayer() {
    return Create(&engine::EngineApi::CreatePlayer);
}

}  // namespace ostrel
