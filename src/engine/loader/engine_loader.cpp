#include "engine/loader/engine_loader.h"

#include <dlfcn.h>

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
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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
        api->CreateEncoder == nullptr || api->CreateDecoder == nullptr) {
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

std::unique_ptr<engine::Encoder> CreateEncoder() {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.api == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<engine::Encoder>(state.api->CreateEncoder());
}

std::unique_ptr<engine::Decoder> CreateDecoder() {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.api == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<engine::Decoder>(state.api->CreateDecoder());
}

std::unique_ptr<engine::Player> CreatePlayer() {
    LoaderState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.api == nullptr || state.api->CreatePlayer == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<engine::Player>(state.api->CreatePlayer());
}

}  // namespace ostrel
