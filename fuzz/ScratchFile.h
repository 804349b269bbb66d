// SPDX-License-Identifier: GPL-3.0-or-later
// The scratch file a harness writes each input to when the code under test reads a file.
// It lives in memory (/dev/shm) where there is one: on a disk file system the write costs
// an input more than the reading under test. Named after the process, removed at exit.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orr::fuzz {

// /dev/shm, else TMPDIR, else /tmp.
inline std::string ScratchFolder() {
  struct stat info {};
  if (::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && ::access("/dev/shm", W_OK) == 0)
    return "/dev/shm";
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr ? folder : "/tmp";
}

class TScratchFile {
 public:
  explicit TScratchFile(const std::string& name)
      : path_(ScratchFolder() + "/orr_fuzz_" + std::to_string(::getpid()) + "_" + name) {}
  ~TScratchFile() { ::unlink(path_.c_str()); }
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;

  const std::string& Path() const { return path_; }
  // Writes `data` over the file.
  void Write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    if (std::fclose(file) != 0) std::abort();
  }

 private:
  std::string path_;
};

}  // namespace orr::fuzz
