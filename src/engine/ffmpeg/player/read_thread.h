// The read thread: reads packets into the sound and picture queues while they hold less than
// ffplay's limits, carries out seeks (the key frame before the target, then a flush that
// raises the queues' serials) and ends each stream with a null packet at the end of the file.
// It sleeps, without looking at a timer, while the queues are full or the file has ended: a
// decode thread taking a packet, a seek and the stop wake it.
#pragma once

#include <cstddef>

namespace ostrel::engine::ff {

class MediaSession;

// capacity: that of each packet queue.
void RunReadThread(MediaSession& session, std::size_t capacity);

}  // namespace ostrel::engine::ff
