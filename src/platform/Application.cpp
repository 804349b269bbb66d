// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Application.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <chrono>
#include <climits>
#include <cstdio>

#include "platform/Forms.h"
#include "platform/Paths.h"

namespace orr {

TApplication* Application = nullptr;

#ifdef __EMSCRIPTEN__
namespace {

// Under node, the program's file is the script node runs (build-web/bin/orrindel-sim.js), the
// absolute path written into `buffer`; its length, or 0 in a page.
// JavaScript for the page, not C++: the formatter would break its operators (=== into == =).
// clang-format off
EM_JS(int, NodeScriptFileName, (char* buffer, int size), {
  if (typeof process === 'undefined' || !process.argv || process.argv.length < 2) return 0;
  return stringToUTF8(require('path').resolve(process.argv[1]), buffer, size);
});
// clang-format on

}  // namespace
#endif

namespace {

// Message of the exception being handled; call inside a catch block.
std::string CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

std::vector<std::function<void()>>& Finalizations() {
  static std::vector<std::function<void()>> list;
  return list;
}
}  // namespace

void AddFinalization(std::function<void()> release) { Finalizations().push_back(std::move(release)); }

void RunFinalizations() {
  auto& list = Finalizations();
  while (!list.empty()) {
    auto release = std::move(list.back());
    list.pop_back();
    release();
  }
}

namespace {
std::string ExecutableFileOverride;
}

void SetExecutableFileName(const std::string& path) { ExecutableFileOverride = path; }

std::string ExecutableFileName() {
  if (!ExecutableFileOverride.empty()) return ExecutableFileOverride;
#ifdef _WIN32
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Utf8FromWide(buffer.substr(0, n));
    buffer.resize(buffer.size() * 2);  // cut short: a longer buffer
  }
#elif defined(__EMSCRIPTEN__)
  char buffer[PATH_MAX + 1];
  const int n = NodeScriptFileName(buffer, sizeof buffer);
  if (n > 0 && n < PATH_MAX) return std::string(buffer, static_cast<size_t>(n));
  return "/game/orrindel";  // the page mounts the game's folder there
#else
  char buffer[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
#endif
}

TApplication::TApplication(std::unique_ptr<TPlatformBackend> backend)
    : TComponent(nullptr), backend_(std::move(backend)), mainThread_(std::this_thread::get_id()) {
  Application = this;
}

TApplication::~TApplication() {
  Shutdown();
  if (Application == this) Application = nullptr;
}

bool TApplication::Initialize(std::string& error) { return backend_->Initialize(error); }

void TApplication::RunCreationHandler(TComponent* component) {
  try {
    component->AfterConstruction();
  } catch (const EApplicationHalt&) {
    throw;
  } catch (...) {
    HandleCurrentException(component);
  }
}

void TApplication::Run() {
  running_ = true;
  if (MainForm != nullptr) MainForm->Show();
  while (!terminated_) HandleMessage();
  running_ = false;
}

void TApplication::Terminate() { backend_->PostQuit(); }

bool TApplication::RunFrame() {
  if (!running_) {
    running_ = true;
    if (MainForm != nullptr) MainForm->Show();
  }
  TPlatformEvent event;
  while (!terminated_ && backend_->PollEvent(event)) Dispatch(event);
  if (terminated_) return false;
  RunFrameTasks();
  CheckSynchronize();
  if (terminated_) return false;
  PaintIfNeeded();
  // The idle turn of the loop without its wait: the host calls again next frame.
  bool done = true;
  if (OnIdle) {
    try {
      OnIdle(done);
    } catch (const EApplicationHalt&) {
      throw;
    } catch (...) {
      HandleCurrentException(this);
    }
  }
  CheckSynchronize();
  backend_->PresentFrame();
  return !terminated_;
}

int TApplication::AddFrameTask(std::function<void(std::uint64_t nowMs)> task) {
  const int id = nextFrameTaskId_++;
  frameTasks_.push_back({id, std::move(task)});
  return id;
}

void TApplication::RemoveFrameTask(int id) {
  for (auto& task : frameTasks_)
    if (task.Id == id) task.Run = nullptr;  // erased after the pass: a task may remove itself
}

void TApplication::RunFrameTasks() {
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count();
  // By index: a task may add tasks (they run from the next pass on).
  const std::size_t count = frameTasks_.size();
  for (std::size_t i = 0; i < count && i < frameTasks_.size(); ++i) {
    if (!frameTasks_[i].Run) continue;
    auto run = frameTasks_[i].Run;  // a copy: the task may remove itself while it runs
    try {
      run(static_cast<std::uint64_t>(now));
    } catch (const EApplicationHalt&) {
      throw;
    } catch (...) {
      HandleCurrentException(this);
    }
  }
  std::erase_if(frameTasks_, [](const TFrameTask& task) { return !task.Run; });
}

void TApplication::ProcessMessages() {
  TPlatformEvent event;
  while (backend_->PollEvent(event)) Dispatch(event);
  CheckSynchronize();
}

void TApplication::HandleMessage() {
  TPlatformEvent event;
  if (backend_->PollEvent(event)) {
    Dispatch(event);
  } else if (!PaintIfNeeded()) {
    Idle();
  }
}

bool TApplication::PaintIfNeeded() {
  if (MainForm == nullptr || !MainForm->Showing() || !MainForm->PaintPending()) return false;
  try {
    MainForm->PaintAll();
  } catch (const EApplicationHalt&) {
    throw;
  } catch (...) {
    HandleCurrentException(MainForm);
  }
  return true;
}

void TApplication::Dispatch(const TPlatformEvent& event) {
  using K = TPlatformEvent::TKind;
  try {
    switch (event.Kind) {
      case K::Quit: terminated_ = true; break;
      case K::KeyDown:
        if (MainForm != nullptr) {
          int key = event.Key;
          MainForm->KeyDown(key);
        }
        break;
      case K::MouseWheel:
        if (OnMouseWheel) OnMouseWheel(event.Wheel);
        break;
      case K::Expose:
        if (MainForm != nullptr) MainForm->Invalidate();
        break;
      case K::Wake:
      case K::None: break;
    }
    CheckSynchronize();
  } catch (const EApplicationHalt&) {
    throw;
  } catch (...) {
    HandleCurrentException(MainForm);
  }
}

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) {
    try {
      OnIdle(done);
    } catch (const EApplicationHalt&) {
      throw;
    } catch (...) {
      // The handler did not say it wants more idle time: wait for the next message.
      done = true;
      HandleCurrentException(this);
    }
  }
  if (CheckSynchronize()) done = false;
  backend_->PresentFrame();
  if (done && !terminated_) backend_->WaitEvent(-1);
}

