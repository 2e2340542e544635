// One conversion task: demux → decode → filter → encode → mux, on the calling thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/ffmpeg/job.h"

struct AVStream;

namespace ostrel::engine::ff {

struct TranscodeRequest {
    std::string inputPath;
    std::string outputPath;
    ContainerInfo container;
    EncodeJob job;
    int threads = 1;                            // codec and filter threads of this task
    const std::atomic<bool>* cancel = nullptr;  // set from another thread to stop
    std::function<void(std::int64_t positionUs, std::int64_t durationUs)> progress;
};

enum class TranscodeStatus { Succeeded, Failed, Stopped };

struct TranscodeResult {
    TranscodeStatus status = TranscodeStatus::Failed;
    std::string errorText;
};

// Converts one file. The output is written under a temporary name in the target folder and
// renamed to outputPath only when everything succeeded; otherwise nothing is left behind.
TranscodeResult Transcode(const TranscodeRequest& request);

// The temporary name used while writing outputPath: ".<name>.ostrel-tmp-<pid>-<n>.<ext>".
std::string TemporaryPathFor(const std::string& outputPath);

// The lower-case extension of a path, without the dot; empty when there is none.
std::string ExtensionOf(const std::string& path);

// The clockwise rotation in degrees [0, 360) that turns a stream upright, from its display
// matrix; 0 when there is none.
double DisplayRotationDegrees(const AVStream* stream);

}  // namespace ostrel::engine::ff
