// Factories of the FFmpeg-based engine objects.
#pragma once

#include <memory>

#include "engine/engine.h"

namespace ostrel::engine::ff {

// Both route libav's log through the engine (see log.h): the engine reports through LastError
// and its events, not on the terminal.
std::unique_ptr<Encoder> CreateFfmpegEncoder();
std::unique_ptr<Decoder> CreateFfmpegDecoder();

}  // namespace ostrel::engine::ff
