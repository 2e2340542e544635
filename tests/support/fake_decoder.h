// A stand-in for the engine's decoder that answers from a table of made-up files.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

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
    // Files not in the table open as fallback.
    std::map<std::string, FakeMedia> media;
    FakeMedia fallback;
    // Runs inside OpenFile, with the path being opened.
    std::function<void(const std::string&)> onOpen;
    int openCount = 0;
    int closeCount = 0;
    bool open = false;

    bool OpenFile(const std::string& path, const std::string&) override {
        ++openCount;
        if (onOpen) {
            onOpen(path);
        }
        const auto found = media.find(path);
        current_ = found == media.end() ? fallback : found->second;
        open = current_.Opens;
        return current_.Opens;
    }
    std::string LastError() const override { return current_.Error; }
    int VideoStreamCount() const override { return current_.VideoCount; }
    int AudioStreamCount() const override { return current_.AudioCount; }
    int VideoStreamIndex() const override { return current_.VideoCount > 0 ? 0 : -1; }
    int AudioStreamIndex() const override { return current_.AudioCount > 0 ? 1 : -1; }
    std::string VideoCodecName(int index) const override {
        return index == 0 ? current_.VideoCodec : std::string();
    }
    std::string AudioCodecName(int index) const override {
        return index == 1 ? current_.AudioCodec : std::string();
    }
    int VideoWidth(int) const override { return current_.Width; }
    int VideoHeight(int) const override { return current_.Height; }
    std::int32_t DurationLow() const override {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(current_.DurationUs));
    }
    std::int32_t DurationHigh() const override {
        return static_cast<std::int32_t>(current_.DurationUs >> 32);
    }
    int CopiedStreams(const std::string&, const std::string&) override { return open ? 0 : -1; }
    void CloseFile() override {
        ++closeCount;
        open = false;
    }

  private:
    FakeMedia current_;
};

}  // namespace ostrel::testing
