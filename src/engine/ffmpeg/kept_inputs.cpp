#include "engine/ffmpeg/kept_inputs.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <utility>

namespace ostrel::engine::ff {
namespace {

// Kept inputs live this long and take at most this much: enough for a batch that is probed
// and then converted at once, little for a window left open with its list.
std::atomic<std::int64_t> keptForMs{60'000};
constexpr std::size_t kMostKept = 16;
constexpr std::int64_t kMostKeptBytes = 32 * 1024 * 1024;

}  // namespace

KeptInputs& KeptInputs::Instance() {
    static KeptInputs kept;
    return kept;
}

std::chrono::milliseconds KeptInputs::KeptFor() {
    return std::chrono::milliseconds(keptForMs.load());
}

void KeptInputs::SetKeptFor(std::chrono::milliseconds time) {
    keptForMs = time.count();
}

KeptInputs::~KeptInputs() {
    closer_.request_stop();  // wakes its wait; the jthread joins it
}

void KeptInputs::Put(KeptInput input) {
    std::deque<KeptInput> dropped;  // closed outside the lock
    std::jthread ended;             // a closer that has finished, joined outside the lock
    {
        std::lock_guard lock(mutex_);
        DropExpired(dropped);
        bytes_ += input.bytes;
        inputs_.push_back(std::move(input));
        while (inputs_.size() > kMostKept || bytes_ > kMostKeptBytes) {
            bytes_ -= inputs_.front().bytes;
            dropped.push_back(std::move(inputs_.front()));
            inputs_.pop_front();
        }
        ++puts_;
        if (!closing_) {
            ended = std::move(closer_);
            StartCloser();
        }
    }
    changed_.notify_all();  // the closer waits for the new input's time too
}

bool KeptInputs::Take(const std::string& path, const std::string& formatName,
                      const InputLimits& limits, const Input::FileIdentity& identity,
                      KeptInput& taken) {
    std::deque<KeptInput> dropped;
    std::lock_guard lock(mutex_);
    DropExpired(dropped);
    for (auto it = inputs_.rbegin(); it != inputs_.rend(); ++it) {
        if (it->path == path && it->formatName == formatName && it->identity == identity &&
            it->limits.probeSizeBytes == limits.probeSizeBytes &&
            it->limits.analyzeDurationUs == limits.analyzeDurationUs) {
            bytes_ -= it->bytes;
            taken = std::move(*it);
            inputs_.erase(std::next(it).base());
            ++reused_;
            return true;
        }
    }
    return false;
}

int KeptInputs::Reused() const {
    std::lock_guard lock(mutex_);
    return reused_;
}

// A kept input holds its file open: a file added to the list and then left alone must not stay
// open (a removable disk could not be ejected), so a thread closes each one when its time is up.
// It ends once nothing is kept, and the next Put starts another.
void KeptInputs::StartCloser() {
    try {
        closer_ = std::jthread([this](std::stop_token stop) { CloseExpired(stop); });
        closing_ = true;
    } catch (const std::system_error&) {
        // Without the thread, expired inputs are closed by the next Put or Take.
    }
}

void KeptInputs::CloseExpired(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested() && !inputs_.empty()) {
        // The time is copied: the wait reads it again when it wakes, and by then a Put or a
        // Take may have removed that input.
        const auto expires = std::min_element(inputs_.begin(), inputs_.end(),
                                              [](const KeptInput& a, const KeptInput& b) {
                                                  return a.expires < b.expires;
                                              })
                                 ->expires;
        const std::uint64_t puts = puts_;
        changed_.wait_until(lock, stop, expires, [this, puts] { return puts_ != puts; });
        std::deque<KeptInput> dropped;
        DropExpired(dropped);
        lock.unlock();
        dropped.clear();
        lock.lock();
    }
    closing_ = false;
}

void KeptInputs::DropExpired(std::deque<KeptInput>& dropped) {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = inputs_.begin(); it != inputs_.end();) {
        if (now >= it->expires) {
            bytes_ -= it->bytes;
            dropped.push_back(std::move(*it));
            it = inputs_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace ostrel::engine::ff
