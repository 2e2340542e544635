// An opened media file: the demuxer with its interrupt and read deadline, the probe limits
// and the choice of the main video and audio streams. The probe, the conversion task and the
// player open their files through it, so one set of rules decides what a file contains.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

struct InputLimits {
    // Opening reads the headers and at most this much data to learn the streams.
    std::int64_t probeSizeBytes = 5'000'000;
    std::int64_t analyzeDurationUs = 5'000'000;
    // A single open, probe or read that takes longer is abandoned (a stalled network mount).
    std::chrono::milliseconds readTimeout{10'000};
    // Reading stops when this much of the file was read since the last data that could be used
    // (see MarkUsable): a damaged tail, such as a preallocated download full of zeros, is not
    // read to its end with the demuxer's buffers growing. 0: no limit (a caller that never
    // marks usable data).
    std::int64_t junkLimitBytes = 0;
    // Open takes the same file's input that a probe opened moments ago, when one was kept
    // (see KeepForReuse), instead of opening and probing the file a second time.
    bool reuseProbed = false;
};

// One stream the input offers.
struct InputStream {
    int index = -1;
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    bool decodable = false;  // a decoder for its codec is built in
};

class Input {
  public:
    // stop, when it can be stopped, is the stop of the task or media the input serves (a stop
    // button, a player closing): it ends every blocking call at once.
    explicit Input(std::stop_token stop = {}, InputLimits limits = {});
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    enum class Step { None, Format, Open, Probe, Read };
    // Opens and probes the file; formatName is normally empty (probe the file). On failure
    // FailedStep() and FailedCode() say why, and ErrorText names the file as subject.
    bool Open(const std::string& path, const std::string& formatName);
    // Hands the opened, unread input over to the process's kept inputs, so that a conversion
    // of the same file soon after needs no second open and stream probe; this input is closed
    // afterwards. An input that was read from, or a file that is not regular, is just closed.
    void KeepForReuse();
    // How many opens in this process took a kept input.
    static int ReusedCount();
    // How long a kept input waits to be taken before it is closed (a minute; tests shorten it).
    static void SetKeptFor(std::chrono::milliseconds time);

    Step FailedStep() const { return failedStep_; }
    int FailedCode() const { return failedCode_; }
    std::string ErrorText(const std::string& subject) const;

    AVFormatContext* Context() const { return context_.get(); }
    AVStream* Stream(int index) const;
    // Attached pictures (cover art) are no video streams.
    const std::vector<InputStream>& VideoStreams() const { return video_; }
    const std::vector<InputStream>& AudioStreams() const { return audio_; }
    // The main streams, chosen as av_find_best_stream does among the streams that can be
    // decoded and hold packets with a known format; else the first one of that kind; -1 when
    // there is none.
    int VideoIndex() const { return MainIndex(video_); }
    int AudioIndex() const { return MainIndex(audio_); }
    bool IsDecodable(int index) const;
    std::int64_t DurationUs() const;   // 0 when unknown
    std::int64_t StartTimeUs() const;  // AV_NOPTS_VALUE when unknown
    // Average frame rate of the main video stream, 0 when unknown or when there is no video.
    double FrameRate() const;

    // Reads the next packet (av_read_frame); the read deadline starts anew with each call. A
    // read that timed out sets FailedStep() to Read.
    int Read(AVPacket* packet);
    bool Interrupted() const;
    bool TimedOut() const { return timedOut_; }
    // The caller got data it could use from the packets read so far (a decoded frame).
    void MarkUsable();
    // Reading was stopped because too much of the file could not be used since the last mark.
    bool HitJunk() const { return hitJunk_; }
    // Bytes read since the last MarkUsable.
    std::int64_t BytesSinceUsable() const;

    // What an open file is, told by stat: a kept input is only taken while the file is still
    // the one that was probed.
    struct FileIdentity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::int64_t changedNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    // The interrupt callback's opaque: it outlives a change of the input that owns the
    // context (the I/O layer keeps its own copy of the callback from the open).
    struct InterruptRelay {
        std::atomic<Input*> owner{nullptr};
    };

  private:
    static int InterruptCallback(void* opaque);
    bool TakeKept(const std::string& path, const std::string& formatName);
    int MainIndex(const std::vector<InputStream>& streams) const;
    bool IsUsable(const InputStream& stream) const;
    void StartDeadline();
    void ListStreams();

    std::stop_token stop_;
    InputLimits limits_;
    std::string path_;
    std::string formatName_;
    FileIdentity identity_;
    bool identified_ = false;                // identity_ holds the file's stat from before the open
    bool readFrom_ = false;                  // packets were read after the probe
    std::unique_ptr<InterruptRelay> relay_;  // before the context: it is destroyed after it
    InputContextPtr context_;
    std::vector<InputStream> video_;
    std::vector<InputStream> audio_;
    // Read by the interrupt callback, which a protocol may call from a thread of its own.
    std::atomic<std::chrono::steady_clock::rep> deadline_{0};
    std::atomic<bool> timedOut_{false};
    // Bytes read at the last MarkUsable: counted, not the file position, so a demuxer that
    // jumps between far-apart tracks of a badly interleaved file is not taken for junk.
    std::int64_t usableBytesRead_ = 0;
    bool hitJunk_ = false;
    Step failedStep_ = Step::None;
    int failedCode_ = 0;
};

}  // namespace ostrel::engine::ff
