// What a conversion task works with, and its setup on the task's thread before any other
// thread starts: the input opened, its streams chosen against the job, a decoder, filter graph
// or sound converter and encoder per converted stream, the output's streams and header. Each
// step that returns false has recorded the task's error in its stop.
#pragma once

#include <atomic>

#include "engine/ffmpeg/cover_art.h"
#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/job.h"
#include "engine/ffmpeg/length_check.h"
#include "engine/ffmpeg/output.h"
#include "engine/ffmpeg/pipeline.h"
#include "engine/ffmpeg/shared_muxer.h"
#include "engine/ffmpeg/stream_path.h"
#include "engine/ffmpeg/subtitles.h"
#include "engine/ffmpeg/transcode.h"

namespace ostrel::engine::ff {

struct TaskParts {
    TaskParts(const TranscodeRequest& request, TaskStop& stop);
    TaskParts(const TaskParts&) = delete;
    TaskParts& operator=(const TaskParts&) = delete;

    const TranscodeRequest& request;
    TaskStop& stop;
    JobSpec job;
    Input input;
    LengthCheck length;
    StreamPath video{AVMEDIA_TYPE_VIDEO, "video"};
    StreamPath sound{AVMEDIA_TYPE_AUDIO, "audio"};
    Output output;  // after the paths: closed first, then their encoders
    CoverArt cover;
    SubtitleTracks subtitles;
    SharedMuxer muxer;
    std::atomic<bool> decodedSinceRead{false};  // a stage decoded a frame since the last read
    // Two-pass encoding to a target size (see target_size.h): which pass this is (0: the only
    // one), the encoder's statistics, and for the first pass into the null muxer whether the
    // real output needs the encoder's headers apart.
    int pass = 0;
    std::string statsPath;
    std::string passStats;
    bool passGlobalHeader = false;
};

bool OpenInput(TaskParts& task);
// What the input offers decides the parts of the job that depend on it, and which streams are
// copied as they are.
bool ChooseStreams(TaskParts& task);
bool CreateOutput(TaskParts& task);
bool SetupVideo(TaskParts& task);
bool SetupSound(TaskParts& task);
// A copied stream: the bit-stream filter its containers need and its start.
bool SetupCopy(TaskParts& task, StreamPath& path);
// The output's streams, tags, chapters, cover and subtitle tracks, and its header.
bool OpenOutput(TaskParts& task);

}  // namespace ostrel::engine::ff
