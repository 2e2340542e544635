#include "engine/ffmpeg/input.h"

#include "engine/ffmpeg/kept_inputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace ostrel::engine::ff {
namespace {

bool Identify(const std::string& path, Input::FileIdentity& identity) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    constexpr std::int64_t kNs = 1'000'000'000;
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                static_cast<std::int64_t>(info.st_size),
                static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNs + info.st_mtim.tv_nsec,
                static_cast<std::int64_t>(info.st_ctim.tv_sec) * kNs + info.st_ctim.tv_nsec};
    return true;
}

}  // namespace

Input::Input(std::stop_token stop, InputLimits limits) : stop_(std::move(stop)), limits_(limits) {}

int Input::InterruptCallback(void* opaque) {
    Input* input = static_cast<InterruptRelay*>(opaque)->owner.load();
    if (input == nullptr) {
        return 0;  // a kept input, not in use
    }
    if (input->Interrupted()) {
        return 1;
    }
    if (std::chrono::steady_clock::now().time_since_epoch().count() > input->deadline_) {
        input->timedOut_ = true;
        return 1;
    }
    // Called on the reading thread from within the reads, so the context is ours to look at.
    const AVFormatContext* context = input->context_.get();
    if (input->limits_.junkLimitBytes > 0 && context != nullptr && context->pb != nullptr &&
        context->pb->bytes_read - input->usableBytesRead_ > input->limits_.junkLimitBytes) {
        input->hitJunk_ = true;
        return 1;
    }
    return 0;
}

std::int64_t Input::BytesSinceUsable() const {
    return context_ && context_->pb != nullptr ? context_->pb->bytes_read - usableBytesRead_ : 0;
}

void Input::MarkUsable() {
    if (context_ && context_->pb != nullptr) {
        usableBytesRead_ = context_->pb->bytes_read;
    }
}

void Input::StartDeadline() {
    const auto deadline = std::chrono::steady_clock::now() + limits_.readTimeout;
    deadline_ = deadline.time_since_epoch().count();
}

bool Input::Interrupted() const {
    return stop_.stop_requested();
}

bool Input::Open(const std::string& path, const std::string& formatName) {
    context_.reset();
    video_.clear();
    audio_.clear();
    path_ = path;
    formatName_ = formatName;
    readFrom_ = false;
    identified_ = Identify(path, identity_);
    timedOut_ = false;
    hitJunk_ = false;
    usableBytesRead_ = 0;
    failedStep_ = Step::None;
    failedCode_ = 0;
    auto fail = [this](Step step, int code) {
        failedStep_ = step;
        failedCode_ = code;
        context_.reset();
        return false;
    };
    const AVInputFormat* format = nullptr;
    if (!formatName.empty()) {
        format = av_find_input_format(formatName.c_str());
        if (format == nullptr) {
            return fail(Step::Format, AVERROR_DEMUXER_NOT_FOUND);
        }
    }
    if (limits_.reuseProbed && identified_ && TakeKept(path, formatName)) {
        return true;
    }
    if (!relay_) {
        relay_ = std::make_unique<InterruptRelay>();
    }
    relay_->owner = this;
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        return fail(Step::Open, AVERROR(ENOMEM));
    }
    context->interrupt_callback = {&Input::InterruptCallback, relay_.get()};
    Dictionary options;
    options.Set("probesize", std::to_string(limits_.probeSizeBytes));
    options.Set("analyzeduration", std::to_string(limits_.analyzeDurationUs));
    StartDeadline();
    int ret = avformat_open_input(&context, path.c_str(), format, options.Address());
    if (ret < 0) {
        return fail(Step::Open, ret);  // the context is freed by the failed open
    }
    context_.reset(context);
    StartDeadline();
    ret = avformat_find_stream_info(context_.get(), nullptr);
    if (ret < 0) {
        return fail(Step::Probe, ret);
    }
    ListStreams();
    MarkUsable();
    return true;
}

bool Input::TakeKept(const std::string& path, const std::string& formatName) {
    KeptInput kept;
    if (!KeptInputs::Instance().Take(path, formatName, limits_, identity_, kept)) {
        return false;
    }
    relay_ = std::move(kept.relay);
    relay_->owner = this;
    context_ = std::move(kept.context);
    ListStreams();
    MarkUsable();
    return true;
}

