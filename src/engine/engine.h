// The media engine's interface: what the converter calls to probe and convert files.
// Deliberately free of FFmpeg and Qt types so the engine can be loaded as a module and
// faked in tests. Results follow one convention: a negative number or false is a failure,
// and LastError() then holds a readable text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
    // streams its output needs, a missing encoder, an output that cannot be written or would be
    // shorter than the input.
    std::function<void(int task, TaskOutcome outcome, const std::string& errorText)> TaskFinished;
};

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
    virtual std::string LastError() const = 0;
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
    virtual void CloseFile() = 0;
};

// The preview player is added to this interface by the player's own work.
class Player;

// What the engine module exports through its one factory symbol.
struct EngineApi {
    int abiVersion;
    Encoder* (*CreateEncoder)();
    Decoder* (*CreateDecoder)();
    Player* (*CreatePlayer)();  // null until the player exists
};

inline constexpr int kEngineAbiVersion = 1;
// extern "C" const EngineApi* ostrel_engine_api_v1(void);
inline constexpr const char* kEngineFactorySymbol = "ostrel_engine_api_v1";
inline constexpr const char* kEngineFolderName = "LibAV";
inline constexpr const char* kEngineFileName = "libostrel-engine.so";

}  // namespace ostrel::engine
