// SPDX-License-Identifier: GPL-3.0-or-later
// The audio tests' fake decoded stream: it hands out scripted blocks and results, and counts
// the calls it gets.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/mwAudioFileRead.h"

namespace orr::test {

class TScriptedStream : public TAudioMediaStream {
 public:
  struct TBlock {
    TStreamResult Result = 0;
    uint32_t Bytes = 0;
    int64_t Start = 0, End = 0;
  };
  std::vector<TBlock> Blocks;
  size_t NextBlock = 0;
  int SetBufferCalls = 0, UpdateCalls = 0, SeekCalls = 0;
  TStreamResult SeekResult = 0;
  int64_t LastSeek = -1;

  TStreamResult SetBuffer(uint32_t, uint8_t*, uint32_t) override {
    ++SetBufferCalls;
    return 0;
  }
  TStreamResult Update(uint32_t) override {
    ++UpdateCalls;
    if (NextBlock >= Blocks.size()) return MS_S_ENDOFSTREAM;
    current_ = Blocks[NextBlock++];
    return current_.Result;
  }
  TStreamResult GetActualDataLength(uint32_t* length) override {
    *length = current_.Bytes;
    return 0;
  }
  TStreamResult GetSampleTimes(int64_t* start, int64_t* end) override {
    *start = current_.Start;
    *end = current_.End;
    return 0;
  }
  TStreamResult Stop() override { return 0; }
  TStreamResult Run() override { return 0; }
  TStreamResult GetState(int* state) override {
    *state = 2;
    return 0;
  }
  TStreamResult SetCurrentPosition(int64_t position) override {
    ++SeekCalls;
    LastSeek = position;
    return SeekResult;
  }

 private:
  TBlock current_;
};

}  // namespace orr::test
