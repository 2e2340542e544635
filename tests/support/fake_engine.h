// The engine binding that hands the main window fake engine objects, kept visible to the test.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "fake_decoder.h"
#include "fake_encoder.h"
#include "fake_player.h"

namespace ostrel::testing {

struct FakeEngine {
    FakeDecoder* decoder = nullptr;
    FakeEncoder* encoder = nullptr;
    FakePlayer* player = nullptr;  // the last player made
    bool plays = true;             // false: the engine has no player
    std::function<void(FakePlayer&)> onPlayerMade;
    bool loads = true;
    std::map<std::string, FakeMedia> media;
    std::function<void(const std::string&)> onOpen;

    EngineBinding Binding() {
        EngineBinding binding;
        binding.IsLoaded = [] { return false; };
        binding.Load = [this](const QString&) { return loads; };
        binding.CreateEncoder = [this]() -> std::unique_ptr<engine::Encoder> {
            auto made = std::make_unique<FakeEncoder>();
            encoder = made.get();
            return made;
        };
        binding.CreateDecoder = [this]() -> std::unique_ptr<engine::Decoder> {
            auto made = std::make_unique<FakeDecoder>();
            made->media = media;
            made->onOpen = onOpen;
            decoder = made.get();
            return made;
        };
        binding.CreatePlayer = [this]() -> std::unique_ptr<engine::Player> {
            if (!plays) {
                return nullptr;
            }
            auto made = std::make_unique<FakePlayer>();
            player = made.get();
            if (onPlayerMade) {
                onPlayerMade(*made);
            }
            return made;
        };
        return binding;
    }
};

}  // namespace ostrel::testing
