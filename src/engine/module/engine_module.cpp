// The engine module's one exported symbol: the versioned factory table the host binds.
#include "engine/engine.h"
#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/player/ffmpeg_player.h"

namespace {

ostrel::engine::Encoder* CreateEncoder() {
    return ostrel::engine::ff::CreateFfmpegEncoder().release();
}

ostrel::engine::Decoder* CreateDecoder() {
    return ostrel::engine::ff::CreateFfmpegDecoder().release();
}

ostrel::engine::Player* CreatePlayer() {
    return ostrel::engine::ff::CreateFfmpegPlayer().release();
}

const ostrel::engine::EngineApi kApi = {ostrel::engine::kEngineAbiVersion, &CreateEncoder,
                                        &CreateDecoder, &CreatePlayer};

}  // namespace

extern "C" __attribute__((visibility("default"))) const ostrel::engine::EngineApi*
ostrel_engine_api_v1(void) {
    return &kApi;
}
