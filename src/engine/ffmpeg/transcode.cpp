#include "engine/ffmpeg/transcode.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/bounded_queue.h"
#include "engine/ffmpeg/cover_art.h"
#include "engine/ffmpeg/encoder_constraints.h"
#include "engine/ffmpeg/filter_graph.h"
#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/length_check.h"
#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/metadata.h"
#include "engine/ffmpeg/output.h"
#include "engine/ffmpeg/stream_decoder.h"
#include "engine/ffmpeg/stream_encoder.h"
#include "engine/ffmpeg/subtitles.h"

namespace ostrel::engine::ff {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
// How much of the input may pass without a decoded frame before its rest counts as damaged.
constexpr std::int64_t kJunkLimitBytes = 64 * 1024 * 1024;
// A read that times out after this much data without a decoded frame was reading junk.
constexpr std::int64_t kJunkHintBytes = 1024 * 1024;
// The hand-over queues of a task's pipeline: deep enough to ride out the stages' uneven pace (a
// key frame that takes long to decode, an encoder's lookahead), small enough that the memory
// stays that of a conversion done in one thread. One decoded picture is enough: the decoder
// works on the next while the encoder takes it, and each picture held is 1.4 MB at 720p (two
// were no faster and took 1.5 MB more at the peak).
constexpr std::size_t kVideoPacketQueue = 16;
constexpr std::size_t kAudioPacketQueue = 64;
constexpr std::size_t kVideoFrameQueue = 1;
// Sound without video is read and decoded on one thread and converted further on another. An
// encoder that takes frames of this many samples or more (MP3, AAC, AC3, MP2, WMA, FLAC) does
// most of the work, so it gets the second thread to itself and the resampling stays with the
// decoding: MP3 takes 0.87 of the ffmpeg tool's time that way, 0.94 when the hand-over is
// after the decoding. Small frames (Vorbis takes 64 samples) or none (PCM) would cost more to
// hand over one by one than they gain (Vorbis 1.18), so the decoded frames go over instead and
// the resampling goes with the encoding (PCM 0.90, against 0.95 on one thread).
constexpr int kSplitAudioFrameSamples = 512;
// Sound frames handed from one thread to the other; the consumer is woken for a batch of them.
constexpr std::size_t kAudioFrameQueue = 32;
// When the streams read end early, this much before their end is read again with every stream.
constexpr std::int64_t kTailRereadUs = 3'000'000;

InputLimits ConversionLimits() {
    InputLimits limits;
    limits.junkLimitBytes = kJunkLimitBytes;
    limits.reuseProbed = true;
    return limits;
}

// One converted stream: decoder → filter graph → encoder → output stream, fed with packets
// by the reading stage. Video is decoded on a thread of its own and handed on as frames.
struct StreamPath {
    const char* name = "";  // "video" or "audio", for messages
    bool wanted = false;
    AVStream* inStream = nullptr;
    StreamDecoder decoder;
    FilterGraph graph;
    StreamEncoder encoder;
    AVStream* outStream = nullptr;
    std::int64_t nextEncodePts = AV_NOPTS_VALUE;  // audio: next frame to encode, encoder time base
    FramePtr filtered;
    std::unique_ptr<BoundedQueue<PacketPtr>> packets;
    // Decoded, to filter and encode on another thread: video, and sound without video when its
    // encoder takes small frames.
    std::unique_ptr<BoundedQueue<FramePtr>> frames;
    // Filtered, to encode on another thread: sound without video when its encoder takes large
    // frames.
    std::unique_ptr<BoundedQueue<FramePtr>> toEncode;
    std::string error;        // of this path's stages while converting
    std::string encodeError;  // of the encoding thread that takes toEncode
};

// The kind of audio the audio graph was built for.
struct AudioKind {
    int sampleRate = 0;
    int format = AV_SAMPLE_FMT_NONE;
    int channels = 0;
    bool operator==(const AudioKind&) const = default;
};

class Task {
  public:
    explicit Task(const TranscodeRequest& request)
        : request_(request),
          input_(request.stop, ConversionLimits()),
          output_(request.outputPath, request.stop) {
        video_.name = "video";
        audio_.name = "audio";
        video_.filtered.reset(av_frame_alloc());
        audio_.filtered.reset(av_frame_alloc());
    }

