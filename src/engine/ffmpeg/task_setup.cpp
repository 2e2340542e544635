#include "engine/ffmpeg/task_setup.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/ffmpeg/copy_fit.h"
#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/encoder_constraints.h"
#include "engine/ffmpeg/metadata.h"
#include "engine/ffmpeg/target_size.h"

namespace ostrel::engine::ff {
namespace {

// How much of the input may pass without a decoded frame before its rest counts as damaged.
constexpr std::int64_t kJunkLimitBytes = 64 * 1024 * 1024;

InputLimits ConversionLimits() {
    InputLimits limits;
    limits.junkLimitBytes = kJunkLimitBytes;
    limits.reuseProbed = true;
    return limits;
}

// Opens the path's decoder for a stream whose format the input tells.
bool OpenDecoder(TaskParts& task, StreamPath& path) {
    // A video decoder has a pipeline stage of its own beside the encoder, so it gets half the
    // task's threads: more frame threads hold more pictures and add only latency. SVT-AV1 runs
    // a pool of its own on every core whatever it is given; a decoder held to half leaves it
    // waiting (20 s of 720p: 0.989 of the ffmpeg tool's time with all, 1.021 with half).
    const bool encoderHasOwnPool =
        path.IsVideo() && ResolveEncoderName(task.job.videoCodec) == "libsvtav1";
    const int threads = path.IsVideo() && !encoderHasOwnPool ? std::max(1, task.request.threads / 2)
                                                             : task.request.threads;
    std::string error;
    if (!path.decoder.Open(task.input.Context(), path.inStream, threads, error)) {
        return task.stop.FailLibav(error);
    }
    const AVCodecContext* decoder = path.decoder.Context();
    const bool known =
        path.IsVideo()
            ? decoder->pix_fmt != AV_PIX_FMT_NONE && decoder->width > 0 && decoder->height > 0
            : decoder->sample_rate > 0 && decoder->sample_fmt != AV_SAMPLE_FMT_NONE &&
                  decoder->ch_layout.nb_channels > 0;
    if (!known) {
        return task.stop.Fail(std::string("The input's ") + path.Name() + " format is unknown");
    }
    // The output starts at 0 whatever the input's start time.
    if (task.input.StartTimeUs() != AV_NOPTS_VALUE) {
        path.decoder.SetStartPts(
            av_rescale_q(task.input.StartTimeUs(), AV_TIME_BASE_Q, path.inStream->time_base));
    }
    return true;
}

// HDR pictures (PQ or HLG) that an encoder gets as 8-bit pictures: shown as they are they would
// look washed out, so they are tone-mapped to SDR BT.709. An encoder that keeps the source's
// colour takes an 8-bit HDR source as it is; only its deeper pictures made 8-bit (a device's
// "-pix_fmt yuv420p") are tone-mapped.
bool NeedsToneMapping(const AVCodecContext& decoder, const VideoEncoderSettings& settings) {
    const bool keepsColour = VideoRuleFor(settings.codec->name).keepsHighBitDepth;
    return IsHdrTransfer(decoder.color_trc) && !IsHighBitDepth(settings.pixelFormat) &&
           (!keepsColour || IsHighBitDepth(decoder.pix_fmt));
}

// zscale's name of a transfer, matrix and primaries of HDR sources; "input" lets it read the
// frame's own.
std::string ZscaleTransfer(AVColorTransferCharacteristic transfer) {
    return transfer == AVCOL_TRC_ARIB_STD_B67 ? "arib-std-b67" : "smpte2084";
}

// To linear light, tone-mapped (Hable, as the usual ffmpeg recipe) in BT.709 primaries, then
// BT.709 transfer and matrix in limited range. Unspecified matrix and primaries of an HDR
// source are BT.2020's, the only ones HDR video uses.
std::string ToneMapChain(const AVCodecContext& decoder) {
    const bool ncl = decoder.colorspace != AVCOL_SPC_BT2020_CL;
    const std::string range = decoder.color_range == AVCOL_RANGE_JPEG ? "full" : "limited";
    const std::string matrixIn =
        decoder.colorspace == AVCOL_SPC_BT709 ? "709" : (ncl ? "2020_ncl" : "2020_cl");
    const std::string primariesIn = decoder.color_primaries == AVCOL_PRI_BT709 ? "709" : "2020";
    return "zscale=tin=" + ZscaleTransfer(decoder.color_trc) + ":min=" + matrixIn +
           ":pin=" + primariesIn + ":rin=" + range +
           ":t=linear:npl=100,format=gbrpf32le,zscale=p=709,tonemap=tonemap=hable:desat=0,"
           "zscale=t=709:m=709:r=limited";
}

// The encoder and what it takes: size, frame rate, pixel format, rates and options.
bool ChooseVideoEncoder(TaskParts& task, PictureSize chainSize, VideoEncoderSettings& settings) {
    const JobSpec& job = task.job;
    const PictureSize wanted{job.width > 0 ? job.width : chainSize.width,
                             job.height > 0 ? job.height : chainSize.height};
    const std::string name = job.videoCodec.empty()
                                 ? DefaultVideoEncoder(task.request.container, wanted)
                                 : job.videoCodec;
    const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(name).c_str());
    if (codec == nullptr) {
        return task.stop.Fail(name.empty() ? "No video encoder for " + task.request.outputPath
                                           : "The video encoder " + name + " is not available");
    }
    const VideoEncoderRule& rule = VideoRuleFor(codec->name);
    const PictureSize size = FitPictureSize(rule, wanted);
    const AVCodecContext* decoder = task.video.decoder.Context();
    const AVRational inputRate = decoder->framerate;
    settings.codec = codec;
    settings.width = size.width;
    settings.height = size.height;
    settings.pixelFormat = PreferredPixelFormat(*codec, job.constraints.pixelFormat,
                                                FitPixelFormat(rule, *codec, decoder->pix_fmt));
    const bool toneMapped = NeedsToneMapping(*decoder, settings);
    if (rule.keepsHighBitDepth && !toneMapped) {
        settings.colorPrimaries = decoder->color_primaries;
        settings.colorTransfer = decoder->color_trc;
        settings.colorSpace = decoder->colorspace;
        settings.colorRange = decoder->color_range;
    } else if (rule.keepsHighBitDepth || toneMapped) {
        // Tone-mapped pictures are BT.709.
        settings.colorPrimaries = AVCOL_PRI_BT709;
        settings.colorTransfer = AVCOL_TRC_BT709;
        settings.colorSpace = AVCOL_SPC_BT709;
        settings.colorRange = AVCOL_RANGE_MPEG;
    }
    settings.frameRate = FitFrameRate(
        rule, job.frameRate.IsSet() ? AVRational{job.frameRate.num, job.frameRate.den} : inputRate);
    settings.bitrate = job.videoBitrate;
    settings.target = &job.target;
    settings.constraints = &job.constraints;
    settings.x264Preset = job.x264Preset;
    settings.options = &job.videoOptions;
    settings.threads = task.request.threads;
    settings.globalHeader =
        task.pass == 1 ? task.passGlobalHeader : task.output.NeedsGlobalHeader();
    settings.pass = task.pass;
    settings.statsPath = task.statsPath;
    settings.passStats = task.passStats;
    return true;
}

// The video bit rate that fills the target size, checked before anything is encoded. With one
// pass the rate is also the peak, so that the encoder's misses stay small.
bool ApplyTargetSize(TaskParts& task) {
    JobSpec& job = task.job;
    const std::int64_t durationUs = task.length.ExpectedUs();
    if (durationUs <= 0) {
        return task.stop.Fail("The input's length is unknown, so no bit rate can fill a size");
    }
    const bool hasSound = task.input.AudioIndex() >= 0 && !job.noAudio;
    const std::int64_t audioBitrate =
        hasSound ? (job.audioBitrate > 0 ? job.audioBitrate : 128'000) : 0;
    const PictureSize source = UprightSize(task.video.inStream);
    const SizePlan plan = PlanTargetSize(
        job.targetSizeBytes, durationUs, audioBitrate, job.width > 0 ? job.width : source.width,
        job.height > 0 ? job.height : source.height, task.request.container.muxer);
    if (!plan.fits) {
        return task.stop.Fail(TooSmallText(job.targetSizeBytes, durationUs, plan.smallestBytes));
    }
    job.videoBitrate = plan.videoBitrate;
    if (task.pass == 0) {
        job.constraints.maxRate = job.constraints.maxRate > 0
                                      ? std::min(job.constraints.maxRate, plan.videoBitrate)
                                      : plan.videoBitrate;
        if (job.constraints.bufferBits <= 0) {
            job.constraints.bufferBits = plan.videoBitrate / 2;
        }
    }
    return true;
}

// The scale always closes the chain: it is free when the size already fits, and it keeps the
// encoder's size should the input change its picture size mid-stream.
std::string EncoderTail(const JobSpec& job, const VideoEncoderSettings& settings) {
    const std::string aspect =
        job.aspect.IsSet() ? Format("setdar=%d/%d", job.aspect.num, job.aspect.den) : "";
    return JoinChain({Format("scale=%d:%d", settings.width, settings.height), aspect,
                      Format("fps=%d/%d", settings.frameRate.num, settings.frameRate.den),
                      std::string("format=") + av_get_pix_fmt_name(settings.pixelFormat)});
}

// Encoders that refuse low bit rates for some layouts get the lowest rate they take.
bool OpenSoundEncoder(TaskParts& task, const AudioEncoderRule& rule,
                      AudioEncoderSettings& settings) {
    std::string error;
    bool opened = task.sound.encoder.OpenAudio(settings, error);
    if (!opened && rule.raiseBitrateUntilOpen && settings.bitrate > 0 && !task.stop.Cancelled()) {
        constexpr std::int64_t kStep = 8000;
        constexpr std::int64_t kHighest = 512000;
        for (std::int64_t raised = settings.bitrate + kStep; raised <= kHighest && !opened;
             raised += kStep) {
            error.clear();
            settings.bitrate = raised;
            opened = task.sound.encoder.OpenAudio(settings, error);
        }
    }
    return opened || task.stop.FailLibav(error);
}

// An HDR stream written as HDR keeps its mastering display and content light levels, which
// the Matroska muxer writes (the MP4 muxer of FFmpeg 5.1 has no place for them).
bool CopyHdrSideData(const AVStream& input, AVStream& output, const AVCodecContext& encoder) {
    if (!IsHdrTransfer(encoder.color_trc)) {
        return true;
    }
    for (const AVPacketSideDataType type :
         {AV_PKT_DATA_MASTERING_DISPLAY_METADATA, AV_PKT_DATA_CONTENT_LIGHT_LEVEL}) {
        std::size_t size = 0;
        const std::uint8_t* data = av_stream_get_side_data(&input, type, &size);
        if (data == nullptr || size == 0) {
            continue;
        }
        std::uint8_t* copy = av_stream_new_side_data(&output, type, size);
        if (copy == nullptr) {
            return false;
        }
        std::memcpy(copy, data, size);
    }
    return true;
}

TagPolicy Tags(const JobSpec& job) {
    return job.noMetadata ? TagPolicy::Strip : TagPolicy::Keep;
}

// The input's tags, chapters, cover and subtitle tracks go into the output's header.
bool CarryMetadata(TaskParts& task) {
    AVFormatContext& input = *task.input.Context();
    AVFormatContext& output = *task.output.Context();
    const TagPolicy tags = Tags(task.job);
    CopyContainerTags(input, output, tags);
    return (CopyChapters(input, output, task.input.StartTimeUs(), task.length.ExpectedUs(), tags) &&
            task.cover.Add(input, output, tags) &&
            task.subtitles.Add(input, output, task.input.StartTimeUs(), tags)) ||
           task.stop.Fail("Out of memory");
}

// The host's progress callback with the length the task expects; empty without a callback.
SharedMuxer::Progress TaskProgress(const TranscodeRequest& request, const LengthCheck& length) {
    if (!request.progress) {
        return {};
    }
    return [&request, &length](std::int64_t positionUs) {
        request.progress(positionUs, length.ExpectedUs());
    };
}

}  // namespace

TaskParts::TaskParts(const TranscodeRequest& taskRequest, TaskStop& taskStop)
    : request(taskRequest),
      stop(taskStop),
      input(taskStop.Token(), ConversionLimits()),
      output(taskRequest.outputPath, taskStop.Token()),
      muxer(output, TaskProgress(taskRequest, length)) {
    video.Attach(stop, muxer, length, decodedSinceRead);
    sound.Attach(stop, muxer, length, decodedSinceRead);
}

bool OpenInput(TaskParts& task) {
    return task.input.Open(task.request.inputPath, task.request.inputFormat) ||
           task.stop.FailLibav(task.input.ErrorText("the input file"));
}

bool ChooseStreams(TaskParts& task) {
    std::string error;
    if (!ParseOptions(task.request.options, InputFacts{task.input.FrameRate()}, task.job, error)) {
        return task.stop.Fail(error);
    }
    const bool takesVideo = !task.job.noVideo && !task.request.container.audioOnly;
    const bool takesSound = !task.job.noAudio;
    task.video.wanted = task.input.VideoIndex() >= 0 && takesVideo;
    task.sound.wanted = task.input.AudioIndex() >= 0 && takesSound;
    if (!task.video.wanted && !task.sound.wanted) {
        // The output takes at least one kind (AddOutput refused it otherwise).
        return task.stop.Fail(
            takesVideo && takesSound ? "The input has no audio or video stream"
            : takesSound ? "The input has no audio stream, and this output takes no video"
                         : "The input has no video stream, and this output takes no audio");
    }
    task.video.inStream = task.input.Stream(task.input.VideoIndex());
    task.sound.inStream = task.input.Stream(task.input.AudioIndex());
    for (StreamPath* path : {&task.video, &task.sound}) {
        if (path->wanted && task.job.copy.enabled) {
            const StreamFacts facts = FactsOf(*task.input.Context(), *path->inStream);
            path->copied =
                DecideCopy(facts, task.job, CopyTargetFor(task.job, task.request.container, facts))
                    .copy;
        }
    }
    task.length.Start(*task.input.Context(), task.request.inputPath);
    if (task.job.targetSizeBytes > 0 && task.video.wanted && !ApplyTargetSize(task)) {
        return false;
    }
    if (task.pass == 1) {
        // The first pass only learns the video: no sound, nothing carried.
        task.sound.wanted = false;
        task.job.noMetadata = true;
    }
    for (const StreamPath* path : {&task.video, &task.sound}) {
        if (path->wanted) {
            task.length.Convert(path->inStream->index);
        }
    }
    return true;
}

bool CreateOutput(TaskParts& task) {
    std::string error;
    // The first of two passes keeps only the encoder's statistics: its packets go nowhere.
    const std::string muxer = task.pass == 1 ? "null" : task.request.container.muxer;
    return task.output.Create(muxer, error) || task.stop.FailLibav(error);
}

bool SetupVideo(TaskParts& task) {
    StreamPath& video = task.video;
    if (!OpenDecoder(task, video)) {
        return false;
    }
    const AVCodecContext* decoder = video.decoder.Context();
    const AVRational sar =
        av_guess_sample_aspect_ratio(task.input.Context(), video.inStream, nullptr);
    const std::string source =
        VideoSourceArgs(*decoder, video.inStream->time_base, sar, decoder->framerate);
    // Phone videos are turned upright first, then the user's chain runs.
    const std::string chain =
        JoinChain({UprightFilter(video.inStream), UserChain(task.job.filters)});
    const int threads = task.request.threads;
    std::string error;
    // A trial graph tells the size the chain produces.
    FilterGraph trial;
    if (!trial.Build(AVMEDIA_TYPE_VIDEO, source, chain, threads, error)) {
        return task.stop.FailLibav(error);
    }
    VideoEncoderSettings settings;
    if (!ChooseVideoEncoder(task, {trial.Width(), trial.Height()}, settings)) {
        return false;
    }
    const std::string toneMap =
        NeedsToneMapping(*decoder, settings) ? ToneMapChain(*decoder) : std::string();
    if (!video.graph.Build(AVMEDIA_TYPE_VIDEO, source,
                           JoinChain({chain, toneMap, EncoderTail(task.job, settings)}), threads,
                           error)) {
        return task.stop.FailLibav(error);
    }
    settings.width = video.graph.Width();
    settings.height = video.graph.Height();
    settings.sampleAspectRatio = video.graph.SampleAspectRatio();
    settings.pixelFormat = static_cast<AVPixelFormat>(video.graph.Format());
    return video.encoder.OpenVideo(settings, error) || task.stop.FailLibav(error);
}

bool SetupSound(TaskParts& task) {
    StreamPath& sound = task.sound;
    if (!OpenDecoder(task, sound)) {
        return false;
    }
    const AVCodecContext* decoder = sound.decoder.Context();
    const JobSpec& job = task.job;
    const ContainerInfo& container = task.request.container;
    const std::string name = job.audioCodec.empty() ? container.audioCodec : job.audioCodec;
    const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(name).c_str());
    if (codec == nullptr) {
        return task.stop.Fail(name.empty() ? "No audio encoder for " + task.request.outputPath
                                           : "The audio encoder " + name + " is not available");
    }
    AudioEncoderSettings settings;
    settings.codec = codec;
    settings.sampleRate = FitSampleRate(*codec, container.muxer,
                                        job.sampleRate > 0 ? job.sampleRate : decoder->sample_rate);
    settings.layout =
        FitChannelLayout(*codec, job.channels > 0 ? job.channels : decoder->ch_layout.nb_channels);
    settings.sampleFormat = FitSampleFormat(*codec, decoder->sample_fmt);
    const AudioEncoderRule& rule = AudioRuleFor(codec->id);
    settings.bitrate = job.audioBitrate > 0
                           ? FitAudioBitrate(rule, job.audioBitrate, settings.sampleRate,
                                             settings.layout.Get().nb_channels)
                           : job.audioBitrate;
    settings.threads = task.request.threads;
    settings.globalHeader = task.output.NeedsGlobalHeader();
    if (!OpenSoundEncoder(task, rule, settings)) {
        return false;
    }
    // Encoders without variable frame sizes get frames of exactly their size.
    const AVCodecContext* encoder = sound.encoder.Context();
    const bool fixedFrames = !(encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
                             encoder->frame_size > 0;
    sound.sound.SetTarget(
        {encoder->sample_rate, encoder->sample_fmt, ChannelLayout(encoder->ch_layout),
         fixedFrames ? encoder->frame_size : 0},
        sound.inStream->time_base, task.request.threads);
    return true;
}

bool SetupCopy(TaskParts& task, StreamPath& path) {
    const AVFormatContext& input = *task.input.Context();
    const std::string filter = CopyBitstreamFilter(
        *path.inStream->codecpar, input.iformat != nullptr ? input.iformat->name : "",
        task.request.container.muxer);
    std::string error;
    if (!path.copy.Open(*path.inStream, filter, error)) {
        return task.stop.FailLibav(error);
    }
    // The output starts at 0 whatever the input's start time, as a converted stream does, so
    // the streams keep their distance to each other.
    if (task.input.StartTimeUs() != AV_NOPTS_VALUE) {
        path.copy.SetStartPts(
            av_rescale_q(task.input.StartTimeUs(), AV_TIME_BASE_Q, path.inStream->time_base));
    }
    return true;
}

bool OpenOutput(TaskParts& task) {
    for (StreamPath* path : {&task.video, &task.sound}) {
        if (path->wanted) {
            std::string error;
            const AVCodec* encoder = nullptr;  // a copied stream keeps its encoder tag
            if (path->copied) {
                const std::uint32_t tag =
                    CopyCodecTag(path->inStream->codecpar->codec_id, task.request.container.muxer,
                                 path->IsVideo() ? task.job.constraints.videoTag : "");
                path->outStream = path->copy.AddTo(*task.output.Context(), tag, error);
            } else {
                path->outStream = task.output.AddStream(*path->encoder.Context(), error);
                encoder =
                    path->encoder.Context() != nullptr ? path->encoder.Context()->codec : nullptr;
            }
            if (path->outStream == nullptr) {
                return task.stop.FailLibav(error);
            }
            CopyStreamTags(*path->inStream, *path->outStream, encoder, Tags(task.job));
            if (path->IsVideo() && !path->copied &&
                !CopyHdrSideData(*path->inStream, *path->outStream, *path->encoder.Context())) {
                return task.stop.Fail("Out of memory");
            }
        }
    }
    if (!CarryMetadata(task)) {
        return false;
    }
    std::string error;
    return (task.output.Open(task.job.target, error) &&
            task.cover.Write(*task.output.Context(), error)) ||
           task.stop.FailLibav(error);
}

}  // namespace ostrel::engine::ff
