// The media engine's interface: what the converter calls to probe and convert files.
// Deliberately free of FFmpeg and Qt types so the engine can be loaded as a module and
// faked in tests. Results follow one convention: a negative number or false is a failure,
// and LastError() then holds a readable text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::engine {

// The engine never calls the host from its own threads. Every event is handed to the
// host's poster, which must queue it and run it later on the host's thread (the Qt UI thread in
// the app), never at once on the calling thread.
//
// The event contract of every engine object:
// - The poster and everything it captures outlive the engine object (declare the host's event
//   queue before the engine object it serves). Event handlers run only while the engine object
//   exists, so what they capture must live that long.
// - The destructor stops the object's work and joins its threads; the engine never detaches a
//   thread it owns.
// - Nothing is handed to the poster after StopTasks(true) or the destructor has returned.
// - Every event belongs to a run (a StartTasks). An event that reaches the host's thread after
//   a later run started, after ClearTasks, or after the engine object was destroyed is dropped
//   there: it never calls a handler and never touches the engine object.
// - Calls into the engine object come from the host's thread. Should a poster run an event at
//   once on an engine thread anyway, StartTasks and ClearTasks refuse from there, StopTasks
//   does not wait, and destroying the object there ends the process (it cannot join itself).
using EventPoster = std::function<void(std::function<void()>)>;

// How a task, or the whole queue, ended.
enum class TaskOutcome : int {
    None = 0,
    Succeeded,  // the output is complete and has its final name
    Failed,     // errorText says why; no partial output is left
    Stopped,    // ended by StopTasks; no partial output is left
};

// Conversion events. Times are signed 64-bit counts of microseconds.
struct EncoderEvents {
    // Task numbers start at 0 in queue order. durationUs is 0 when the input's length is unknown.
    std::function<void(int task, std::int64_t positionUs, std::int64_t durationUs)> TaskProgress;
    // Once per task, then exactly once with a negative task number when the queue has ended
    // (also after StopTasks): Succeeded when every task succeeded, Stopped when the run was
    // stopped, Failed otherwise. errorText is empty unless the outcome is Failed. A task that
    // fails names the reason: an input that cannot be read or decoded, an input without the
    // streams its output needs, a missing encoder, an output that cannot be written, an input
    // that ends before the length its container declares, an output that would be shorter than
    // the input or holds no frames of a stream it was meant to convert.
    std::function<void(int task, TaskOutcome outcome, const std::string& errorText)> TaskFinished;
    // Once per succeeded task, just before its TaskFinished: the path the output was written
    // to. That is the planned path unless a file took that name during the run (the engine
    // never replaces one); then it is the next free name with " (n)" before the extension.
    std::function<void(int task, const std::string& outputPath)> OutputWritten;
    // Once per succeeded task that copied a stream instead of converting it, before its
    // OutputWritten: kCopiedVideoStream, kCopiedAudioStream or both.
    std::function<void(int task, int copiedStreams)> StreamsCopied;
};

// Which streams of a task went into the output as they were (see "-copy_when_fits").
inline constexpr int kCopiedVideoStream = 1;
inline constexpr int kCopiedAudioStream = 2;

// The conversion queue: one task per (input, output) pair, converted in the background.
class Encoder {
  public:
    virtual ~Encoder() = default;

    virtual void SetEventPoster(EventPoster poster) = 0;
    virtual void SetEvents(EncoderEvents events) = 0;