    TranscodeResult Run() {
        const LogCapture log;
        const bool ok = video_.filtered && audio_.filtered && OpenInput() && ChooseStreams() &&
                        output_.Create(request_.container.muxer, error_) &&
                        (!video_.wanted || SetupVideo()) && (!audio_.wanted || SetupAudio()) &&
                        OpenOutput() && Convert() && Finish();
        if (ok) {
            return {TaskOutcome::Succeeded, {}, output_.WrittenPath()};
        }
        if (Cancelled()) {
            return {TaskOutcome::Stopped, {}, {}};
        }
        // Texts that pass on an FFmpeg error code get libav's own first complaint as detail.
        const std::string text = error_.empty() ? "Out of memory" : error_;
        return {TaskOutcome::Failed, text.rfind("Cannot ", 0) == 0 ? log.Explain(text) : text, {}};
    }

  private:
    bool Fail(const std::string& text) {
        if (error_.empty()) {
            error_ = text;
        }
        return false;
    }
    bool Cancelled() const { return request_.stop.stop_requested(); }
    // A stop, or a stage of the pipeline failed: every stage ends.
    bool Stopping() const { return Cancelled() || aborted_.load(); }

    // Ends the pipeline for a stage's failure; the first text given is the task's error.
    bool Abort(const std::string& text) {
        {
            std::lock_guard lock(failureMutex_);
            if (failure_.empty() && !text.empty() && !Cancelled()) {
                failure_ = text;
            }
        }
        aborted_ = true;
        for (StreamPath* path : {&video_, &audio_}) {
            if (path->packets) {
                path->packets->Abort();
            }
            if (path->frames) {
                path->frames->Abort();
            }
            if (path->toEncode) {
                path->toEncode->Abort();
            }
        }
        return false;
    }
    bool Abort(const StreamPath& path) { return Abort(path.error); }

    bool OpenInput() {
        return input_.Open(request_.inputPath, request_.inputFormat) ||
               Fail(input_.ErrorText("the input file"));
    }

    // What the input offers decides the parts of the job that depend on it.
    bool ChooseStreams() {
        if (!ParseOptions(request_.options, InputFacts{input_.FrameRate()}, job_, error_)) {
            return false;
        }
        const bool takesVideo = !job_.noVideo && !request_.container.audioOnly;
        const bool takesAudio = !job_.noAudio;
        video_.wanted = input_.VideoIndex() >= 0 && takesVideo;
        audio_.wanted = input_.AudioIndex() >= 0 && takesAudio;
        if (!video_.wanted && !audio_.wanted) {
            // The output takes at least one kind (AddOutput refused it otherwise).
            return Fail(takesVideo && takesAudio ? "The input has no audio or video stream"
                        : takesAudio
                            ? "The input has no audio stream, and this output takes no video"
                            : "The input has no video stream, and this output takes no audio");
        }
        video_.inStream = input_.Stream(input_.VideoIndex());
        audio_.inStream = input_.Stream(input_.AudioIndex());
        length_.Start(*input_.Context(), request_.inputPath);
        for (const StreamPath* path : {&video_, &audio_}) {
            if (path->wanted) {
                length_.Convert(path->inStream->index);
            }
        }
        return true;
    }

    // Opens the path's decoder for a stream whose format the input tells.
    bool OpenDecoder(StreamPath& path) {
        // A video decoder has a pipeline stage of its own beside the encoder, so it gets half
        // the task's threads: more frame threads hold more pictures and add only latency.
        const int threads = &path == &video_ ? std::max(1, request_.threads / 2) : request_.threads;
        if (!path.decoder.Open(input_.Context(), path.inStream, threads, error_)) {
            return false;
        }
        const AVCodecContext* decoder = path.decoder.Context();
        const bool known =
            &path == &video_
                ? decoder->pix_fmt != AV_PIX_FMT_NONE && decoder->width > 0 && decoder->height > 0
                : decoder->sample_rate > 0 && decoder->sample_fmt != AV_SAMPLE_FMT_NONE &&
                      decoder->ch_layout.nb_channels > 0;
        if (!known) {
            return Fail(std::string("The input's ") + path.name + " format is unknown");
        }
        // The output starts at 0 whatever the input's start time.
        if (input_.StartTimeUs() != AV_NOPTS_VALUE) {
            path.decoder.SetStartPts(
                av_rescale_q(input_.StartTimeUs(), AV_TIME_BASE_Q, path.inStream->time_base));
        }
        return true;
    }

