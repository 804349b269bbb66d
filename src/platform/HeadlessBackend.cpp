// SPDX-License-Identifier: GPL-3.0-or-later
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/Backend.h"
#include "platform/Fonts.h"

namespace orr {

struct THeadlessBackend::TState {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<TPlatformEvent> Events;
  bool Woken = false;
  TKeyStates KeysDown;
};

THeadlessBackend::THeadlessBackend(int screenWidth, int screenHeight)
    : state_(std::make_unique<TState>()), screenWidth_(screenWidth), screenHeight_(screenHeight) {}

THeadlessBackend::~THeadlessBackend() = default;

bool THeadlessBackend::Initialize(std::string&) { return true; }

bool THeadlessBackend::PollEvent(TPlatformEvent& event) {
  std::lock_guard<std::mutex> lock(state_->Mutex);
  if (state_->Events.empty()) return false;
  event = state_->Events.front();
  state_->Events.pop_front();
  return true;
}

void THeadlessBackend::WaitEvent(int timeoutMs) {
  std::unique_lock<std::mutex> lock(state_->Mutex);
  auto ready = [&] { return !state_->Events.empty() || state_->Woken; };
  if (timeoutMs < 0) {
    state_->Changed.wait(lock, ready);
  } else {
    state_->Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  }
  state_->Woken = false;
}

void THeadlessBackend::Wake() {
  {
    std::lock_guard<std::mutex> lock(state_->Mutex);
    state_->Woken = true;
  }
  state_->Changed.notify_all();
}

void THeadlessBackend::PushEvent(const TPlatformEvent& event) {
  {
    std::lock_guard<std::mutex> lock(state_->Mutex);
    state_->Events.push_back(event);
  }
  state_->Changed.notify_all();
}

void THeadlessBackend::PostQuit() {
  TPlatformEvent quit;
  quit.Kind = TPlatformEvent::TKind::Quit;
  PushEvent(quit);
}

std::vector<std::string> THeadlessBackend::FontFamilies() {
  return Fonts.empty() ? InstalledFontFamilies() : Fonts;
}

TModalResult THeadlessBackend::ShowMessageBox(const std::string& caption, const std::string& text,
                                              TMsgBoxKind kind) {
  if (MessageBoxResponder) return MessageBoxResponder(caption, text, kind);
  return kind == TMsgBoxKind::Plain ? TModalResult::Ok : TModalResult::Cancel;
}

void THeadlessBackend::SetKeyDown(int vk, bool down) {
  if (vk < 0 || vk >= static_cast<int>(TKeyStates().size())) return;
  std::lock_guard<std::mutex> lock(state_->Mutex);
  state_->KeysDown.set(static_cast<std::size_t>(vk), down);
}

TKeyStates THeadlessBackend::KeyStates() {
  std::lock_guard<std::mutex> lock(state_->Mutex);
  return state_->KeysDown;
}

}  // namespace orr