    // Empties the task queue; a running queue is stopped first (waiting for it). Events of the
    // old queue still on their way are dropped.
    virtual void ClearTasks() = 0;
    // Registers an input for the queue; formatName is normally empty (probe the file), else the
    // name of a demuxer. Cheap enough for the host's thread: it only checks that the file can
    // be opened for reading. The file is probed once, by its task, on the engine's threads.
    // Paths are bytes, passed to the system as they are. Returns a handle >= 0, or a negative
    // number when the file cannot be opened.
    virtual int OpenInput(const std::string& path, const std::string& formatName) = 0;
    // Queues one task converting the input to outputPath with the option string (see the
    // engine's option language). Returns the task number >= 0, or negative when refused for
    // what the option string and the paths tell: an unknown option or codec, a missing value,
    // an unknown container, an output with neither audio nor video, an output folder that does
    // not exist, the input itself or the output of another queued task as output.
    virtual int AddOutput(int inputHandle, const std::string& outputPath,
                          const std::string& options) = 0;
    // Releases an input whose output was refused.
    virtual void CloseInput(int inputHandle) = 0;
    // Starts converting the queue on the engine's threads and returns at once.
    // Returns 0, or negative when there is nothing to start or a run is already going.
    virtual int StartTasks(int threads) = 0;
    // Stops every task; each ends within a fraction of a second, leaving no partial output.
    // wait=true blocks until the worker threads have ended; the events of the stopped tasks and
    // the queue end have then been posted, and are delivered unless a later run supersedes them.
    virtual void StopTasks(bool wait) = 0;
    // Pauses the running queue: each task stops reading at once and its threads wait, using no
    // processor time, and no further task starts until PauseTasks(false). A stop, ClearTasks or
    // the destructor ends the pause. Every run starts unpaused.
    virtual void PauseTasks(bool paused) { (void)paused; }
    virtual std::string LastError() const = 0;
    // The niceness (0..19) the conversion's threads run at from the next StartTasks on, so that
    // the window and a preview stay smooth beside it; 0 leaves them at the caller's priority.
    virtual void SetTaskNice(int nice) { (void)nice; }
};

// Probing: holds at most one open file. It reads the headers and at most a few megabytes or
// seconds of a file, and gives up on a read that gets no answer for 10 seconds.
class Decoder {
  public:
    virtual ~Decoder() = default;

    virtual bool OpenFile(const std::string& path, const std::string& formatName) = 0;
    virtual std::string LastError() const = 0;
    // Attached pictures (cover art) are not counted as video streams.
    virtual int VideoStreamCount() const = 0;
    virtual int AudioStreamCount() const = 0;
    // Index of the main video / audio stream, -1 when there is none.
    virtual int VideoStreamIndex() const = 0;
    virtual int AudioStreamIndex() const = 0;
    // FFmpeg's short codec names ("h264", "aac"); empty for a bad index.
    virtual std::string VideoCodecName(int streamIndex) const = 0;
    virtual std::string AudioCodecName(int streamIndex) const = 0;
    // The picture as shown: swapped for a video whose display matrix turns it by 90 or 270 degrees.
    virtual int VideoWidth(int streamIndex) const = 0;
    virtual int VideoHeight(int streamIndex) const = 0;
    // Duration in microseconds as two 32-bit halves (the low half taken as unsigned).
    virtual std::int32_t DurationLow() const = 0;
    virtual std::int32_t DurationHigh() const = 0;
    // Which streams of the open file a conversion with these options into outputPath would
    // copy as they are (kCopiedVideoStream, kCopiedAudioStream); negative with LastError() set
    // when no file is open or the options are refused.
    virtual int CopiedStreams(const std::string& outputPath, const std::string& options) = 0;
    virtual void CloseFile() = 0;
};

// One picture for the host to show: 32-bit BGRA (byte order B, G, R, A; A always 255), rows of
// `stride` bytes, already scaled to the player's display size with the picture's shape kept
// (black bars where it does not fill the size). Frames are immutable once handed over.
struct VideoFrame {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::int64_t ptsUs = 0;  // the frame's presentation time in the media
    std::vector<std::uint8_t> pixels;
};

// What the host implements to receive the player's pictures. PresentFrame is always called on
// the host's thread, through the poster, with the newest frame to show (null: show black). The
// host keeps the frame and repaints its video area from it. The player keeps at most two frames
// posted and not yet presented; when the host falls behind, older frames are skipped.
class VideoSurface {
  public:
    virtual ~VideoSurface() = default;
    virtual void PresentFrame(std::shared_ptr<const VideoFrame> frame) = 0;
};

// Player states, as PlayState() returns them and StateChanged reports them.
inline constexpr int kPlayerClosed = 0;  // no media open
// In states 1 and 3 the clocks stand still: a seek moves there without playing on. The player
// shows the picture a seek lands on even then, so a host that nudges it (resume, pause, seek
// again) only repeats it.
inline constexpr int kPlayerStopped = 1;  // media open, not playing: the end was left by a seek
inline constexpr int kPlayerPlaying = 2;
inline constexpr int kPlayerPaused = 3;
inline constexpr int kPlayerRepaint = 4;  // event only: the host repaints its video area
inline constexpr int kPlayerEnded = 5;    // playback reached the end; the media stays open

