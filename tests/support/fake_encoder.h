// A scripted stand-in for the engine's conversion queue: it records every call, refuses the
// inputs and outputs it is told to, and lets a test raise the encoder's events. Like the
// engine, it hands every event to the host's poster with the handlers installed at that
// moment, so delivery is queued and an event raised before SetEvents goes to the old handlers.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"

namespace ostrel::testing {

class FakeEncoder : public engine::Encoder {
  public:
    using Outcome = engine::TaskOutcome;

    // Inputs whose OpenInput fails, and inputs whose AddOutput is refused (engine paths).
    std::set<std::string> unopenable;
    std::set<std::string> refused;
    std::string failureText = "Unsupported codec";

    // Every call in order, as "ClearTasks", "OpenInput <path>", "AddOutput <handle> <path>",
    // "CloseInput <handle>", "StartTasks <threads>", "StopTasks <0|1>".
    std::vector<std::string> calls;
    std::vector<std::pair<std::string, std::string>> outputs;  // path, options
    int stopCount = 0;
    int startThreads = -1;

    void SetEventPoster(engine::EventPoster poster) override { poster_ = std::move(poster); }
    void SetEvents(engine::EncoderEvents events) override { events_ = std::move(events); }

    void ClearTasks() override {
        calls.push_back("ClearTasks");
        inputs_.clear();
        outputs.clear();
        tasks_ = 0;
    }

    int OpenInput(const std::string& path, const std::string& formatName) override {
        calls.push_back("OpenInput " + path + (formatName.empty() ? "" : " " + formatName));
        if (unopenable.count(path) != 0) {
            lastError_ = "No such file or directory";
            return -1;
        }
        inputs_.push_back(path);
        return static_cast<int>(inputs_.size()) - 1;
    }

    int AddOutput(int inputHandle, const std::string& outputPath,
                  const std::string& options) override {
        calls.push_back("AddOutput " + std::to_string(inputHandle) + " " + outputPath);
        if (inputHandle < 0 || inputHandle >= static_cast<int>(inputs_.size()) ||
            refused.count(inputs_[inputHandle]) != 0) {
            lastError_ = failureText;
            return -1;
        }
        outputs.emplace_back(outputPath, options);
        return tasks_++;
    }

    void CloseInput(int inputHandle) override {
        calls.push_back("CloseInput " + std::to_string(inputHandle));
    }

    int StartTasks(int threads) override {
        calls.push_back("StartTasks " + std::to_string(threads));
        startThreads = threads;
        if (tasks_ == 0) {
            lastError_ = "Nothing to convert";
            return -1;
        }
        return 0;
    }

    void PauseTasks(bool paused) override {
        calls.push_back(std::string("PauseTasks ") + (paused ? "1" : "0"));
    }
    void StopTasks(bool wait) override {
        calls.push_back(std::string("StopTasks ") + (wait ? "1" : "0"));
        ++stopCount;
    }

    std::string LastError() const override { return lastError_; }

    // Events, handed to the poster; nothing is delivered without one.
    void Progress(int task, std::int64_t positionUs, std::int64_t durationUs) {
        Post(events_.TaskProgress, task, positionUs, durationUs);
    }
    void Finished(int task, Outcome outcome, const std::string& errorText = {}) {
        Post(events_.TaskFinished, task, outcome, errorText);
    }
    // A succeeded task whose output took another name than the planned one.
    void Written(int task, const std::string& outputPath) {
        Post(events_.OutputWritten, task, outputPath);
    }
    void QueueEnded(Outcome outcome = Outcome::Succeeded) { Finished(-1, outcome); }

    bool HasPoster() const { return static_cast<bool>(poster_); }
    int TaskCount() const { return tasks_; }

  private:
    template <typename Handler, typename... Args>
    void Post(const Handler& handler, Args... args) {
        if (poster_ && handler) {
            poster_([handler, args...] { handler(args...); });
        }
    }

    engine::EventPoster poster_;
    engine::EncoderEvents events_;
    std::vector<std::string> inputs_;
    int tasks_ = 0;
    std::string lastError_;
};

}  // namespace ostrel::testing
