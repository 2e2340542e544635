// Converts files with one option string through the engine and prints the wall time:
//   ostrel_engine_bench THREADS "OPTIONS" OUTPUT_FOLDER EXTENSION INPUT...
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "engine/engine.h"
#include "engine/ffmpeg/ffmpeg_engine.h"

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s THREADS \"OPTIONS\" OUTPUT_FOLDER EXTENSION INPUT...\n",
                     argv[0]);
        return 2;
    }
    const int threads = std::atoi(argv[1]);
    const std::string options = argv[2];
    const std::filesystem::path folder = argv[3];
    const std::string extension = argv[4];

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> events;
    auto encoder = ostrel::engine::ff::CreateFfmpegEncoder();
    encoder->SetEventPoster([&](std::function<void()> event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
        wake.notify_one();
    });
    bool ended = false;
    int failures = 0;
    ostrel::engine::EncoderEvents handlers;
    handlers.TaskFinished = [&](int task, ostrel::engine::TaskOutcome outcome,
                                const std::string& text) {
        if (task < 0) {
            ended = true;
        } else if (outcome != ostrel::engine::TaskOutcome::Succeeded) {
            ++failures;
            std::fprintf(stderr, "task %d failed: %s\n", task, text.c_str());
        }
    };
    encoder->SetEvents(handlers);

    const auto start = std::chrono::steady_clock::now();
    for (int i = 5; i < argc; ++i) {
        const std::filesystem::path input = argv[i];
        const int handle = encoder->OpenInput(input.string(), "");
        if (handle < 0) {
            std::fprintf(stderr, "%s\n", encoder->LastError().c_str());
            return 1;
        }
        const auto output = folder / (input.stem().string() + "." + extension);
        if (encoder->AddOutput(handle, output.string(), options) < 0) {
            std::fprintf(stderr, "%s\n", encoder->LastError().c_str());
            encoder->CloseInput(handle);
            return 1;
        }
    }
    if (encoder->StartTasks(threads) < 0) {
        std::fprintf(stderr, "%s\n", encoder->LastError().c_str());
        return 1;
    }
    while (!ended) {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return !events.empty(); });
        auto event = std::move(events.front());
        events.pop_front();
        lock.unlock();
        event();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f s, %d failed\n", seconds, failures);
    return failures == 0 ? 0 : 1;
}
