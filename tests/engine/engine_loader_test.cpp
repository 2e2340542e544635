#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/loader/engine_loader.h"
#include "engine_fixture.h"

namespace ostrel {
namespace {

// The module as the app finds it: <program folder>/LibAV/libostrel-engine.so.
TEST(EngineLoader, BindsTheModuleAndRefusesOtherFolders) {
    engine::testing::TempFolder folder;
    // A folder without the module, and one whose module file is not a library.
    EXPECT_FALSE(LoadEngine(folder.Path().string()));
    EXPECT_NE(EngineLoadError().find(engine::kEngineFileName), std::string::npos);
    std::ofstream(folder.Path() / engine::kEngineFileName) << "not a library";
    EXPECT_FALSE(LoadEngine(folder.Path().string()));
    EXPECT_FALSE(EngineLoadError().empty());
    EXPECT_FALSE(IsEngineLoaded());
    EXPECT_EQ(CreateEncoder(), nullptr);

    ASSERT_TRUE(LoadEngine(OSTREL_ENGINE_MODULE_FOLDER)) << EngineLoadError();
    EXPECT_TRUE(IsEngineLoaded());
    EXPECT_TRUE(EngineLoadError().empty());
    auto decoder = CreateDecoder();
    ASSERT_NE(decoder, nullptr);
    ASSERT_TRUE(decoder->OpenFile(engine::testing::TestMedia().videoWithAudio.string(), ""));
    EXPECT_EQ(decoder->VideoCodecName(decoder->VideoStreamIndex()), "h264");
    auto encoder = CreateEncoder();
    ASSERT_NE(encoder, nullptr);
    EXPECT_LT(encoder->StartTasks(1), 0);
    EXPECT_FALSE(encoder->LastError().empty());
    auto player = CreatePlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->PlayState(), engine::kPlayerClosed);
    EXPECT_FALSE(player->OpenMedia((folder.Path() / "gone.mp4").string(), nullptr, false));
    EXPECT_FALSE(player->LastError().empty());
}

}  // namespace
}  // namespace ostrel
