// The way up to the host: events of a run that is over never run, and a value posted often
// reaches the host at its newest, also after a run was dropped or no poster was set.
#include "engine/ffmpeg/host_events.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace ostrel::engine::testing {
namespace {

using ff::HostEvents;
using ff::LatestValue;

TEST(HostEvents, LatestValuesReachTheHostAtTheirNewest) {
    struct Case {
        const char* name;
        bool posterFirst;       // a poster is set before the first value
        bool runEndsBetween;    // a new run starts before the first event runs
        std::vector<int> seen;  // what the host's handler gets after the values 1, 2, then 3
    };
    const std::vector<Case> cases = {
        {"one event carries the newest", true, false, {2, 3}},
        {"an event of an ended run frees the slot", true, true, {3}},
        {"values without a poster do not block later ones", false, false, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostEvents events;
        std::vector<std::function<void()>> queued;  // the host's event queue
        const auto setPoster = [&] {
            events.SetPoster(
                [&queued](std::function<void()> event) { queued.push_back(std::move(event)); });
        };
        if (c.posterFirst) {
            setPoster();
        }
        auto slot = std::make_shared<LatestValue<int>>();
        std::vector<int> seen;
        const auto deliver = [&seen](int value) { seen.push_back(value); };
        std::uint64_t run = events.NextRun();
        events.PostLatest<int>(run, slot, 1, deliver);
        events.PostLatest<int>(run, slot, 2, deliver);
        if (c.runEndsBetween) {
            run = events.NextRun();
        }
        if (!c.posterFirst) {
            setPoster();
        }
        for (std::size_t i = 0; i < queued.size(); ++i) {
            queued[i]();
        }
        queued.clear();
        events.PostLatest<int>(run, slot, 3, deliver);
        for (auto& event : queued) {
            event();
        }
        EXPECT_EQ(seen, c.seen);
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
