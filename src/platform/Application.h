// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: owner of the modules and the window, the message loop with idle
// processing, the terminate request, central exception handling, message boxes, the
// hand-over of calls to the main thread, and halt.
#pragma once

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

// windows.h renames MessageBox by a macro: included first, so that no later inclusion
// brings it back, and the macro gives way to the method.
#ifdef _WIN32
#include <windows.h>
#undef MessageBox
#endif
#include <vector>

#include "platform/Backend.h"
#include "platform/Classes.h"

namespace orr {

class TForm;

// Thrown by Halt: unwinds to the program's entry, which runs the shutdown sequence and
// returns the exit code. Deliberately not a std::exception, so that code catching
// std::exception does not swallow it.
struct EApplicationHalt {
  int ExitCode;
};

// The silent abort exception: dropped by central handling before the hook.
struct EAbort : std::runtime_error {
  EAbort() : std::runtime_error("Operation aborted") {}
};

class TApplication : public TComponent {
 public:
  using TExceptionHook = std::function<void(TComponent* sender, const std::exception& e)>;
  using TIdleHandler = std::function<void(bool& done)>;

  explicit TApplication(std::unique_ptr<TPlatformBackend> backend);
  ~TApplication() override;

  // Opens the backend; false with a reason when no display can be opened.
  bool Initialize(std::string& error);

  // Creates one module or form owned by the application: the reference is set before the
  // creation handler runs, so handlers of later objects can use it. An exception from the
  // creation handler goes to HandleException and creation goes on; one from the
  // constructor resets the reference and propagates. `args` follow the owner into the
  // constructor (what the object needs from objects created before it).
  template <class T, class... TArgs>
  void CreateForm(T*& reference, TArgs&&... args) {
    reference = nullptr;
    auto made = std::make_unique<T>(this, std::forward<TArgs>(args)...);
    T* raw = made.get();
    InsertComponent(std::move(made));
    reference = raw;
    RunCreationHandler(raw);
  }

  // Runs the message loop until a terminate request is handled.
  void Run();
  // Queues the terminate request; the loop ends when it reaches it.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every pending message, then returns (no idle processing).
  void ProcessMessages();
  // Handles one message, or paints, or idles; what one turn of the loop does.
  void HandleMessage();
  // One frame of a loop that the host drives (a browser calls it once per animation
  // frame): the first call shows the main form; each handles every pending message, runs
  // the frame tasks that are due, paints if needed and gives the idle handler one turn,
  // never waiting. The loop of Run and this one run the same handlers in the same order;
  // false once a terminate request was handled (Terminated).
  bool RunFrame();
  // Frame tasks: work that a worker thread does where threads exist, run by the frame loop
  // where they do not (the page has no threads). `task` is called with the milliseconds of
  // a steady clock once per frame until removed; the id removes it.
  int AddFrameTask(std::function<void(std::uint64_t nowMs)> task);
  void RemoveFrameTask(int id);
  // Runs every frame task once; the frame loop calls it, tests may too.
  void RunFrameTasks();

  // Central exception handling: drops EAbort, else calls OnException, else shows the
  // message in a plain box. Call from inside a catch block.
  void HandleCurrentException(TComponent* sender);
  void HandleException(TComponent* sender, const std::exception& e);
  TExceptionHook OnException;
  TIdleHandler OnIdle;

  // Modal boxes. While one is open the main thread keeps serving hand-overs.
  TModalResult MessageBox(const std::string& text, const std::string& caption, TMsgBoxKind kind);
  void ShowMessage(const std::string& text);

  // Ends the process with the shutdown sequence: unwinds to the entry (see EApplicationHalt).
  [[noreturn]] void Halt(int exitCode);
  bool HaltRequested() const { return haltRequested_; }
  int ExitCode() const { return exitCode_; }

  // Marks every owned object as being destroyed, then destroys them last created first.
  void Shutdown();

  // Hand-over of a call to the main thread. From another thread: queues the call, wakes
  // the loop and blocks until the main thread ran it; if it failed, a std::runtime_error
  // with the same message is raised here. On the main thread: calls it directly.
  void Synchronize(const std::function<void()>& call);
  // Posts a call to run on the main thread later; returns at once.
  void Queue(std::function<void()> call);
  // Main thread: runs every pending hand-over; true when any ran.
  bool CheckSynchronize();
  // Main thread: waits until a hand-over is pending or `timeoutMs` passed.
  void WaitForSynchronize(int timeoutMs);
  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

  int ScreenWidth() { return backend_->ScreenWidth(); }
  int ScreenHeight() { return backend_->ScreenHeight(); }
  // Installed font family names, read once.
  const std::vector<std::string>& Fonts();
  TPlatformBackend& Backend() { return *backend_; }

  // The first form created; the loop shows it, painting and keys go to it.
  TForm* MainForm = nullptr;
  // Called for every mouse-wheel event with its steps (up positive).
  std::function<void(int steps)> OnMouseWheel;

 private:
  void RunCreationHandler(TComponent* component);
  void Dispatch(const TPlatformEvent& event);
  void Idle();
  bool PaintIfNeeded();

  struct TSyncCall {
    std::function<void()> Call;
    bool Blocking = false;
    bool Done = false;
    bool Failed = false;
    std::string ErrorMessage;
  };

  std::unique_ptr<TPlatformBackend> backend_;
  std::thread::id mainThread_;
  std::atomic<bool> terminated_{false};
  bool running_ = false;
  bool haltRequested_ = false;
  int exitCode_ = 0;
  bool fontsRead_ = false;
  std::vector<std::string> fonts_;

  std::mutex syncMutex_;
  std::condition_variable syncDone_;     // a blocking call ran
  std::condition_variable syncPending_;  // a call was queued
  std::deque<std::shared_ptr<TSyncCall>> syncQueue_;

  struct TFrameTask {
    int Id;
    std::function<void(std::uint64_t)> Run;
  };
  std::vector<TFrameTask> frameTasks_;
  int nextFrameTaskId_ = 1;
};

// The one application object of the process (set by its constructor, cleared by its
// destructor).
extern TApplication* Application;

// Unit finalization: global state released after every module is destroyed, last
// registered first.
void AddFinalization(std::function<void()> release);
void RunFinalizations();

// Full path of the running executable, or the one given to SetExecutableFileName.
std::string ExecutableFileName();
// Makes ExecutableFileName report `path` (empty: the real one again). A tool that runs the
// game's modules names the game's executable in the game folder it plays from, so the
// modules find their files and log exactly as the game would there.
void SetExecutableFileName(const std::string& path);

}  // namespace orr
