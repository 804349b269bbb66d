// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLCadencer.h"

#include <thread>

#include "platform/Application.h"
#include "scene/GLScene.h"

namespace orr {

TGLCadencer::TGLCadencer(TTimeSource& timeSource)
    : timeSource_(timeSource), alive_(std::make_shared<bool>(true)) {
  originTime_ = GetRawReferenceTime();
  SetMode(cmASAP);
}

TGLCadencer::~TGLCadencer() { UninstallIdle(); }

void TGLCadencer::SetMode(TGLCadencerMode mode) {
  mode_ = mode;
  if (mode_ == cmManual) UninstallIdle();
  else InstallIdle();
}

void TGLCadencer::InstallIdle() {
  if (idleInstalled_ || Application == nullptr) return;
  idleInstalled_ = true;
  std::weak_ptr<bool> alive = alive_;
  Application->OnIdle = [this, alive](bool& done) {
    if (alive.expired()) return;
    if (mode_ == cmASAP) {
      try {
        Progress();
      } catch (const EApplicationHalt&) {
        throw;
      } catch (...) {
        enabled_ = false;
        downTime_ = GetRawReferenceTime();
        Application->HandleCurrentException(nullptr);
        return;
      }
    } else {
      Progress();
    }
    // Keep the idle calls coming while no message waits: render as fast as possible.
    done = !enabled_;
  };
}

void TGLCadencer::UninstallIdle() {
  if (!idleInstalled_) return;
  idleInstalled_ = false;
  if (Application != nullptr) Application->OnIdle = nullptr;
}

void TGLCadencer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled_) {
    downTime_ = GetRawReferenceTime();
  } else {
    originTime_ += GetRawReferenceTime() - downTime_;
  }
}

double TGLCadencer::GetCurrentTime() const { return (GetRawReferenceTime() - originTime_) * TimeMultiplier; }

void TGLCadencer::Reset() {
  lastTime_ = 0;
  downTime_ = originTime_ = GetRawReferenceTime();
}

void TGLCadencer::Progress() {
  if (progressing_ > 0 || (Scene != nullptr && Scene->InProgress())) return;
  if (!enabled_) return;
  ++progressing_;
  struct TLeave {
    int& Counter;
    ~TLeave() { --Counter; }
  } leave{progressing_};
  if (SleepLength >= 0) std::this_thread::sleep_for(std::chrono::milliseconds(SleepLength));
  double newTime = GetCurrentTime();
  double deltaTime = newTime - lastTime_;
  if (deltaTime < MinDeltaTime || deltaTime < FixedDeltaTime) return;
  if (MaxDeltaTime > 0 && deltaTime > MaxDeltaTime) {
    // The time beyond the cap is dropped for good: the origin moves forward by it.
    originTime_ += (deltaTime - MaxDeltaTime) / TimeMultiplier;
    deltaTime = MaxDeltaTime;
    newTime = lastTime_ + deltaTime;
  }
  double step = FixedDeltaTime > 0 ? FixedDeltaTime : deltaTime;
  double remaining = deltaTime;
  while (remaining >= step) {
    lastTime_ += step;
    if (Scene != nullptr && step != 0) Scene->Progress(step, newTime);
    if (OnProgress) OnProgress(this, step, newTime);
    if (step == 0) break;
    remaining -= step;
  }
}

}  // namespace orr
