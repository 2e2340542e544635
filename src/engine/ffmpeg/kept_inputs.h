// Inputs that a probe opened, kept for a conversion of the same file soon after: the task
// takes the opened and probed demuxer instead of opening and probing the file again. One cache
// per process; a thread of its own closes each kept input when its time is up, so a file that
// is added to the list and then left alone does not stay open.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "engine/ffmpeg/input.h"

namespace ostrel::engine::ff {

struct KeptInput {
    std::string path;
    std::string formatName;
    Input::FileIdentity identity;
    InputLimits limits;
    std::unique_ptr<Input::InterruptRelay> relay;
    InputContextPtr context;
    std::int64_t bytes = 0;  // read while probing, held in the demuxer's buffers
    std::chrono::steady_clock::time_point expires;
};

class KeptInputs {
  public:
    static KeptInputs& Instance();
    // How long a kept input waits to be taken (a minute; tests shorten it).
    static std::chrono::milliseconds KeptFor();
    static void SetKeptFor(std::chrono::milliseconds time);

    KeptInputs() = default;
    ~KeptInputs();
    KeptInputs(const KeptInputs&) = delete;
    KeptInputs& operator=(const KeptInputs&) = delete;

    // Keeps an input; the oldest ones are closed when more than the cache holds are kept.
    void Put(KeptInput input);
    // The newest kept input of the file as it is now, opened with the same format and limits.
    bool Take(const std::string& path, const std::string& formatName, const InputLimits& limits,
              const Input::FileIdentity& identity, KeptInput& taken);
    // How many inputs were taken.
    int Reused() const;

  private:
    void StartCloser();
    void CloseExpired(const std::stop_token& stop);
    void DropExpired(std::deque<KeptInput>& dropped);

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<KeptInput> inputs_;
    std::int64_t bytes_ = 0;
    std::uint64_t puts_ = 0;  // counts Puts: a waiting closer looks at the times again
    int reused_ = 0;
    bool closing_ = false;  // the closer runs
    std::jthread closer_;   // last: stopped and joined first when the cache goes
};

}  // namespace ostrel::engine::ff