// Seek modes.
inline constexpr int kSeekExact = 0;
inline constexpr int kSeekKeyFrame = 1;

// Player events, run on the host's thread through the poster.
struct PlayerEvents {
    // Once per OpenMedia, before any position: the length in microseconds (0 when unknown), then
    // the picture's upright size (0 x 0 without video), the audio's sample rate and channels.
    std::function<void(std::int64_t durationUs, int videoWidth, int videoHeight, int sampleRate,
                       int channels)>
        DurationKnown;
    // The time of the picture (or, without video, the sound) being played, in microseconds.
    std::function<void(std::int64_t positionUs)> PositionChanged;
    std::function<void(int state)> StateChanged;
};

// The preview player: plays one file at a time, picture to a VideoSurface, sound to the
// system's audio output. Every call comes from the host's thread; the event contract of the
// other engine objects holds (nothing is posted after CloseMedia or the destructor returned).
class Player {
  public:
    virtual ~Player() = default;  // closes the media

    virtual void SetEventPoster(EventPoster poster) = 0;
    virtual void SetEvents(PlayerEvents events) = 0;

    // Opens the file and starts playing it into surface (which must outlive the media; null
    // plays the sound only). flag is reserved (pass false). False with LastError() set when the
    // file cannot be played.
    virtual bool OpenMedia(const std::string& path, VideoSurface* surface, bool flag) = 0;
    // Stops every thread of the media and releases the audio device before it returns.
    // flag is reserved (pass false).
    virtual void CloseMedia(bool flag) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void TogglePause() = 0;
    // Moves to a position in microseconds, given as two 32-bit halves (the low half taken as
    // unsigned). mode kSeekExact lands on the last frame at or before the position; mode
    // kSeekKeyFrame on the key frame at or before it (fast: for following a dragged slider);
    // flag is reserved.
    // Playing media goes on playing from there; paused or stopped media stays so (and shows the
    // picture it landed on). After the end (state 5) the media is stopped at the position.
    virtual void Seek(std::int32_t positionLow, std::int32_t positionHigh, int mode, bool flag) = 0;
    // The four size properties take effect: later frames come at the display size.
    virtual void ApplyDisplaySize() = 0;
    virtual std::int32_t OutputWidth() const = 0;
    virtual void SetOutputWidth(std::int32_t width) = 0;
    virtual std::int32_t OutputHeight() const = 0;
    virtual void SetOutputHeight(std::int32_t height) = 0;
    virtual std::int32_t DisplayWidth() const = 0;
    virtual void SetDisplayWidth(std::int32_t width) = 0;
    virtual std::int32_t DisplayHeight() const = 0;
    virtual void SetDisplayHeight(std::int32_t height) = 0;
    virtual std::string LastError() const = 0;
    // The surface of the open media; null when none.
    virtual VideoSurface* VideoWindow() const = 0;
    // Output volume 0..128 (128 = full), taking effect at once.
    virtual void SetAudioLevel(int level) = 0;
    virtual int AudioLevel() const = 0;
    virtual bool Muted() const = 0;
    virtual void SetMuted(bool muted) = 0;
    virtual bool IsPaused() const = 0;
    virtual std::int32_t PlayState() const = 0;

    // Paused media moves by this many pictures (negative: back) from the one shown and shows
    // the picture it lands on; nothing while playing or without pictures.
    virtual void StepFrames(int frames) { (void)frames; }
    // The file's text subtitle tracks, in file order, as "Track n" with the language and the
    // title where the file names them. The first is shown when the media opens.
    virtual std::vector<std::string> SubtitleTracks() const { return {}; }
    // The track shown over the picture (an index into SubtitleTracks), -1 for none.
    virtual int SubtitleTrack() const { return -1; }
    virtual void SetSubtitleTrack(int track) { (void)track; }
};

// What the engine module exports through its one factory symbol.
struct EngineApi {
    int abiVersion;
    Encoder* (*CreateEncoder)();
    Decoder* (*CreateDecoder)();
    Player* (*CreatePlayer)();
};

inline constexpr int kEngineAbiVersion = 5;
// extern "C" const EngineApi* ostrel_engine_api_v1(void);
inline constexpr const char* kEngineFactorySymbol = "ostrel_engine_api_v1";
inline constexpr const char* kEngineFolderName = "LibAV";
inline constexpr const char* kEngineFileName = "libostrel-engine.so";

}  // namespace ostrel::engine
