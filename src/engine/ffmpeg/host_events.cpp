#include "engine/ffmpeg/host_events.h"

namespace ostrel::engine::ff {
namespace {

// The engine object whose thread this is, if any.
thread_local const void* tlsOwner = nullptr;

}  // namespace

void HostEvents::SetPoster(EventPoster poster) {
    std::lock_guard lock(mutex_);
    poster_ = std::move(poster);
}

void HostEvents::Post(std::uint64_t serial, std::function<void()> event) const {
    PostUngated([gate = gate_, serial, event = std::move(event)] {
        if (gate->IsCurrent(serial)) {
            event();
        }
    });
}

bool HostEvents::PostUngated(std::function<void()> event) const {
    EventPoster poster;
    {
        std::lock_guard lock(mutex_);
        poster = poster_;
    }
    if (!poster) {
        return false;
    }
    poster(std::move(event));
    return true;
}

HostEvents::OwnerMark::OwnerMark(const void* owner) : previous_(tlsOwner) {
    tlsOwner = owner;
}

HostEvents::OwnerMark::~OwnerMark() {
    tlsOwner = previous_;
}

void HostEvents::MarkThread(const void* owner) {
    tlsOwner = owner;
}

bool HostEvents::OnThreadOf(const void* owner) {
    return owner != nullptr && tlsOwner == owner;
}

}  // namespace ostrel::engine::ff
