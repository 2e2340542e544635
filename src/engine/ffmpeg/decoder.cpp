// Probing: the streams, codecs, picture size and duration of one file.
#include <sys/stat.h>

#include <memory>
#include <vector>

#include "engine/ffmpeg/copy_fit.h"
#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/log.h"

namespace ostrel::engine::ff {
namespace {

class FfmpegDecoder final : public Decoder {
  public:
    ~FfmpegDecoder() override { CloseFile(); }

    bool OpenFile(const std::string& path, const std::string& formatName) override {
        CloseFile();
        // Told by stat, never by opening it: a named pipe would hold the probe until a
        // writer appears, a device may never end.
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            lastError_ = "Not a regular file";
            return false;
        }
        auto input = std::make_unique<Input>();
        const LogCapture log;
        if (!input->Open(path, formatName)) {
            lastError_ = log.Explain(input->ErrorText(path));
            return false;
        }
        for (const auto& [list, infos] : {std::pair{&input->VideoStreams(), &video_},
                                          std::pair{&input->AudioStreams(), &audio_}}) {
            for (const InputStream& stream : *list) {
                infos->push_back(Describe(*input->Stream(stream.index)));
            }
        }
        videoIndex_ = input->VideoIndex();
        audioIndex_ = input->AudioIndex();
        durationUs_ = input->DurationUs();
        input_ = std::move(input);
        lastError_.clear();
        return true;
    }

    std::string LastError() const override { return lastError_; }
    int CopiedStreams(const std::string& outputPath, const std::string& options) override {
        if (!input_) {
            lastError_ = "No file is open";
            return -1;
        }
        const int copied = CopiedStreamsFor(*input_->Context(), videoIndex_, audioIndex_,
                                            outputPath, options, lastError_);
        return copied;
    }
    int VideoStreamCount() const override { return static_cast<int>(video_.size()); }
    int AudioStreamCount() const override { return static_cast<int>(audio_.size()); }
    int VideoStreamIndex() const override { return videoIndex_; }
    int AudioStreamIndex() const override { return audioIndex_; }
    std::string VideoCodecName(int streamIndex) const override {
        const StreamInfo* info = Find(video_, streamIndex);
        return info != nullptr ? info->codecName : std::string();
    }
    std::string AudioCodecName(int streamIndex) const override {
        const StreamInfo* info = Find(audio_, streamIndex);
        return info != nullptr ? info->codecName : std::string();
    }
    int VideoWidth(int streamIndex) const override {
        const StreamInfo* info = Find(video_, streamIndex);
        return info != nullptr ? info->width : 0;
    }
    int VideoHeight(int streamIndex) const override {
        const StreamInfo* info = Find(video_, streamIndex);
        return info != nullptr ? info->height : 0;
    }
    std::int32_t DurationLow() const override {
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(durationUs_) & 0xFFFFFFFFu));
    }
    std::int32_t DurationHigh() const override {
        return static_cast<std::int32_t>(static_cast<std::uint64_t>(durationUs_) >> 32);
    }
    void CloseFile() override {
        // A file just probed is often converted next: its opened input is kept for the task.
        if (input_) {
            input_->KeepForReuse();
        }
        input_.reset();
        video_.clear();
        audio_.clear();
        videoIndex_ = -1;
        audioIndex_ = -1;
        durationUs_ = 0;
    }

  private:
    struct StreamInfo {
        int index = -1;
        std::string codecName;
        int width = 0;  // as shown, for video
        int height = 0;
    };

    static StreamInfo Describe(const AVStream& stream) {
        StreamInfo info;
        info.index = stream.index;
        info.codecName = avcodec_get_name(stream.codecpar->codec_id);
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            const PictureSize size = UprightSize(&stream);
            info.width = size.width;
            info.height = size.height;
        }
        return info;
    }

    static const StreamInfo* Find(const std::vector<StreamInfo>& streams, int index) {
        for (const StreamInfo& info : streams) {
            if (info.index == index) {
                return &info;
            }
        }
        return nullptr;
    }

    std::unique_ptr<Input> input_;
    std::vector<StreamInfo> video_;
    std::vector<StreamInfo> audio_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    std::int64_t durationUs_ = 0;
    std::string lastError_;
};

}  // namespace

std::unique_ptr<Decoder> CreateFfmpegDecoder() {
    RouteLibavLog();
    return std::make_unique<FfmpegDecoder>();
}

}  // namespace ostrel::engine::ff