void TApplication::HandleCurrentException(TComponent* sender) {
  try {
    throw;
  } catch (const EApplicationHalt&) {
    throw;
  } catch (const std::exception& e) {
    HandleException(sender, e);
  } catch (...) {
    HandleException(sender, std::runtime_error("Unknown exception"));
  }
}

void TApplication::HandleException(TComponent* sender, const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e) != nullptr) return;
  if (OnException) {
    OnException(sender, e);
  } else {
    ShowMessage(e.what());
  }
}

TModalResult TApplication::MessageBox(const std::string& text, const std::string& caption, TMsgBoxKind kind) {
  // Once the process is asked to end, nobody is there to answer: the box answers as closed.
  if (backend_->TerminationRequested())
    return kind == TMsgBoxKind::Plain ? TModalResult::Ok : TModalResult::Cancel;
#ifdef ORR_NO_THREADS
  // No threads: the page's box is modal by itself and nothing can be handed over meanwhile.
  return backend_->ShowMessageBox(caption, text, kind);
#else
  // The box runs on a thread of its own; the main thread meanwhile serves hand-overs, as
  // a modal loop would, and takes the box down when the process is asked to end.
  bool done = false;
  TModalResult result = TModalResult::None;
  std::thread box([&] {
    TModalResult r = backend_->ShowMessageBox(caption, text, kind);
    {
      std::lock_guard<std::mutex> lock(syncMutex_);
      result = r;
      done = true;
    }
    syncPending_.notify_all();
  });
  for (;;) {
    try {
      CheckSynchronize();
    } catch (...) {
      box.join();
      throw;
    }
    {
      std::unique_lock<std::mutex> lock(syncMutex_);
      if (done) break;
      syncPending_.wait_for(lock, std::chrono::milliseconds(100),
                            [&] { return done || !syncQueue_.empty(); });
      if (done) break;
    }
    // Asked again every turn: a box that was still opening may have missed the first call.
    if (backend_->TerminationRequested()) backend_->CloseMessageBoxes();
  }
  box.join();
  return result;
#endif
}

