// Named mutexes shared by everything in the process: recursive (the holder may lock again)
// and lockable with a time-out. Creating a name that exists opens the existing mutex; the
// mutex lives as long as any handle to it, like a system object.
#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace orr {

using TNamedMutexHandle = std::shared_ptr<std::recursive_timed_mutex>;

// Creates the mutex called `name`, or opens it when it exists. Never empty.
TNamedMutexHandle CreateNamedMutex(const std::string& name);
// Opens an existing mutex; empty when no handle to `name` is alive.
TNamedMutexHandle OpenNamedMutex(const std::string& name);

}  // namespace orr
