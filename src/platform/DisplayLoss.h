// SPDX-License-Identifier: GPL-3.0-or-later
// The X server going away under the game (the SDL backend's use of Xlib, kept apart from
// the rest: Xlib's macros clash with ordinary names).
#pragma once

#include <functional>

namespace orr {

// From now on a lost display connection runs `*hook` (if set) on the thread that noticed,
// then ends the process at once with exit code 1: nothing of the window can be used any
// more, and the exit handlers of a half-torn program are better not run.
void WatchDisplayLoss(std::function<void()>* hook);
// Stops running `hook` (its owner goes away).
void ForgetDisplayLoss(std::function<void()>* hook);

}  // namespace orr
