// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DisplayLoss.h"

#if defined(_WIN32) || defined(__EMSCRIPTEN__)

namespace orr {

// Windows' display belongs to the session, and a page's canvas to the page: neither can go
// away under a running program, so there is nothing to watch.
void WatchDisplayLoss(std::function<void()>*) {}
void ForgetDisplayLoss(std::function<void()>*) {}

}  // namespace orr

#else

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

namespace orr {
namespace {

std::function<void()>* Hook = nullptr;

int OnConnectionLost(Display*) {
  if (Hook != nullptr && *Hook) (*Hook)();
  ::_exit(1);
}

}  // namespace

void WatchDisplayLoss(std::function<void()>* hook) {
  Hook = hook;
  // A write to the closed connection would raise SIGPIPE and end the process before Xlib
  // sees the error; ignored, the write fails and Xlib reports the lost connection.
  ::signal(SIGPIPE, SIG_IGN);
  XSetIOErrorHandler(OnConnectionLost);
}

void ForgetDisplayLoss(std::function<void()>* hook) {
  if (Hook == hook) Hook = nullptr;
}

}  // namespace orr

#endif  // _WIN32 || __EMSCRIPTEN__
