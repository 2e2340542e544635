// Probing: the streams, codecs, picture size and duration of one file.
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/transcode.h"

#include <cmath>
#include <utility>
#include <vector>

namespace ostrel::engine::ff {
namespace {

// Probing reads the headers and at most this much data, never a whole file.
constexpr const char* kProbeSizeBytes = "5000000";
constexpr const char* kAnalyzeDurationUs = "5000000";

class FfmpegDecoder final : public Decoder {
  public:
    bool OpenFile(const std::string& path, const std::string& formatName) override {
        CloseFile();
        const AVInputFormat* format = nullptr;
        if (!formatName.empty()) {
            format = av_find_input_format(formatName.c_str());
            if (format == nullptr) {
                lastError_ = "Unknown input format: " + formatName;
                return false;
            }
        }
        Dictionary options;
        options.Set("probesize", kProbeSizeBytes);
        options.Set("analyzeduration", kAnalyzeDurationUs);
        AVFormatContext* context = nullptr;
        int ret = avformat_open_input(&context, path.c_str(), format, options.Address());
        if (ret < 0) {
            lastError_ = "Cannot open " + path + ": " + ErrorText(ret);
            return false;
        }
        InputContextPtr input(context);
        ret = avformat_find_stream_info(input.get(), nullptr);
        if (ret < 0) {
            lastError_ = "Cannot read " + path + ": " + ErrorText(ret);
            return false;
        }
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            const AVStream* stream = input->streams[i];
            const AVCodecParameters* parameters = stream->codecpar;
            StreamInfo info;
            info.index = static_cast<int>(i);
            info.codecName = avcodec_get_name(parameters->codec_id);
            if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                info.width = parameters->width;
                info.height = parameters->height;
                const double rotation = DisplayRotationDegrees(stream);
                if (std::fabs(rotation - 90.0) < 1.0 || std::fabs(rotation - 270.0) < 1.0) {
                    std::swap(info.width, info.height);
                }
                video_.push_back(info);
            } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
                audio_.push_back(info);
            }
        }
        durationUs_ = input->duration > 0 ? input->duration : 0;
        input_ = std::move(input);
        lastError_.clear();
        return true;
    }

    std::string LastError() const override { return lastError_; }
    int VideoStreamCount() const override { return static_cast<int>(video_.size()); }
    int AudioStreamCount() const override { return static_cast<int>(audio_.size()); }
    int VideoStreamIndex() const override { return video_.empty() ? -1 : video_.front().index; }
    int AudioStreamIndex() const override { return audio_.empty() ? -1 : audio_.front().index; }
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
        input_.reset();
        video_.clear();
        audio_.clear();
        durationUs_ = 0;
    }

  private:
    struct StreamInfo {
        int index = -1;
        std::string codecName;
        int width = 0;
        int height = 0;
    };

    static const StreamInfo* Find(const std::vector<StreamInfo>& streams, int index) {
        for (const StreamInfo& info : streams) {
            if (info.index == index) {
                return &info;
            }
        }
        return nullptr;
    }

    InputContextPtr input_;
    std::vector<StreamInfo> video_;
    std::vector<StreamInfo> audio_;
    std::int64_t durationUs_ = 0;
    std::string lastError_;
};

}  // namespace

std::unique_ptr<Decoder> CreateFfmpegDecoder() {
    QuietLibavLog();
    return std::make_unique<FfmpegDecoder>();
}

}  // namespace ostrel::engine::ff
