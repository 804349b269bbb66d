// SPDX-License-Identifier: GPL-3.0-or-later
// The cadencer: measures elapsed time and fires OnProgress, manually, as soon as possible
// (posted to the main loop) or from the application's idle time.
#pragma once

#include <functional>
#include <memory>

#include "platform/TimeSource.h"

// windows.h defines GetCurrentTime() as a macro: included first, so that no later inclusion
// brings it back, and the macro gives way to the method.
#ifdef _WIN32
#include <windows.h>
#undef GetCurrentTime
#endif

namespace orr {

class TGLScene;

enum TGLCadencerMode { cmManual, cmASAP, cmApplicationIdle };

class TGLCadencer {
 public:
  // sender, deltaTime, newTime (seconds).
  using TProgressEvent = std::function<void(TGLCadencer* sender, double deltaTime, double newTime)>;

  explicit TGLCadencer(TTimeSource& timeSource = SystemTimeSource());
  ~TGLCadencer();
  TGLCadencer(const TGLCadencer&) = delete;
  TGLCadencer& operator=(const TGLCadencer&) = delete;

  TGLScene* Scene = nullptr;
  double TimeMultiplier = 1;
  double MaxDeltaTime = 0;
  double MinDeltaTime = 0;
  double FixedDeltaTime = 0;
  int SleepLength = -1;  // ms slept before each progress; negative: none
  TProgressEvent OnProgress;

  bool Enabled() const { return enabled_; }
  // Switching off records the time; switching on again moves the origin by the paused
  // span, so a pause is not seen as elapsed time.
  void SetEnabled(bool enabled);
  TGLCadencerMode Mode() const { return mode_; }
  // cmApplicationIdle and cmASAP install the cadencer as the application's idle handler
  // (removed again when leaving those modes): a progress runs whenever no message waits
  // and nothing needs painting, and the handler asks to be called again. In cmASAP an
  // exception of a progress goes to the application's exception handling and disables
  // the cadencer; in cmApplicationIdle it propagates to the idle processing, which hands
  // it to the same handling and waits for the next message; the cadencer stays enabled.
  void SetMode(TGLCadencerMode mode);

  // One progress run.
  void Progress();
  // The time reference in seconds, before the multiplier.
  double GetRawReferenceTime() const { return timeSource_.Seconds(); }
  // (time reference - origin) x TimeMultiplier.
  double GetCurrentTime() const;
  double CurrentTime() const { return lastTime_; }
  // Restarts the clock at 0.
  void Reset();

 private:
  void InstallIdle();
  void UninstallIdle();

  TTimeSource& timeSource_;
  bool enabled_ = true;
  TGLCadencerMode mode_ = cmManual;
  double originTime_ = 0;
  double lastTime_ = 0;
  double downTime_ = 0;
  int progressing_ = 0;
  bool idleInstalled_ = false;
  std::shared_ptr<bool> alive_;
};

}  // namespace orr
