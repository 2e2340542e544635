// The sound as the device receives it (SDL's disk driver writes it to a file): pictures in
// step with it, volume and mute applied to the samples.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "engine_fixture.h"
#include "player_support.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::int16_t> ReadSamples(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

int Peak(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int peak = 0;
    for (std::size_t i = from; i < std::min(to, samples.size()); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

std::int64_t FileSize(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

constexpr double kStdioBufferBytes = 4096.0;

// Over 10 s of the long clip, every picture is handed to the host within 40 ms of the audio
// clock, and the audio clock itself follows the sound the device has taken (the disk driver
// takes it in real time).
TEST(PlayerSound, PicturesStayInStepWithTheSound) {
    TempFolder folder;
    const fs::path sound = folder.Path() / "sound.raw";
    UseDiskAudio(sound);
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().long905)) << host.player->LastError();
    const ff::PlayerStatistics opened = host.player->Statistics();
    ASSERT_TRUE(opened.audioOutput);
    const double bytesPerSecond = opened.audioSampleRate * opened.audioChannels * 2.0;
    ASSERT_TRUE(host.RunUntil([&] { return host.surface.shown.size() > 2; }));
    host.player->ResetStatistics();
    const auto start = std::chrono::steady_clock::now();
    double firstClock = -1.0;
    double lastClock = -1.0;
    int checks = 0;
    while (std::chrono::steady_clock::now() - start < 10s) {
        host.RunFor(500ms);
        const ff::PlayerStatistics stats = host.player->Statistics();
        const double taken = static_cast<double>(FileSize(sound)) / bytesPerSecond;
        ASSERT_GE(stats.audioClockSeconds, 0.0);
        if (kTimingChecks) {
            // The clock trails what the device took by at most its buffers; the file lags what
            // the disk driver wrote by up to the C library's buffer of its stream (4 kB).
            EXPECT_LT(stats.audioClockSeconds, taken + 0.02 + kStdioBufferBytes / bytesPerSecond);
            EXPECT_GT(stats.audioClockSeconds, taken - 0.25);
        }
        if (firstClock < 0) {
            firstClock = stats.audioClockSeconds;
        }
        lastClock = stats.audioClockSeconds;
        ++checks;
    }
    if (!kTimingChecks) {
        return;  // played for the sanitizer's sake only
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Real time (a loaded machine slows the disk driver's pace a little).
    EXPECT_NEAR(lastClock - firstClock, wall - 0.5, 0.15 * wall);
    const ff::PlayerStatistics stats = host.player->Statistics();
    EXPECT_GE(stats.syncSamples, 90) << "10 pictures a second for 10 s";
    // The machine is shared (and the sanitizer builds are slow): a thread that was not
    // scheduled in time may show a picture late now and then, but no more than one in ten.
    EXPECT_LE(stats.syncOver40Ms, stats.syncSamples / 10)
        << "max " << stats.syncMaxMs << " ms, mean " << stats.syncMeanMs << " ms";
    EXPECT_LT(stats.syncMaxMs, 250.0);
    EXPECT_LT(stats.syncMeanMs, 20.0);
    EXPECT_LE(stats.framesDropped, 2);
    EXPECT_GE(checks, 19);
}

// Level 64 halves every sample, 128 leaves them as they are, mute gives silence; a change
// takes effect at once during playback.
TEST(PlayerSound, VolumeAndMuteScaleTheSamples) {
    TempFolder folder;
    auto playInto = [&](const fs::path& file, int level, bool muted) {
        UseDiskAudio(file);
        PlayerHost host;
        host.player->SetAudioLevel(level);
        host.player->SetMuted(muted);
        EXPECT_TRUE(host.Open(Clips().audioOnly)) << host.player->LastError();
        host.RunFor(700ms);
        host.player->CloseMedia(false);
        return ReadSamples(file);
    };
    const auto full = playInto(folder.Path() / "full.raw", 128, false);
    const auto half = playInto(folder.Path() / "half.raw", 64, false);
    const auto muted = playInto(folder.Path() / "muted.raw", 128, true);
    const int fullPeak = Peak(full, 0, full.size());
    ASSERT_GT(fullPeak, 2000) << "the clip's sine, about 1/11 of full scale per channel";
    EXPECT_NEAR(Peak(half, 0, half.size()), fullPeak / 2, 2);
    EXPECT_EQ(Peak(muted, 0, muted.size()), 0);
    // The same wave at half the size: the loudness of the sound (silence left out, as a
    // loaded machine may leave gaps between the device's buffers) halves as well.
    auto rms = [](const std::vector<std::int16_t>& samples) {
        double sum = 0.0;
        std::size_t count = 0;
        for (std::int16_t value : samples) {
            if (value != 0) {
                sum += static_cast<double>(value) * value;
                ++count;
            }
        }
        return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
    };
    EXPECT_NEAR(rms(half) / rms(full), 0.5, 0.01);

    // Muting while playing silences what the device gets next.
    const fs::path changing = folder.Path() / "changing.raw";
    UseDiskAudio(changing);
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().audioOnly));
    host.RunFor(400ms);
    // Playing sound leaves SIGTERM and SIGINT to the program: a logout still ends it.
    for (const int signal : {SIGTERM, SIGINT}) {
        struct sigaction action {};
        ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
        EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
    }
    host.player->SetMuted(true);
    const std::int64_t mutedAt = FileSize(changing) / 2;
    host.RunFor(400ms);
    host.player->CloseMedia(false);
    const auto samples = ReadSamples(changing);
    ASSERT_GT(samples.size(), static_cast<std::size_t>(mutedAt) + 8000);
    EXPECT_GT(Peak(samples, 0, static_cast<std::size_t>(mutedAt)), 2000);
    // One device buffer (written before the change) may still carry sound.
    EXPECT_EQ(Peak(samples, static_cast<std::size_t>(mutedAt) + 2 * 2048 * 2, samples.size()), 0);
    EXPECT_TRUE(host.player->Muted());
}

}  // namespace
}  // namespace ostrel::engine::testing
