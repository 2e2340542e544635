#include "engine/ffmpeg/player/media_session.h"

#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/host_events.h"
#include "engine/ffmpeg/player/presenter.h"
#include "engine/ffmpeg/player/read_thread.h"
#include "engine/ffmpeg/player/sound_feeder.h"

namespace ostrel::engine::ff {
namespace {

// A bound the read thread's limits never reach on a well interleaved file.
constexpr std::size_t kPacketCapacity = 2048;
// Pictures decoded and scaled ahead: 200 ms at 30 per second, so that a stall of the decoder
// of 100 ms (a busy machine, a conversion beside the preview) shows no gap.
constexpr std::size_t kPictureCapacity = 6;

}  // namespace

MediaSession::MediaSession()
    : videoPackets(kPacketCapacity, stop_.get_token()),
      audioPackets(kPacketCapacity, stop_.get_token()),
      pictures(kPictureCapacity, stop_.get_token()),
      clocks(audioPackets.SerialValue(), videoPackets.SerialValue()),
      control(clocks),
      input_(std::make_unique<Input>(stop_.get_token())) {}

std::unique_ptr<MediaSession> MediaSession::Open(const std::string& path, const SoundLevel& level,
                                                 std::string& error) {
    std::unique_ptr<MediaSession> session(new MediaSession());
    if (!session->input_->Open(path, "")) {
        error = session->input_->ErrorText(path);
        return nullptr;
    }
    if (!session->OpenStreams(path, level, error)) {
        return nullptr;
    }
    return session;
}

bool MediaSession::OpenStreams(const std::string& path, const SoundLevel& level,
                               std::string& error) {
    Input& input = *input_;
    int videoIndex = input.VideoIndex();
    int audioIndex = input.AudioIndex();
    std::string videoError;
    std::string audioError;
    if (videoIndex >= 0 &&
        !videoDecoder_.Open(input.Context(), input.Stream(videoIndex), 0, videoError)) {
        videoIndex = -1;
    }
    if (audioIndex >= 0 &&
        !audioDecoder_.Open(input.Context(), input.Stream(audioIndex), 1, audioError)) {
        audioIndex = -1;
    }
    if (videoIndex < 0 && audioIndex < 0) {
        const std::string reason = !videoError.empty()   ? videoError
                                   : !audioError.empty() ? audioError
                                                         : "it has neither picture nor sound";
        error = "Cannot play " + path + ": " + reason;
        return false;
    }
    const std::int64_t startUs = input.StartTimeUs();
    facts_.startS = startUs == AV_NOPTS_VALUE ? 0.0 : startUs / 1e6;
    facts_.durationS = input.DurationUs() / 1e6;
    for (auto [decoder, index] :
         {std::pair{&videoDecoder_, videoIndex}, std::pair{&audioDecoder_, audioIndex}}) {
        if (index >= 0) {
            const AVStream* stream = input.Stream(index);
            decoder->SetStartPts(startUs == AV_NOPTS_VALUE
                                     ? 0
                                     : av_rescale_q(startUs, AV_TIME_BASE_Q, stream->time_base));
        }
    }
    facts_.path = path;
    if (videoIndex >= 0) {
        AVStream* stream = input.Stream(videoIndex);
        const PictureSize upright = UprightSize(stream);
        facts_.natural = NaturalSize(upright, UprightSampleAspect(input.Context(), stream));
        const AVRational rate = av_guess_frame_rate(input.Context(), stream, nullptr);
        if (rate.num > 0 && rate.den > 0) {
            facts_.frameDurationS = av_q2d(av_inv_q(rate));
        }
        facts_.subtitleTracks = TextSubtitleTracks(*input.Context());
        subtitleTrack = facts_.subtitleTracks.empty() ? -1 : 0;
    } else {
        cover_ = LoadCoverPicture(input.Context(), path);
    }
    facts_.videoIndex = videoIndex;
    if (audioIndex >= 0) {
        const AVCodecContext* codec = audioDecoder_.Context();
        facts_.sampleRate = codec->sample_rate;
        facts_.channels = codec->ch_layout.nb_channels;
        audio_ =
            std::make_unique<AudioOutput>(audioPackets.SerialValue(), control.PausedFlag(), level);
        std::string deviceError;
        if (!audio_->Open(facts_.sampleRate, facts_.channels, deviceError)) {
            audio_.reset();
            if (videoIndex < 0) {
                error = "Cannot play " + path + ": " + deviceError;
                return false;
            }
            audioIndex = -1;  // without a device the sound is not decoded; the system clock leads
        }
    }
    facts_.audioIndex = audioIndex;
    if (videoIndex < 0 && !cover_ && audio_) {
        scope_ = std::make_unique<SoundScope>(audio_->SampleRate());
    }
    clocks.UseOutput(audio_.get());
    return true;
}

void MediaSession::Start(const void* owner, HostPosts posts) {
    posts_ = std::move(posts);
    readThread_ = std::jthread([this, owner] {
        HostEvents::OwnerMark mark(owner);
        RunReadThread(*this, kPacketCapacity);
    });
    if (HasVideo()) {
        videoThread_ = std::jthread([this, owner] {
            HostEvents::OwnerMark mark(owner);
            VideoSink sink(*this);
            RunDecodeLoop(videoDecoder_, videoPackets, sink, StopToken(),
                          [this] { PacketTaken(); });
        });
    }
    if (HasSound()) {
        audioThread_ = std::jthread([this, owner] {
            HostEvents::OwnerMark mark(owner);
            SoundFeeder feeder(
                *audio_, input_->Stream(facts_.audioIndex)->time_base, StopToken(),
                [this] { presentSleeper.Wake(); }, scope_.get());
            RunDecodeLoop(audioDecoder_, audioPackets, feeder, StopToken(),
                          [this] { PacketTaken(); });
        });
    }
    presentThread_ = std::jthread([this, owner] { Presenter(*this).Run(owner); });
    if (audio_) {
        audio_->Start();
    }
}

MediaSession::~MediaSession() {
    stop_.request_stop();  // ends every wait of the threads and the input's blocking calls
    if (audio_) {
        audio_->Close();  // no callback after this
        audio_->Wake();
    }
    // The threads are joined as their members go, before the parts they use.
}

}  // namespace ostrel::engine::ff