void TApplication::ShowMessage(const std::string& text) { MessageBox(text, "Orrindel", TMsgBoxKind::Plain); }

void TApplication::Halt(int exitCode) {
  haltRequested_ = true;
  exitCode_ = exitCode;
  throw EApplicationHalt{exitCode};
}

void TApplication::Shutdown() {
  MarkDestroying();
  DestroyComponents();
  MainForm = nullptr;
}

void TApplication::Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  auto entry = std::make_shared<TSyncCall>();
  entry->Call = call;
  entry->Blocking = true;
  std::unique_lock<std::mutex> lock(syncMutex_);
  syncQueue_.push_back(entry);
  syncPending_.notify_all();
  backend_->Wake();
  syncDone_.wait(lock, [&] { return entry->Done; });
  if (entry->Failed) throw std::runtime_error(entry->ErrorMessage);
}

void TApplication::Queue(std::function<void()> call) {
  auto entry = std::make_shared<TSyncCall>();
  entry->Call = std::move(call);
  {
    std::lock_guard<std::mutex> lock(syncMutex_);
    syncQueue_.push_back(std::move(entry));
  }
  syncPending_.notify_all();
  backend_->Wake();
}

bool TApplication::CheckSynchronize() {
  bool ranAny = false;
  for (;;) {
    std::shared_ptr<TSyncCall> entry;
    {
      std::lock_guard<std::mutex> lock(syncMutex_);
      if (syncQueue_.empty()) break;
      entry = syncQueue_.front();
      syncQueue_.pop_front();
    }
    ranAny = true;
    auto finish = [&](bool failed, std::string message) {
      {
        std::lock_guard<std::mutex> lock(syncMutex_);
        entry->Failed = failed;
        entry->ErrorMessage = std::move(message);
        entry->Done = true;
        // Let go of the call under the lock: the waiting worker owns it (and the
        // exception it carries) from here on, so it is freed on that thread.
        entry.reset();
      }
      syncDone_.notify_all();
    };
    try {
      entry->Call();
      finish(false, {});
    } catch (const EApplicationHalt&) {
      finish(false, {});
      throw;
    } catch (...) {
      if (entry->Blocking) {
        // The worker raises its own exception with the message: no exception object is
        // shared between the two threads.
        finish(true, CurrentExceptionMessage());
      } else {
        finish(false, {});
        HandleCurrentException(this);
      }
    }
  }
  return ranAny;
}

void TApplication::WaitForSynchronize(int timeoutMs) {
  std::unique_lock<std::mutex> lock(syncMutex_);
  syncPending_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !syncQueue_.empty(); });
}

const std::vector<std::string>& TApplication::Fonts() {
  if (!fontsRead_) {
    fonts_ = backend_->FontFamilies();
    fontsRead_ = true;
  }
  return fonts_;
}

}  // namespace orr
