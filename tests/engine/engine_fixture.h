// Shared helpers of the engine tests: generated media, an ffprobe oracle and a synchronous
// event poster drained by the test thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/event_queue.h"
#include "engine/engine.h"
#include "engine/ffmpeg/ffmpeg_engine.h"

namespace ostrel::engine::testing {

// Short clips made once by the ffmpeg tool (see TestMedia()).
struct Media {
    std::filesystem::path folder;
    std::filesystem::path videoWithAudio;  // 320x240 25 fps, 2 s, stereo 44.1 kHz
    std::filesystem::path video30;         // 160x120 30 fps, 1 s, with audio
    std::filesystem::path videoOnly;       // 160x120 25 fps, 1 s
    std::filesystem::path audioOnly;       // wav, 2 s, stereo 44.1 kHz
    std::filesystem::path oddSize;         // 321x241, 1 s, with audio
    std::filesystem::path portrait;        // 320x240 stored, display matrix 90 degrees
    std::filesystem::path coverArtMp3;     // mp3 with an attached picture, 2 s
    std::filesystem::path changing;        // MPEG-TS: 320x240 + mono 44.1 kHz for 1 s, then
                                           // 160x120 + stereo 48 kHz for 1 s
    std::filesystem::path corrupt;         // random bytes
    std::filesystem::path truncated;       // videoWithAudio cut in the middle
    // Tagged clips (see kFixtureTags): non-ASCII names and tags, two chapters, a subtitle track.
    std::filesystem::path taggedMkv;   // 160x120 25 fps + stereo, 1 s, SubRip, creation_time
    std::filesystem::path taggedMp4;   // the same with mov_text, creation_time and a location
    std::filesystem::path taggedMp3;   // stereo 1 s with a GIF cover (64x48)
    std::filesystem::path taggedM4a;   // AAC 1 s with a PNG cover (64x48)
    std::filesystem::path taggedFlac;  // FLAC 1 s with a PNG cover (64x48)
    // Headers that declare 20 s, data cut to a tenth.
    std::filesystem::path cutAvi;  // 160x120 mpeg4 + mp3
    std::filesystem::path cutWav;  // mono 8 kHz
    // Complete files the length check must accept.
    std::filesystem::path fps15;            // 1 s at 15 fps
    std::filesystem::path fps5;             // 2 s at 5 fps
    std::filesystem::path fps90;            // 5 frames at 90 fps
    std::filesystem::path unequalMkv;       // video 1 s, audio 2 s, a subtitle until 4 s
    std::filesystem::path slowMkv;          // 1 fps for 10 s
    std::filesystem::path zeroTailMp3;      // 2 s of mp3, then 1 GB of zeros (sparse)
    std::filesystem::path zeroPts;          // mp4 whose video packets all carry timestamp 0
    std::filesystem::path emptyFirstAudio;  // MPEG-TS: the first audio stream has no packets
    std::filesystem::path threeVideoWmv;    // three video streams: one frame, one frame, 2 s
    std::filesystem::path longPreSkipOpus;  // Ogg Opus, 3 s coded, the first 1.37 s skipped
    std::filesystem::path lateMp4;          // mp4 whose streams start at 2 s (an edit list)
    // The 64x32 quadrant picture (grey levels 30, 90 / 150, 220 by row) under each of the
    // eight display matrices of kOrientations.
    std::vector<std::filesystem::path> orientations;
};

// The container tags the tagged clips carry (key, value), as ffprobe reads them from the MKV.
extern const std::vector<std::pair<std::string, std::string>> kFixtureTags;

// The 2x2 part of the display matrices of Media::orientations, as {a, b, c, d}: a stored
// point (x, y) from the centre is shown at (a x + c y, b x + d y).
inline constexpr int kOrientations[8][4] = {{1, 0, 0, 1},  {0, 1, -1, 0}, {-1, 0, 0, -1},
                                            {0, -1, 1, 0}, {-1, 0, 0, 1}, {1, 0, 0, -1},
                                            {0, 1, 1, 0},  {0, -1, -1, 0}};

// The media folder comes from OSTREL_TEST_MEDIA_DIR (set by CTest's fixture, so the clips are
// made once per test run) or is a temporary folder of this process.
const Media& TestMedia();

// A fresh empty folder for one test's outputs, removed by the destructor.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::vector<std::string> FileNames() const;  // hidden files included

  private:
    std::filesystem::path path_;
};

// What ffprobe says about a file.
struct ProbeResult {
    bool ok = false;
    std::string formatName;
    double durationSeconds = -1.0;  // -1 when ffprobe gives none
    std::vector<std::map<std::string, std::string>> streams;
    const std::map<std::string, std::string>* Stream(const std::string& type) const;
    int Count(const std::string& type) const;
};
ProbeResult Probe(const std::filesystem::path& file);

// A path as one word of a shell command.
std::string Quote(const std::filesystem::path& path);

// Runs a shell command; true when it exited with 0.
bool RunCommand(const std::string& command);
// The same for making fixtures: a failure ends the test process with the command.
void MustRun(const std::string& command);

// Receives events from the engine's threads and runs them on the test thread.
using EventQueue = ostrel::EventQueue;

struct FinishedEvent {
    int task = 0;
    TaskOutcome outcome = TaskOutcome::None;
    bool success = false;  // outcome is Succeeded
    bool failure = false;  // outcome is Failed or Stopped
    std::string text;
};

struct ProgressEvent {
    int task = 0;
    std::int64_t positionUs = 0;
    std::int64_t durationUs = 0;
};

// Records the encoder's events and checks they arrive on the test thread.
struct EventLog {
    std::vector<FinishedEvent> finished;
    std::vector<ProgressEvent> progress;
    std::map<int, std::string> written;  // task → the path its output was written to
    std::map<int, int> copied;           // task → the streams it copied as they were
    int queueEnds = 0;
    bool wrongThread = false;
    std::thread::id testThread = std::this_thread::get_id();
    EncoderEvents Handlers();
};

// Runs a queue through a fresh encoder; the events come back through the poster. The queue and
// the log are declared first: they outlive the encoder, which may post until its destructor
// has joined its threads.
struct QueueRun {
    EventQueue queue;
    EventLog log;
    std::atomic<int> posted{0};  // events handed to the poster so far
    std::unique_ptr<Encoder> encoder = ff::CreateFfmpegEncoder();

    QueueRun();
    // Opens the input and queues one output; the task number, or negative when refused.
    int Add(const std::filesystem::path& input, const std::filesystem::path& output,
            const std::string& options);
    // Starts the queue and runs its events until the queue end.
    bool RunToEnd(int threads, std::chrono::milliseconds timeout = std::chrono::seconds(120));
    const FinishedEvent* Finished(int task) const;
};

// Converts one file and returns what ffprobe sees; fails the test when the engine fails.
ProbeResult ConvertOne(const std::filesystem::path& input, const std::filesystem::path& output,
                       const std::string& options, int threads = 2);

}  // namespace ostrel::engine::testing
