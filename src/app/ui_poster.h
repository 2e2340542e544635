// The poster the window hands to its engine objects: every engine event is queued onto the UI
// thread and runs there, behind whatever the window is doing.
#pragma once

#include "engine/engine.h"

namespace ostrel {

engine::EventPoster UiThreadPoster();

}  // namespace ostrel
