// Binds the engine module (LibAV/libostrel-engine.so) at run time, as the app and the
// command-line converter do. Engine tests link the engine directly instead.
#pragma once

#include <memory>
#include <string>

#include "engine/engine.h"

namespace ostrel {

// True once LoadEngine has succeeded in this process.
bool IsEngineLoaded();

// Loads <folder>/libostrel-engine.so and checks its factory symbol and ABI version. Loading
// again after a success does nothing and returns true.
bool LoadEngine(const std::string& folder);

// Why the last LoadEngine failed; empty after a success.
std::string EngineLoadError();

// New engine objects; null when the engine is not loaded.
std::unique_ptr<engine::Encoder> CreateEncoder();
std::unique_ptr<engine::Decoder> CreateDecoder();
// Also null when the loaded engine has no player.
std::unique_ptr<engine::Player> CreatePlayer();

}  // namespace ostrel