    bool SetupVideo() {
        if (!OpenDecoder(video_)) {
            return false;
        }
        const AVCodecContext* decoder = video_.decoder.Context();
        const AVRational sar =
            av_guess_sample_aspect_ratio(input_.Context(), video_.inStream, nullptr);
        const std::string source =
            VideoSourceArgs(*decoder, video_.inStream->time_base, sar, decoder->framerate);
        // Phone videos are turned upright first, then the user's chain runs.
        const std::string chain =
            JoinChain({UprightFilter(video_.inStream), UserChain(job_.filters)});
        // A trial graph tells the size the chain produces.
        FilterGraph trial;
        if (!trial.Build(AVMEDIA_TYPE_VIDEO, source, chain, request_.threads, error_)) {
            return false;
        }
        VideoEncoderSettings settings;
        if (!ChooseVideoEncoder({trial.Width(), trial.Height()}, settings)) {
            return false;
        }
        if (!video_.graph.Build(AVMEDIA_TYPE_VIDEO, source,
                                JoinChain({chain, EncoderTail(settings)}), request_.threads,
                                error_)) {
            return false;
        }
        settings.width = video_.graph.Width();
        settings.height = video_.graph.Height();
        settings.sampleAspectRatio = video_.graph.SampleAspectRatio();
        settings.pixelFormat = static_cast<AVPixelFormat>(video_.graph.Format());
        return video_.encoder.OpenVideo(settings, error_);
    }

    // The encoder and what it takes: size, frame rate, pixel format, rates and options.
    bool ChooseVideoEncoder(PictureSize chainSize, VideoEncoderSettings& settings) {
        const PictureSize wanted{job_.width > 0 ? job_.width : chainSize.width,
                                 job_.height > 0 ? job_.height : chainSize.height};
        const std::string name = job_.videoCodec.empty()
                                     ? DefaultVideoEncoder(request_.container, wanted)
                                     : job_.videoCodec;
        const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(name).c_str());
        if (codec == nullptr) {
            return Fail(name.empty() ? "No video encoder for " + request_.outputPath
                                     : "The video encoder " + name + " is not available");
        }
        const VideoEncoderRule& rule = VideoRuleFor(codec->name);
        const PictureSize size = FitPictureSize(rule, wanted);
        const AVRational inputRate = video_.decoder.Context()->framerate;
        settings.codec = codec;
        settings.width = size.width;
        settings.height = size.height;
        settings.pixelFormat = PreferredPixelFormat(*codec, job_.constraints.pixelFormat,
                                                    FitPixelFormat(rule, *codec));
        settings.frameRate = FitFrameRate(
            rule, job_.frameRate.IsSet() ? AVRational{job_.frameRate.num, job_.frameRate.den}
                                         : inputRate);
        settings.bitrate = job_.videoBitrate;
        settings.target = &job_.target;
        settings.constraints = &job_.constraints;
        settings.x264Preset = job_.x264Preset;
        settings.threads = request_.threads;
        settings.globalHeader = output_.NeedsGlobalHeader();
        return true;
    }

    // The scale always closes the chain: it is free when the size already fits, and it keeps
    // the encoder's size should the input change its picture size mid-stream.
    std::string EncoderTail(const VideoEncoderSettings& settings) const {
        const std::string aspect =
            job_.aspect.IsSet() ? Format("setdar=%d/%d", job_.aspect.num, job_.aspect.den) : "";
        return JoinChain({Format("scale=%d:%d", settings.width, settings.height), aspect,
                          Format("fps=%d/%d", settings.frameRate.num, settings.frameRate.den),
                          std::string("format=") + av_get_pix_fmt_name(settings.pixelFormat)});
    }

