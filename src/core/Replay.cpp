// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Replay.h"

#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>

#include "platform/Paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orr {

const char* const ReplayDigestFieldNames[ReplayDigestFields] = {
    "seed", "player.position", "player.state",  "player.inventory", "camera", "cells",
    "npcs", "items",           "other entities"};

#ifndef ORR_GAME_VERSION
#define ORR_GAME_VERSION "0"
#endif
const char* const GameVersion = ORR_GAME_VERSION;

TStateDigestFn StateDigestOf = nullptr;
bool RecordReplays = true;
TReplaySource* ReplaySource = nullptr;

namespace {

constexpr char Magic[8] = {'O', 'R', 'R', 'R', 'E', 'P', 'L', 'Y'};
enum TTag : std::uint8_t { TagKeys = 1, TagRun = 2, TagDigest = 3, TagEnd = 4 };

// CRC-32 (the zip and PNG one), table made at compile time: the crash path sums too.
struct TCrcTable {
  std::uint32_t Entries[256];
  constexpr TCrcTable() : Entries{} {
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      Entries[n] = c;
    }
  }
};
constexpr TCrcTable CrcTable;

// Running CRC: start with 0xFFFFFFFF, finish with ~.
std::uint32_t CrcAdd(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) crc = CrcTable.Entries[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

// Appends without allocating when `out` has room (the crash tail is a fixed array).
struct TFixedOut {
  std::uint8_t* Data;
  std::size_t Size = 0, Capacity;
  void Put(std::uint8_t b) {
    if (Size < Capacity) Data[Size++] = b;
  }
};
struct TVectorOut {
  std::vector<std::uint8_t>* Data;
  void Put(std::uint8_t b) { Data->push_back(b); }
};

template <typename Out>
void PutVarint(Out& out, std::uint64_t v) {
  while (v >= 0x80) {
    out.Put(static_cast<std::uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.Put(static_cast<std::uint8_t>(v));
}
template <typename Out>
void PutLittle(Out& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.Put(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint64_t ZigZag(std::int32_t v) {
  return (static_cast<std::uint32_t>(v) << 1) ^ static_cast<std::uint32_t>(v >> 31);
}
std::int32_t UnZigZag(std::uint64_t v) {
  const std::uint32_t half = static_cast<std::uint32_t>(v >> 1);
  return static_cast<std::int32_t>((v & 1) != 0 ? ~half : half);
}

template <typename Out>
void PutDigest(Out& out, const TStateDigest& digest) {
  out.Put(static_cast<std::uint8_t>(ReplayDigestFields));
  for (std::uint32_t field : digest) PutLittle(out, field, 4);
}

// Writes the records of a replay; the recorder and EncodeReplay share it.
class TReplayWriter {
 public:
  std::vector<std::uint8_t> Bytes;
  std::uint64_t Steps = 0;
  std::uint64_t PendingRun = 0;  // steps after the last record that repeat its keys

  void Header(const TReplayHeader& h) {
    Bytes.clear();
    TVectorOut out{&Bytes};
    for (char c : Magic) out.Put(static_cast<std::uint8_t>(c));
    PutLittle(out, ReplayFormatVersion, 2);
    PutString(out, h.GameVersion, 1);
    PutLittle(out, h.Seed, 4);
    PutLittle(out, static_cast<std::uint64_t>(h.ScreenWidth), 2);
    PutLittle(out, static_cast<std::uint64_t>(h.ScreenHeight), 2);
    PutString(out, h.MapName, 2);
    PutLittle(out, h.MapDigest, 8);
    PutLittle(out, h.MapBytes, 8);
    Held_.reset();
    Steps = PendingRun = 0;
  }
  void Step(const TKeySnapshot& keys) {
    ++Steps;
    if (keys.Wheel == 0 && keys.Held == Held_) {
      ++PendingRun;
      return;
    }
    FlushRun();
    TVectorOut out{&Bytes};
    out.Put(TagKeys);
    const TKeyStates changed = keys.Held ^ Held_;
    PutVarint(out, changed.count());
    for (std::size_t code = 0; code < changed.size(); ++code)
      if (changed[code]) out.Put(static_cast<std::uint8_t>(code));
    PutVarint(out, ZigZag(keys.Wheel));
    Held_ = keys.Held;
  }
  void Digest(std::uint64_t step, const TStateDigest& digest) {
    FlushRun();
    TVectorOut out{&Bytes};
    out.Put(TagDigest);
    PutVarint(out, step);
    PutDigest(out, digest);
  }
  // The tail that ends the file: the pending run, the end record and the check sum, into
  // `tail` (64 bytes are enough); the recorded bytes stay as they are. Allocates nothing.
  std::size_t Tail(TReplayEnd end, const TStateDigest* digest, std::uint8_t* tail,
                   std::size_t capacity) const {
    TFixedOut out{tail, 0, capacity};
    if (PendingRun > 0) {
      out.Put(TagRun);
      PutVarint(out, PendingRun);
    }
    out.Put(TagEnd);
    PutVarint(out, Steps);
    out.Put(static_cast<std::uint8_t>(end));
    if (digest != nullptr) PutDigest(out, *digest);
    else out.Put(0);
    std::uint32_t crc = CrcAdd(0xFFFFFFFFu, Bytes.data(), Bytes.size());
    crc = ~CrcAdd(crc, tail, out.Size);
    PutLittle(out, crc, 4);
    return out.Size;
  }
  std::vector<std::uint8_t> Whole(TReplayEnd end, const TStateDigest* digest) const {
    std::uint8_t tail[96];
    const std::size_t n = Tail(end, digest, tail, sizeof tail);
    std::vector<std::uint8_t> whole = Bytes;
    whole.insert(whole.end(), tail, tail + n);
    return whole;
  }

 private:
  template <typename Out>
  static void PutString(Out& out, const std::string& s, int lengthBytes) {
    const std::size_t limit = lengthBytes == 1 ? 255 : 65535;
    const std::size_t n = std::min(s.size(), limit);
    PutLittle(out, n, lengthBytes);
    for (std::size_t i = 0; i < n; ++i) out.Put(static_cast<std::uint8_t>(s[i]));
  }
  void FlushRun() {
    if (PendingRun == 0) return;
    TVectorOut out{&Bytes};
    out.Put(TagRun);
    PutVarint(out, PendingRun);
    PendingRun = 0;
  }
  TKeyStates Held_;
};

// ---- Reading ---------------------------------------------------------------------------------

class TReader {
 public:
  TReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Left() const { return size_ - at_; }
  std::size_t At() const { return at_; }
  bool Byte(std::uint8_t& b) {
    if (at_ >= size_) return false;
    b = data_[at_++];
    return true;
  }
  bool Little(std::uint64_t& v, int bytes) {
    if (Left() < static_cast<std::size_t>(bytes)) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(data_[at_++]) << (8 * i);
    return true;
  }
  bool Varint(std::uint64_t& v) {
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      std::uint8_t b = 0;
      if (!Byte(b)) return false;
      if (shift == 63 && b > 1) return false;  // more than 64 bits
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }
  bool String(std::string& s, int lengthBytes) {
    std::uint64_t n = 0;
    if (!Little(n, lengthBytes) || Left() < n) return false;
    s.assign(reinterpret_cast<const char*>(data_ + at_), static_cast<std::size_t>(n));
    at_ += static_cast<std::size_t>(n);
    return true;
  }
  // After the count byte.
  bool DigestFields(TStateDigest& digest) {
    for (std::uint32_t& field : digest) {
      std::uint64_t v = 0;
      if (!Little(v, 4)) return false;
      field = static_cast<std::uint32_t>(v);
    }
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_, at_ = 0;
};

// ---- Recording state ---------------------------------------------------------------------------

struct TRecorder {
  bool On = false;
  TReplayWriter Writer;
  std::string FileName;
  TStateDigest LastDigest{};
  // The crash path's own copies, made ahead.
  char CrashFile[4096] = {};
#ifdef _WIN32
  wchar_t CrashFileWide[32768] = {};
#endif
  std::uint8_t CrashTail[96] = {};
};
TRecorder Recorder;

// About an hour of play at a few bytes a second; grown at a step when nearly full.
constexpr std::size_t ReserveBytes = 1 << 20;
constexpr std::size_t GrowWhenLeft = 4096;

bool WriteFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(PathFromUtf8(fileName), std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.flush();
  return static_cast<bool>(file);
}

}  // namespace

bool FileDigest(const std::string& fileName, std::uint64_t& digest, std::uint64_t& bytes) {
  std::ifstream file(PathFromUtf8(fileName), std::ios::binary);
  if (!file) return false;
  std::uint64_t h = 0xCBF29CE484222325ull;
  bytes = 0;
  char buffer[65536];
  while (file) {
    file.read(buffer, sizeof buffer);
    const std::streamsize n = file.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
      h ^= static_cast<std::uint8_t>(buffer[i]);
      h *= 0x100000001B3ull;
    }
    bytes += static_cast<std::uint64_t>(n);
  }
  if (file.bad()) return false;
  digest = h;
  return true;
}

std::vector<std::uint8_t> EncodeReplay(const TReplay& replay) {
  TReplayWriter writer;
  writer.Header(replay.Header);
  std::size_t nextDigest = 0;
  auto digestsDue = [&] {
    while (nextDigest < replay.Digests.size() && replay.Digests[nextDigest].Step <= writer.Steps) {
      writer.Digest(replay.Digests[nextDigest].Step, replay.Digests[nextDigest].Digest);
      ++nextDigest;
    }
  };
  digestsDue();
  for (const TReplayRun& run : replay.Runs) {
    for (std::uint64_t i = 0; i < run.Count; ++i) {
      TKeySnapshot keys;
      keys.Held = run.Held;
      keys.Wheel = i == 0 ? run.Wheel : 0;
      writer.Step(keys);
      digestsDue();
    }
  }
  return writer.Whole(replay.End, replay.HasEndDigest ? &replay.EndDigest : nullptr);
}

bool DecodeReplay(const std::uint8_t* data, std::size_t size, TReplay& replay, std::string& error) {
  replay = TReplay{};
  TReader in(data, size);
  if (size < sizeof Magic || std::memcmp(data, Magic, sizeof Magic) != 0) {
    error = "not a replay file";
    return false;
  }
  std::uint8_t skip = 0;
  for (std::size_t i = 0; i < sizeof Magic; ++i) in.Byte(skip);
  std::uint64_t version = 0;
  if (!in.Little(version, 2)) {
    error = "the replay is cut short (in its header)";
    return false;
  }
  if (version != ReplayFormatVersion) {
    error = "the replay is of format version " + std::to_string(version) + "; this program reads version " +
            std::to_string(ReplayFormatVersion);
    return false;
  }
  TReplayHeader& h = replay.Header;
  std::uint64_t seed = 0, width = 0, height = 0;
  if (!in.String(h.GameVersion, 1) || !in.Little(seed, 4) || !in.Little(width, 2) || !in.Little(height, 2) ||
      !in.String(h.MapName, 2) || !in.Little(h.MapDigest, 8) || !in.Little(h.MapBytes, 8)) {
    error = "the replay is cut short (in its header)";
    return false;
  }
  h.Seed = static_cast<std::uint32_t>(seed);
  h.ScreenWidth = static_cast<int>(width);
  h.ScreenHeight = static_cast<int>(height);
  if (h.ScreenWidth == 0 || h.ScreenHeight == 0) {
    error =
        "the replay is damaged (a screen of " + std::to_string(width) + "x" + std::to_string(height) + ")";
    return false;
  }

  TKeyStates held;
  auto damaged = [&](const std::string& what) {
    error = "the replay is damaged at byte " + std::to_string(in.At()) + " (" + what + ")";
    return false;
  };
  auto cutShort = [&] {
    error = "the replay is cut short after step " + std::to_string(replay.StepCount) + " (no end record)";
    return false;
  };
  for (;;) {
    std::uint8_t tag = 0;
    if (!in.Byte(tag)) return cutShort();
    if (tag == TagKeys) {
      std::uint64_t n = 0, wheel = 0;
      if (!in.Varint(n)) return cutShort();
      if (n > 256) return damaged("more key changes than keys");
      for (std::uint64_t i = 0; i < n; ++i) {
        std::uint8_t code = 0;
        if (!in.Byte(code)) return cutShort();
        held.flip(code);
      }
      if (!in.Varint(wheel)) return cutShort();
      if (wheel > 0xFFFFFFFFull) return damaged("a wheel count out of range");
      if (replay.StepCount + 1 > ReplayMaxSteps) return damaged("too many steps");
      replay.Runs.push_back({held, UnZigZag(wheel), 1});
      ++replay.StepCount;
    } else if (tag == TagRun) {
      std::uint64_t n = 0;
      if (!in.Varint(n)) return cutShort();
      if (n == 0 || n > ReplayMaxSteps - replay.StepCount)
        return damaged("a run of " + std::to_string(n) + " steps");
      replay.Runs.push_back({held, 0, n});
      replay.StepCount += n;
    } else if (tag == TagDigest) {
      TReplayDigestRecord record;
      if (!in.Varint(record.Step)) return cutShort();
      std::uint8_t count = 0;
      if (!in.Byte(count)) return cutShort();
      if (count != ReplayDigestFields) return damaged("a digest of another size");
      if (!in.DigestFields(record.Digest)) return cutShort();
      if (record.Step != replay.StepCount ||
          (!replay.Digests.empty() && replay.Digests.back().Step >= record.Step))
        return damaged("a digest out of step order");
      replay.Digests.push_back(record);
    } else if (tag == TagEnd) {
      std::uint64_t steps = 0;
      std::uint8_t end = 0, count = 0;
      if (!in.Varint(steps) || !in.Byte(end)) return cutShort();
      if (steps != replay.StepCount)
        return damaged("an end record of " + std::to_string(steps) + " steps after " +
                       std::to_string(replay.StepCount));
      if (end > static_cast<std::uint8_t>(TReplayEnd::Crash)) return damaged("an unknown end");
      replay.End = static_cast<TReplayEnd>(end);
      if (!in.Byte(count)) return cutShort();
      if (count != 0) {
        if (count != ReplayDigestFields) return damaged("a digest of another size");
        if (!in.DigestFields(replay.EndDigest)) return cutShort();
        replay.HasEndDigest = true;
      }
      const std::size_t summed = in.At();
      std::uint64_t crc = 0;
      if (!in.Little(crc, 4)) return cutShort();
      if (in.Left() != 0) return damaged("bytes after the end record");
      if (static_cast<std::uint32_t>(crc) != ~CrcAdd(0xFFFFFFFFu, data, summed)) {
        error = "the replay is damaged (its check sum does not match)";
        return false;
      }
      return true;
    } else {
      return damaged("an unknown record");
    }
  }
}

bool ReadReplayFile(const std::string& fileName, TReplay& replay, std::string& error) {
  std::ifstream file(PathFromUtf8(fileName), std::ios::binary);
  if (!file) {
    error = "cannot read " + fileName;
    return false;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "cannot read " + fileName;
    return false;
  }
  return DecodeReplay(bytes.data(), bytes.size(), replay, error);
}

// ---- Recording -------------------------------------------------------------------------------

void StartRecording(const TReplayHeader& header, const std::string& fileName) {
  Recorder.Writer.Header(header);
  Recorder.Writer.Bytes.reserve(ReserveBytes);
  Recorder.FileName = fileName;
  const std::size_t n = std::min(fileName.size(), sizeof Recorder.CrashFile - 1);
  std::memcpy(Recorder.CrashFile, fileName.data(), n);
  Recorder.CrashFile[n] = 0;
#ifdef _WIN32
  const std::wstring wide = PathFromUtf8(fileName).wstring();
  const std::size_t w = std::min(wide.size(), std::size(Recorder.CrashFileWide) - 1);
  std::wmemcpy(Recorder.CrashFileWide, wide.data(), w);
  Recorder.CrashFileWide[w] = 0;
#endif
  Recorder.On = true;
}

bool Recording() { return Recorder.On; }
std::uint64_t RecordedSteps() { return Recorder.Writer.Steps; }
std::size_t EncodedReplayBytes() { return Recorder.Writer.Bytes.size(); }

bool SaveReplay(TReplayEnd end) {
  if (!Recorder.On) return false;
  const TStateDigest digest = StateDigestOf != nullptr ? StateDigestOf() : TStateDigest{};
  return WriteFile(Recorder.FileName,
                   Recorder.Writer.Whole(end, StateDigestOf != nullptr ? &digest : nullptr));
}

void StopRecording() {
  if (!Recorder.On) return;
  SaveReplay(TReplayEnd::Shutdown);
  Recorder.On = false;
}

bool CrashReplay(TCrashReplay& out) {
  if (!Recorder.On || Recorder.CrashFile[0] == 0) return false;
  const std::size_t tail =
      Recorder.Writer.Tail(TReplayEnd::Crash, nullptr, Recorder.CrashTail, sizeof Recorder.CrashTail);
  out.FileName = Recorder.CrashFile;
  out.Parts[0] = Recorder.Writer.Bytes.data();
  out.Sizes[0] = Recorder.Writer.Bytes.size();
  out.Parts[1] = Recorder.CrashTail;
  out.Sizes[1] = tail;
  return true;
}

#ifdef _WIN32
const wchar_t* CrashReplayFileWide() { return Recorder.On ? Recorder.CrashFileWide : nullptr; }
#endif

// ---- Steps -----------------------------------------------------------------------------------

bool TReplaySource::Next(TKeySnapshot& keys) {
  while (Replay != nullptr && Run < Replay->Runs.size() && InRun >= Replay->Runs[Run].Count) {
    ++Run;
    InRun = 0;
  }
  if (Replay == nullptr || Run >= Replay->Runs.size()) {
    keys = TKeySnapshot{};
    return false;
  }
  const TReplayRun& run = Replay->Runs[Run];
  keys.Held = run.Held;
  keys.Wheel = InRun == 0 ? run.Wheel : 0;
  ++InRun;
  ++Played;
  return true;
}

void StepKeys(TKeySnapshot& keys) {
  if (ReplaySource != nullptr) ReplaySource->Next(keys);
  if (!Recorder.On) return;
  std::vector<std::uint8_t>& bytes = Recorder.Writer.Bytes;
  if (bytes.capacity() - bytes.size() < GrowWhenLeft) bytes.reserve(bytes.capacity() * 2);
  Recorder.Writer.Step(keys);
}

void StepDone() {
  if (ReplaySource != nullptr && ReplaySource->AfterStep != nullptr) ReplaySource->AfterStep(*ReplaySource);
  if (!Recorder.On || StateDigestOf == nullptr) return;
  const std::uint64_t step = Recorder.Writer.Steps;
  if (step % ReplayDigestSteps == 0) Recorder.Writer.Digest(step, StateDigestOf());
}

void ResetReplay() {
  Recorder.On = false;
  Recorder.Writer = TReplayWriter{};
  Recorder.FileName.clear();
  Recorder.CrashFile[0] = 0;
  ReplaySource = nullptr;
  StateDigestOf = nullptr;
  RecordReplays = true;
}

}  // namespace orr
