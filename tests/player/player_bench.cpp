// Not a test: plays a file through the engine's player into an SDL window, as a host would,
// for bench/player.py. Prints one line of key=value figures.
//
//   ostrel_player_bench play FILE SECONDS WIDTH HEIGHT
//       plays for SECONDS into a WIDTH x HEIGHT window
//   ostrel_player_bench seek FILE COUNT WIDTH HEIGHT
//       plays and seeks COUNT times to random positions, timing each from Seek to the host
//       receiving the first picture of the new position
#include <SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/event_queue.h"
#include "engine/ffmpeg/player/ffmpeg_player.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Presents as the player window does: a software blit into the window's own pixels, which
// the X server is handed through shared memory (Qt's raster backing store, mpv's x11 output).
// SDL's renderer would draw through OpenGL instead, which Mesa runs on the CPU under Xvfb: a
// quarter of the process's time went there, work the player window does not do.
class WindowSurface : public ostrel::engine::VideoSurface {
  public:
    WindowSurface(int width, int height) {
        // Otherwise SDL backs the window's pixels with a texture of its OpenGL renderer.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        window_ = SDL_CreateWindow("ostrel player bench", SDL_WINDOWPOS_UNDEFINED,
                                   SDL_WINDOWPOS_UNDEFINED, width, height, 0);
        if (window_ != nullptr) {
            surface_ = SDL_GetWindowSurface(window_);
        }
    }
    ~WindowSurface() override {
        if (window_ != nullptr) {
            SDL_DestroyWindow(window_);  // frees its surface
        }
    }
    bool Ok() const { return surface_ != nullptr; }

    void PresentFrame(std::shared_ptr<const ostrel::engine::VideoFrame> frame) override {
        last = frame;
        lastAt = Clock::now();
        ++presented;
        if (!frame) {
            return;
        }
        // The frame's pixels as they are, read as 32-bit 0xXXRRGGBB words as the window reads
        // them (Qt's RGB32): the blit is a copy of rows when the sizes match.
        SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint8_t*>(frame->pixels.data()), frame->width, frame->height, 32,
            frame->stride, SDL_PIXELFORMAT_RGB888);
        if (picture == nullptr) {
            return;
        }
        SDL_SetSurfaceBlendMode(picture, SDL_BLENDMODE_NONE);
        if (frame->width == surface_->w && frame->height == surface_->h) {
            SDL_BlitSurface(picture, nullptr, surface_, nullptr);
        } else {
            SDL_BlitScaled(picture, nullptr, surface_, nullptr);
        }
        SDL_FreeSurface(picture);
        SDL_UpdateWindowSurface(window_);
    }

    std::shared_ptr<const ostrel::engine::VideoFrame> last;
    Clock::time_point lastAt;
    long presented = 0;

  private:
    SDL_Window* window_ = nullptr;
    SDL_Surface* surface_ = nullptr;  // the window's, freed with it
};

void PumpWindow() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
    }
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s play|seek FILE SECONDS|COUNT WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string file = argv[2];
    const int amount = std::atoi(argv[3]);
    const int width = std::atoi(argv[4]);
    const int height = std::atoi(argv[5]);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    {
        ostrel::EventQueue queue;
        WindowSurface surface(width, height);
        if (!surface.Ok()) {
            std::fprintf(stderr, "no window: %s\n", SDL_GetError());
            return 1;
        }
        std::int64_t durationUs = 0;
        auto player = ostrel::engine::ff::CreateFfmpegPlayer();
        player->SetEventPoster(queue.Poster());
        ostrel::engine::PlayerEvents events;
        events.DurationKnown = [&](std::int64_t duration, int, int, int, int) {
            durationUs = duration;
        };
        player->SetEvents(events);
        player->SetDisplayWidth(width);
        player->SetDisplayHeight(height);
        player->SetOutputWidth(width);
        player->SetOutputHeight(height);
        player->ApplyDisplaySize();
        const double cpuStart = CpuSeconds();
        if (!player->OpenMedia(file, &surface, false)) {
            std::fprintf(stderr, "%s\n", player->LastError().c_str());
            return 1;
        }
        auto runFor = [&](std::chrono::milliseconds time) {
            const auto end = Clock::now() + time;
            while (Clock::now() < end) {
                queue.RunPending(5ms);
                PumpWindow();
            }
        };
        if (mode == "play") {
            runFor(std::chrono::milliseconds(amount * 1000));
            const ostrel::engine::ff::PlayerStatistics stats = player->Statistics();
            player->CloseMedia(false);
            std::printf(
                "cpu=%.3f shown=%lld presented=%ld dropped=%lld drift_max_ms=%.2f "
                "drift_mean_ms=%.2f audio=%d\n",
                CpuSeconds() - cpuStart, static_cast<long long>(stats.framesShown),
                surface.presented, static_cast<long long>(stats.framesDropped), stats.syncMaxMs,
                stats.syncMeanMs, stats.audioOutput ? 1 : 0);
        } else if (mode == "seek") {
            runFor(1000ms);
            std::mt19937 random(20261209);
            std::vector<double> latencies;
            std::string positions;
            const double seconds = durationUs / 1e6;
            std::uniform_real_distribution<double> where(0.5, std::max(1.0, seconds - 2.0));
            for (int i = 0; i < amount; ++i) {
                const auto target = static_cast<std::int64_t>(where(random) * 1e6);
                positions += (positions.empty() ? "" : ",") + std::to_string(target);
                const long before = surface.presented;
                const auto start = Clock::now();
                player->Seek(static_cast<std::int32_t>(static_cast<std::uint32_t>(target)),
                             static_cast<std::int32_t>(target >> 32), 0, false);
                bool landed = false;
                while (Clock::now() - start < 5s && !landed) {
                    queue.RunPending(1ms);
                    PumpWindow();
                    if (surface.presented > before && surface.last &&
                        std::llabs(surface.last->ptsUs - target) < 100'000) {
                        landed = true;
                    }
                }
                if (!landed) {
                    status = 1;
                    std::fprintf(stderr, "seek to %lld us showed no picture\n",
                                 static_cast<long long>(target));
                    break;
                }
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(surface.lastAt - start).count());
                runFor(400ms);
            }
            player->CloseMedia(false);
            std::sort(latencies.begin(), latencies.end());
            const double median = latencies.empty() ? -1.0 : latencies[latencies.size() / 2];
            // The positions, for a peer to seek to the same ones.
            std::printf("positions_us=%s\n", positions.c_str());
            std::printf("seek_median_ms=%.1f seeks=%zu\n", median, latencies.size());
        } else {
            std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
            status = 2;
        }
    }
    SDL_Quit();
    return status;
}
