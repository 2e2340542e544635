// Stand-ins for the engine when real media is not the point: a decoder that answers from a
// table of made-up files, an encoder that only counts what it is asked, and the binding that
// hands both to the main window.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "engine/engine.h"

namespace ostrel::testing {

struct FakeMedia {
    bool Opens = true;
    std::string Error = "Invalid data found when processing input";
    int VideoCount = 1;
    int AudioCount = 1;
    int Width = 640;
    int Height = 480;
    std::string VideoCodec = "h264";
    std::string AudioCodec = "aac";
    std::int64_t DurationUs = 2'000'000;
};

class FakeDecoder : public engine::Decoder {
  public:
    // Files not in the table open as the default FakeMedia.
    std::map<std::string, FakeMedia> media;
    // Runs inside OpenFile, with the path being opened.
    std::function<void(const std::string&)> onOpen;
    int openCount = 0;
    bool open = false;

    bool OpenFile(const std::string& path, const std::string&) override {
        ++openCount;
        if (onOpen) {
            onOpen(path);
        }
        const auto found = media.find(path);
        current_ = found == media.end() ? FakeMedia() : found->second;
        open = current_.Opens;
        return current_.Opens;
    }
    std::string LastError() const override { return current_.Error; }
    int VideoStreamCount() const override { return current_.VideoCount; }
    int AudioStreamCount() const override { return current_.AudioCount; }
    int VideoStreamIndex() const override { return current_.VideoCount > 0 ? 0 : -1; }
    int AudioStreamIndex() const override { return current_.AudioCount > 0 ? 1 : -1; }
    std::string VideoCodecName(int index) const override {
        return index >= 0 ? current_.VideoCodec : std::string();
    }
    std::string AudioCodecName(int index) const override {
        return index >= 0 ? current_.AudioCodec : std::string();
    }
    int VideoWidth(int) const override { return current_.Width; }
    int VideoHeight(int) const override { return current_.Height; }
    std::int32_t DurationLow() const override {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(current_.DurationUs));
    }
    std::int32_t DurationHigh() const override {
        return static_cast<std::int32_t>(current_.DurationUs >> 32);
    }
    void CloseFile() override { open = false; }

  private:
    FakeMedia current_;
};

class CountingEncoder : public engine::Encoder {
  public:
    int stopCount = 0;
    bool posterSet = false;

    void SetEventPoster(engine::EventPoster poster) override { posterSet = bool(poster); }
    void SetEvents(engine::EncoderEvents) override {}
    void ClearTasks() override {}
    int OpenInput(const std::string&, const std::string&) override { return -1; }
    int AddOutput(int, const std::string&, const std::string&) override { return -1; }
    void CloseInput(int) override {}
    int StartTasks(int) override { return -1; }
    void StopTasks(bool) override { ++stopCount; }
    std::string LastError() const override { return "not a real engine"; }
};

// The engine objects a window got, kept visible to the test.
struct FakeEngine {
    FakeDecoder* decoder = nullptr;
    CountingEncoder* encoder = nullptr;
    bool loads = true;
    std::map<std::string, FakeMedia> media;
    std::function<void(const std::string&)> onOpen;

    EngineBinding Binding() {
        EngineBinding binding;
        binding.IsLoaded = [] { return false; };
        binding.Load = [this](const QString&) { return loads; };
        binding.CreateEncoder = [this]() -> std::unique_ptr<engine::Encoder> {
            auto made = std::make_unique<CountingEncoder>();
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
        return binding;
    }
};

}  // namespace ostrel::testing