    bool SetupAudio() {
        if (!OpenDecoder(audio_)) {
            return false;
        }
        const AVCodecContext* decoder = audio_.decoder.Context();
        const std::string name =
            job_.audioCodec.empty() ? request_.container.audioCodec : job_.audioCodec;
        const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(name).c_str());
        if (codec == nullptr) {
            return Fail(name.empty() ? "No audio encoder for " + request_.outputPath
                                     : "The audio encoder " + name + " is not available");
        }
        AudioEncoderSettings settings;
        settings.codec = codec;
        settings.sampleRate =
            FitSampleRate(*codec, request_.container.muxer,
                          job_.sampleRate > 0 ? job_.sampleRate : decoder->sample_rate);
        settings.layout = FitChannelLayout(
            *codec, job_.channels > 0 ? job_.channels : decoder->ch_layout.nb_channels);
        settings.sampleFormat = FitSampleFormat(*codec, decoder->sample_fmt);
        const AudioEncoderRule& rule = AudioRuleFor(codec->id);
        settings.bitrate = job_.audioBitrate > 0
                               ? FitAudioBitrate(rule, job_.audioBitrate, settings.sampleRate)
                               : job_.audioBitrate;
        settings.threads = request_.threads;
        settings.globalHeader = output_.NeedsGlobalHeader();
        if (!OpenAudioEncoder(rule, settings)) {
            return false;
        }
        return BuildAudioGraph(
            {decoder->sample_rate, decoder->sample_fmt, decoder->ch_layout.nb_channels},
            decoder->ch_layout, error_);
    }

    // Encoders that refuse low bit rates for some layouts get the lowest rate they take.
    bool OpenAudioEncoder(const AudioEncoderRule& rule, AudioEncoderSettings& settings) {
        bool opened = audio_.encoder.OpenAudio(settings, error_);
        if (!opened && rule.raiseBitrateUntilOpen && settings.bitrate > 0 && !Cancelled()) {
            constexpr std::int64_t kStep = 8000;
            constexpr std::int64_t kHighest = 512000;
            for (std::int64_t raised = settings.bitrate + kStep; raised <= kHighest && !opened;
                 raised += kStep) {
                error_.clear();
                settings.bitrate = raised;
                opened = audio_.encoder.OpenAudio(settings, error_);
            }
        }
        return opened;
    }

    // abuffer → aresample → aformat → abuffersink for audio of the given kind. Built again
    // when the input changes its audio format mid-stream (the old graph's last partial frame is
    // dropped) instead of failing the task.
    bool BuildAudioGraph(const AudioKind& kind, const AVChannelLayout& layout, std::string& error) {
        const AVCodecContext* encoder = audio_.encoder.Context();
        const std::string source =
            AudioSourceArgs(audio_.inStream->time_base, kind.sampleRate,
                            static_cast<AVSampleFormat>(kind.format), layout);
        const std::string chain =
            Format("aresample=%d,aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s",
                   encoder->sample_rate, av_get_sample_fmt_name(encoder->sample_fmt),
                   encoder->sample_rate, ChannelLayout(encoder->ch_layout).Describe().c_str());
        if (!audio_.graph.Build(AVMEDIA_TYPE_AUDIO, source, chain, request_.threads, error)) {
            return false;
        }
        // Encoders without variable frame sizes get frames of exactly their size.
        if (!(encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
            encoder->frame_size > 0) {
            audio_.graph.SetFrameSize(encoder->frame_size);
        }
        audioKind_ = kind;
        return true;
    }

    bool OpenOutput() {
        for (StreamPath* path : {&video_, &audio_}) {
            if (path->wanted) {
                path->outStream = output_.AddStream(*path->encoder.Context(), error_);
                if (path->outStream == nullptr) {
                    return false;
                }
                CopyStreamTags(*path->inStream, *path->outStream, path->encoder.Context()->codec,
                               Tags());
            }
        }
        return CarryMetadata() && output_.Open(job_.target, error_) &&
               cover_.Write(*output_.Context(), error_);
    }

    // The input's tags, chapters, cover and subtitle tracks go into the output's header.
    TagPolicy Tags() const { return job_.noMetadata ? TagPolicy::Strip : TagPolicy::Keep; }
    bool CarryMetadata() {
        CopyContainerTags(*input_.Context(), *output_.Context(), Tags());
        return (CopyChapters(*input_.Context(), *output_.Context(), input_.StartTimeUs(),
                             length_.ExpectedUs(), Tags()) &&
                cover_.Add(*input_.Context(), *output_.Context(), Tags()) &&
                subtitles_.Add(*input_.Context(), *output_.Context(), input_.StartTimeUs(),
                               Tags())) ||
               Fail("Out of memory");
    }

    // The pipeline: this thread reads and hands packets on; video is decoded on one thread and
    // filtered and encoded on another (the encoder's own threads come on top), audio is
    // decoded, filtered and encoded on a third. The muxer, fed by every stage, is shared under
    // a lock: av_interleaved_write_frame puts the packets in timestamp order. Without video,
    // the sound is decoded on this thread as it is read and handed on as decoded or filtered
    // frames (see kSplitAudioFrameSamples): reading alone is too small a part of the work to
    // hand every packet to another thread.
    bool Convert() {
        DiscardUnusedStreams();
        // Sound gets a packet queue only beside video; alone, it is decoded as it is read.
        for (StreamPath* path : {&video_, &audio_}) {
            if (path->wanted && (path == &video_ || video_.wanted)) {
                path->packets = std::make_unique<BoundedQueue<PacketPtr>>(
                    path == &video_ ? kVideoPacketQueue : kAudioPacketQueue, request_.stop);
            }
        }
        if (video_.wanted) {
            video_.frames =
                std::make_unique<BoundedQueue<FramePtr>>(kVideoFrameQueue, request_.stop);
        } else {
            const bool largeFrames =
                audio_.encoder.Context()->frame_size >= kSplitAudioFrameSamples;
            (largeFrames ? audio_.toEncode : audio_.frames) =
                std::make_unique<BoundedQueue<FramePtr>>(kAudioFrameQueue, request_.stop,
                                                         BoundedQueue<FramePtr>::Wake::Batch);
        }
        {
            std::vector<std::jthread> stages;
            try {
                if (video_.wanted) {
                    stages.emplace_back([this] { Stage([this] { DecodeVideo(); }); });
                    stages.emplace_back([this] { Stage([this] { EncodeVideo(); }); });
                }
                if (audio_.packets) {
                    stages.emplace_back([this] { Stage([this] { ConvertAudio(); }); });
                }
                if (audio_.toEncode) {
                    stages.emplace_back([this] { Stage([this] { EncodeAudio(); }); });
                }
                if (audio_.frames) {
                    stages.emplace_back([this] { Stage([this] { FilterAudio(); }); });
                }
            } catch (const std::system_error& e) {
                Abort(std::string("Cannot start the conversion's threads: ") + e.what());
            }
            if (!aborted_) {
                Demux();
            }
        }  // every stage has ended here
        if (!failure_.empty()) {
            return Fail(failure_);
        }
        if (Stopping()) {
            return false;
        }
        return VerifyDiscardedEnds();
    }

    template <typename Body>
    void Stage(Body body) {
        if (request_.stageThread) {
            request_.stageThread();
        }
        body();
    }

    // Streams that are not converted are not read at all: the demuxer skips their data.
    void DiscardUnusedStreams() {
        AVFormatContext* input = input_.Context();
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            AVStream* stream = input->streams[i];
            const bool used = (video_.wanted && stream == video_.inStream) ||
                              (audio_.wanted && stream == audio_.inStream) ||
                              subtitles_.Carries(static_cast<int>(i));
            if (!used) {
                stream->discard = AVDISCARD_ALL;
                discarded_.push_back(static_cast<int>(i));
            }
        }
    }

    // The streams that were not read still count for whether the input is complete: when the
    // streams read end early, the tail of the file is read once more with every stream, so
    // that a picture lasting longer than the sound is not taken for a cut file.
    bool VerifyDiscardedEnds() {
        if (discarded_.empty() || !length_.EndsEarly()) {
            return true;
        }
        AVFormatContext* input = input_.Context();
        for (const int index : discarded_) {
            input->streams[index]->discard = AVDISCARD_DEFAULT;
        }
        const std::int64_t declaredUs = length_.ExpectedUs();
        const std::int64_t tailUs = LengthCheck::ToleranceUs(declaredUs) + kTailRereadUs;
        const std::int64_t targetUs =
            (input_.StartTimeUs() != AV_NOPTS_VALUE ? input_.StartTimeUs() : 0) +
            std::max<std::int64_t>(0, declaredUs - tailUs);
        if (av_seek_frame(input, -1, targetUs, AVSEEK_FLAG_BACKWARD) < 0) {
            return true;  // the length check reports the file as cut
        }
        PacketPtr packet(av_packet_alloc());
        if (!packet) {
            return Fail("Out of memory");
        }
        while (!Cancelled() && input_.Read(packet.get()) >= 0) {
            length_.Saw(*packet);
            av_packet_unref(packet.get());
        }
        return !Cancelled();
    }

    std::int64_t MuxedUs() {
        std::lock_guard lock(muxMutex_);
        return output_.PositionUs();
    }

    // The reading stage, on the task's thread.
    void Demux() {
        PacketPtr packet(av_packet_alloc());
        if (!packet) {
            Abort("Out of memory");
            return;
        }
        // Sound without video is decoded here, then handed on or filtered here.
        const StreamDecoder::FrameSink decodedAudio = [this](AVFrame* frame) {
            usableSeen_ = true;
            return audio_.frames ? HandOn(*audio_.frames, frame) : PushAudioFrame(frame);
        };
        while (!Stopping()) {
            if (usableSeen_.exchange(false)) {
                input_.MarkUsable();
            }
            if (input_.Read(packet.get()) < 0) {
                // A read that ran out of time while data kept coming found junk, not a stall.
                const bool junk = input_.HitJunk() ||
                                  (input_.TimedOut() && input_.BytesSinceUsable() > kJunkHintBytes);
                if (input_.TimedOut() && !junk) {
                    Abort(input_.ErrorText("the input file"));
                    return;
                }
                if (junk) {
                    Abort(
                        Format("The rest of the input file is damaged: nothing could be "
                               "read after %.1f s",
                               static_cast<double>(MuxedUs()) / 1e6));
                    return;
                }
                break;  // end of input; a damaged tail ends it too (the length check follows)
            }
            length_.Saw(*packet);
            const int index = packet->stream_index;
            StreamPath* path = video_.wanted && index == video_.inStream->index   ? &video_
                               : audio_.wanted && index == audio_.inStream->index ? &audio_
                                                                                  : nullptr;
            if (path != nullptr && path->packets) {
                PacketPtr queued(av_packet_alloc());
                if (!queued) {
                    Abort("Out of memory");
                    return;
                }
                av_packet_move_ref(queued.get(), packet.get());
                if (!path->packets->Push(std::move(queued))) {
                    return;  // stopped, or a stage failed
                }
            } else if (path != nullptr) {
                if (!audio_.decoder.Decode(packet.get(), decodedAudio)) {
                    AbortReadAudio();
                    return;
                }
            } else if (subtitles_.Carries(index)) {
                std::lock_guard lock(muxMutex_);
                if (!subtitles_.Write(*packet, *output_.Context(), error_)) {
                    Abort(error_);
                    return;
                }
            }
            av_packet_unref(packet.get());
        }
        for (StreamPath* path : {&video_, &audio_}) {
            if (path->packets) {
                path->packets->Close();
            }
        }
        if (audio_.wanted && !audio_.packets && !Stopping() && !FinishAudio(decodedAudio)) {
            AbortReadAudio();
        }
    }

    // The sound read on this thread failed. Decoded frames that could not be handed on mean
    // the other stage ended: its own error is the task's, and this thread never looks at it.
    void AbortReadAudio() {
        if (audio_.frames) {
            Abort(std::string());
        } else {
            Abort(audio_);
        }
    }

    // The end of the sound read on this thread: the decoder's last frames, then the end.
    bool FinishAudio(const StreamDecoder::FrameSink& decodedAudio) {
        if (!audio_.decoder.Decode(nullptr, decodedAudio)) {
            return false;
        }
        if (audio_.frames) {
            audio_.frames->Close();
            return true;
        }
        return PushFrame(audio_, nullptr);
    }

    // Moves a frame into the queue of the stage that converts it further.
    bool HandOn(BoundedQueue<FramePtr>& queue, AVFrame* frame) {
        FramePtr handed(av_frame_alloc());
        if (!handed) {
            return Abort("Out of memory");
        }
        av_frame_move_ref(handed.get(), frame);
        return queue.Push(std::move(handed));
    }

    // One stage's loop: each item of the queue goes to step until the queue ends, then
    // finish runs. A failure of either ends the pipeline with error, which the stage's own
    // thread wrote (read only after the failure, so it holds the failure's text).
    template <typename Item, typename Step, typename Finish>
    void Drain(BoundedQueue<Item>& queue, Step step, Finish finish, const std::string& error) {
        Item item;
        while (queue.Pop(item)) {
            if (!step(item.get())) {
                Abort(error);
                return;
            }
            item.reset();
        }
        if (!Stopping() && !finish()) {
            Abort(error);
        }
    }

    // Its only failure is a hand-over that did not happen: another stage's failure or a stop,
    // whose text is already the task's.
    void DecodeVideo() {
        const StreamDecoder::FrameSink sink = [this](AVFrame* frame) {
            usableSeen_ = true;
            if (frame->pts != AV_NOPTS_VALUE) {
                const std::int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration : 0;
                lastVideoEndPts_ = lastVideoEndPts_ == AV_NOPTS_VALUE
                                       ? frame->pts + duration
                                       : std::max(lastVideoEndPts_, frame->pts + duration);
            }
            return HandOn(*video_.frames, frame);
        };
        Drain(
            *video_.packets,
            [&](const AVPacket* packet) { return video_.decoder.Decode(packet, sink); },
            [&] {
                if (!video_.decoder.Decode(nullptr, sink)) {
                    return false;
                }
                video_.frames->Close();
                return true;
            },
            std::string());
    }

    void EncodeVideo() {
        Drain(
            *video_.frames, [this](AVFrame* frame) { return PushFrame(video_, frame); },
            [this] { return CloseVideo(); }, video_.error);
    }

    // Decodes, filters and encodes the sound beside the video.
    void ConvertAudio() {
        const StreamDecoder::FrameSink sink = [this](AVFrame* frame) {
            usableSeen_ = true;
            return PushAudioFrame(frame);
        };
        Drain(
            *audio_.packets,
            [&](const AVPacket* packet) { return audio_.decoder.Decode(packet, sink); },
            [&] { return audio_.decoder.Decode(nullptr, sink) && PushFrame(audio_, nullptr); },
            audio_.error);
    }

    // Filters and encodes the decoded sound the reading thread hands on.
    void FilterAudio() {
        Drain(
            *audio_.frames, [this](AVFrame* frame) { return PushAudioFrame(frame); },
            [this] { return PushFrame(audio_, nullptr); }, audio_.error);
    }

    // Encodes the filtered sound the reading thread hands on.
    void EncodeAudio() {
        Drain(
            *audio_.toEncode,
            [this](const AVFrame* frame) { return Encode(audio_, frame, audio_.encodeError); },
            [this] { return Encode(audio_, nullptr, audio_.encodeError); }, audio_.encodeError);
    }

    // The last picture lasts until the video's end: a slow video's last frame is repeated at
    // the output's rate for as long as it was shown.
    bool CloseVideo() {
        const AVRational timeBase = video_.inStream->time_base;
        const std::int64_t endPts = std::max(
            lastVideoEndPts_,
            av_rescale_q(length_.StreamEndUs(video_.inStream->index), AV_TIME_BASE_Q, timeBase));
        const int ret = lastVideoEndPts_ == AV_NOPTS_VALUE ? video_.graph.Push(nullptr)
                                                           : video_.graph.Close(endPts);
        if (ret < 0) {
            video_.error = "Cannot filter the decoded frames: " + ErrorText(ret);
            return false;
        }
        return PullFiltered(video_);
    }

    bool PushAudioFrame(AVFrame* frame) {
        const AudioKind kind{frame->sample_rate, frame->format, frame->ch_layout.nb_channels};
        if (!(kind == audioKind_) && !BuildAudioGraph(kind, frame->ch_layout, audio_.error)) {
            return false;
        }
        return PushFrame(audio_, frame);
    }

    bool PushFrame(StreamPath& path, AVFrame* frame) {
        const int ret = path.graph.Push(frame);
        if (ret < 0) {
            path.error = "Cannot filter the decoded frames: " + ErrorText(ret);
            return false;
        }
        return PullFiltered(path);
    }

    bool PullFiltered(StreamPath& path) {
        AVFrame* filtered = path.filtered.get();
        const AVRational encoderTimeBase = path.encoder.Context()->time_base;
        while (!Stopping()) {
            const int ret = path.graph.Pull(filtered);
            if (ret == AVERROR(EAGAIN)) {
                return true;
            }
            if (ret == AVERROR_EOF) {
                if (path.toEncode) {
                    path.toEncode->Close();
                    return true;
                }
                return Encode(path, nullptr, path.error);
            }
            if (ret < 0) {
                path.error = "Cannot filter the decoded frames: " + ErrorText(ret);
                return false;
            }
            if (filtered->pts != AV_NOPTS_VALUE) {
                filtered->pts = av_rescale_q(filtered->pts, path.graph.TimeBase(), encoderTimeBase);
            }
            if (&path == &audio_) {
                // Audio timestamps only move forward (a rebuilt graph may restart a little
                // earlier than the last frame ended).
                if (filtered->pts == AV_NOPTS_VALUE ||
                    (path.nextEncodePts != AV_NOPTS_VALUE && filtered->pts < path.nextEncodePts)) {
                    filtered->pts = path.nextEncodePts != AV_NOPTS_VALUE ? path.nextEncodePts : 0;
                }
                path.nextEncodePts = filtered->pts + filtered->nb_samples;
            }
            filtered->pict_type = AV_PICTURE_TYPE_NONE;
            if (path.toEncode) {
                if (!HandOn(*path.toEncode, filtered)) {
                    return false;
                }
                continue;
            }
            const bool ok = Encode(path, filtered, path.error);
            av_frame_unref(filtered);
            if (!ok) {
                return false;
            }
        }
        return false;
    }

    bool Encode(StreamPath& path, const AVFrame* frame, std::string& error) {
        const AVRational encoderTimeBase = path.encoder.Context()->time_base;
        return path.encoder.Encode(
            frame,
            [&](AVPacket* packet) {
                if (Stopping()) {
                    return false;
                }
                std::lock_guard lock(muxMutex_);
                if (!output_.Write(packet, encoderTimeBase, *path.outStream, error)) {
                    return false;
                }
                ReportProgress(false);
                return true;
            },
            error);
    }

    void ReportProgress(bool force) {
        if (!request_.progress) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastProgress_ < kProgressInterval) {
            return;
        }
        lastProgress_ = now;
        request_.progress(output_.PositionUs(), length_.ExpectedUs());
    }

    bool Finish() {
        for (const StreamPath* path : {&video_, &audio_}) {
            if (path->wanted && path->decoder.FramesDecoded() == 0) {
                return Fail(std::string("The input's ") + path->name + " could not be decoded");
            }
        }
        if (const std::string cut = length_.Check(output_.PositionUs()); !cut.empty()) {
            return Fail(cut);
        }
        // A stream meant to be converted that left no packet: an empty or broken result.
        for (const StreamPath* path : {&video_, &audio_}) {
            if (path->wanted && output_.PacketsWritten(path->outStream->index) == 0) {
                return Fail(std::string("The input's ") + path->name +
                            " holds no frames that could be converted");
            }
        }
        if (!output_.Finish(error_)) {
            return false;
        }
        if (!output_.Commit(error_)) {
            return false;
        }
        ReportProgress(true);
        return true;
    }

    const TranscodeRequest& request_;
    std::string error_;
    JobSpec job_;
    Input input_;
    StreamPath video_;
    StreamPath audio_;
    Output output_;  // after the paths: closed first, then their encoders
    CoverArt cover_;
    SubtitleTracks subtitles_;
    AudioKind audioKind_;  // of the audio stage
    LengthCheck length_;
    std::vector<int> discarded_;                     // input streams not read
    std::int64_t lastVideoEndPts_ = AV_NOPTS_VALUE;  // input time base, from the start
    std::mutex muxMutex_;                            // the output, its position and progress
    std::chrono::steady_clock::time_point lastProgress_{};
    std::atomic<bool> usableSeen_{false};  // a stage decoded a frame since the last read
    std::atomic<bool> aborted_{false};
    std::mutex failureMutex_;
    std::string failure_;  // the first stage failure
};

}  // namespace

TranscodeResult Transcode(const TranscodeRequest& request) {
    Task task(request);
    return task.Run();
}

}  // namespace ostrel::engine::ff