void Input::KeepForReuse() {
    if (context_ && identified_ && !readFrom_ && relay_) {
        KeptInput kept;
        kept.path = path_;
        kept.formatName = formatName_;
        kept.identity = identity_;
        kept.limits = limits_;
        kept.bytes = context_->pb != nullptr ? context_->pb->bytes_read : 0;
        kept.expires = std::chrono::steady_clock::now() + KeptInputs::KeptFor();
        relay_->owner = nullptr;
        kept.relay = std::move(relay_);
        kept.context = std::move(context_);
        KeptInputs::Instance().Put(std::move(kept));
    }
    context_.reset();
    video_.clear();
    audio_.clear();
}

void Input::SetKeptFor(std::chrono::milliseconds time) {
    KeptInputs::SetKeptFor(time);
}

int Input::ReusedCount() {
    return KeptInputs::Instance().Reused();
}

std::string Input::ErrorText(const std::string& subject) const {
    if (failedStep_ == Step::Format) {
        return "Unknown input format: " + formatName_;
    }
    const std::string reason =
        timedOut_ ? "no answer within " + std::to_string(limits_.readTimeout.count() / 1000) + " s"
                  : ff::ErrorText(failedCode_);
    const bool reading = failedStep_ == Step::Probe || failedStep_ == Step::Read;
    return (reading ? "Cannot read " : "Cannot open ") + subject + ": " + reason;
}

void Input::ListStreams() {
    for (unsigned i = 0; i < context_->nb_streams; ++i) {
        const AVStream* stream = context_->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        const InputStream entry{static_cast<int>(i), parameters->codec_type,
                                avcodec_find_decoder(parameters->codec_id) != nullptr};
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            video_.push_back(entry);
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            audio_.push_back(entry);
        }
    }
}

// A stream worth converting: a decoder, a known format, and packets seen while probing (a
// declared stream that holds none has no frame rate or sample rate either).
bool Input::IsUsable(const InputStream& stream) const {
    const AVCodecParameters* parameters = context_->streams[stream.index]->codecpar;
    if (!stream.decodable) {
        return false;
    }
    if (stream.type == AVMEDIA_TYPE_AUDIO) {
        return parameters->sample_rate > 0 && parameters->ch_layout.nb_channels > 0;
    }
    return parameters->width > 0 && parameters->height > 0;
}

int Input::MainIndex(const std::vector<InputStream>& streams) const {
    if (streams.empty()) {
        return -1;
    }
    // FFmpeg ranks by disposition, then by the frames it decoded while probing, then by the bit
    // rate; a stream it picks that is not ours (cover art) or not usable is passed over.
    const int best = av_find_best_stream(context_.get(), streams.front().type, -1, -1, nullptr, 0);
    for (const InputStream& stream : streams) {
        if (stream.index == best && IsUsable(stream)) {
            return best;
        }
    }
    for (const InputStream& stream : streams) {
        if (IsUsable(stream)) {
            return stream.index;
        }
    }
    for (const InputStream& stream : streams) {
        if (stream.decodable) {
            return stream.index;
        }
    }
    return streams.front().index;
}

AVStream* Input::Stream(int index) const {
    if (!context_ || index < 0 || index >= static_cast<int>(context_->nb_streams)) {
        return nullptr;
    }
    return context_->streams[index];
}

bool Input::IsDecodable(int index) const {
    for (const auto* list : {&video_, &audio_}) {
        for (const InputStream& stream : *list) {
            if (stream.index == index) {
                return stream.decodable;
            }
        }
    }
    return false;
}

std::int64_t Input::DurationUs() const {
    return context_ && context_->duration > 0 ? context_->duration : 0;
}

std::int64_t Input::StartTimeUs() const {
    return context_ ? context_->start_time : AV_NOPTS_VALUE;
}

double Input::FrameRate() const {
    AVStream* stream = Stream(VideoIndex());
    if (stream == nullptr) {
        return 0.0;
    }
    return av_q2d(av_guess_frame_rate(context_.get(), stream, nullptr));
}

int Input::Read(AVPacket* packet) {
    readFrom_ = true;
    StartDeadline();
    const int ret = av_read_frame(context_.get(), packet);
    if (ret < 0 && timedOut_) {
        failedStep_ = Step::Read;
        failedCode_ = ret;
    }
    return ret;
}

}  // namespace ostrel::engine::ff
