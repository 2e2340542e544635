// One conversion task, as a short sequence of the engine's units: open the input, choose its
// streams, set up a decoder → filter graph → encoder path per stream (task_setup), open the
// output, run the pipeline, finish, commit. The calling thread reads the input; the decoding,
// filtering and encoding run on threads of the task's own, all ended before Transcode returns
// (an output without video is also decoded on the calling thread, and converted further on
// one thread more; see pipeline.cpp). The task's first failure is its error text, completed
// with libav's first complaint on the thread that failed.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "engine/engine.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

class PauseGate;

struct TranscodeRequest {
    std::string inputPath;
    std::string inputFormat;  // a demuxer name; empty: probe the file
    std::string outputPath;
    // The output's option string, checked when the task was queued; the task parses it again
    // against the input's facts.
    std::string options;
    ContainerInfo container;
    int threads = 1;             // codec and filter threads of this task
    std::stop_token stop;        // the run's stop; the task links a stop of its own to it
    PauseGate* pause = nullptr;  // the run's pause; it outlives the task
    // Called from the task's threads as they post progress.
    std::function<void(std::int64_t positionUs, std::int64_t durationUs)> progress;
    // Called first on each thread the task starts for its pipeline (the caller marks its own
    // threads with it).
    std::function<void()> stageThread;
};

struct TranscodeResult {
    TaskOutcome outcome = TaskOutcome::Failed;
    std::string errorText;   // empty unless the outcome is Failed
    std::string outputPath;  // the path written when Succeeded (see Output::Commit)
    int copiedStreams = 0;   // kCopiedVideo | kCopiedSound: the streams copied as they were
};

// Converts one file. The output is written under a temporary name in the target folder and
// renamed to outputPath (or the next free " (n)" name) only when everything succeeded;
// otherwise nothing is left behind.
TranscodeResult Transcode(const TranscodeRequest& request);

}  // namespace ostrel::engine::ff
