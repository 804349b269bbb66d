// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SoundDevice.h"

#include <gtest/gtest.h>

#include "audio/NullSoundDevice.h"

namespace orr {
namespace {

// The null device and the SDL device (on SDL's dummy driver here) share their buffers'
// checks: every call answers the same on both, mono and 8-bit output formats included.
TEST(SoundBuffers, TheNullAndTheSdlDeviceAnswerBufferCallsAlike) {
  TSoundDeviceRef devices[2];
  ASSERT_EQ(std::make_shared<TNullSoundDriver>()->Create("", &devices[0]), DS_OK);
  // Without an SDL audio device (no SDL_AUDIODRIVER=dummy, as CTest sets) the null one alone.
  // The game's driver takes SDL's device when one opens, else the null one.
  TSoundDeviceRef chosen;
  ASSERT_EQ(DefaultSoundDriver()->Create("", &chosen), DS_OK);
  const std::string chosenName = chosen->Description();
  chosen.reset();
  const int count = SdlSoundDriver()->Create("", &devices[1]) == DS_OK ? 2 : 1;
  EXPECT_EQ(chosenName, devices[count - 1]->Description());
  for (int d = 0; d < count; ++d) {
    const TSoundDeviceRef& device = devices[d];
    SCOPED_TRACE(device->Description());
    TSoundBufferDesc primaryDesc;
    primaryDesc.Flags = DSBCAPS_PRIMARYBUFFER;
    TSoundBufferRef primary, secondary;
    ASSERT_EQ(device->CreateSoundBuffer(primaryDesc, &primary), DS_OK);
    TWaveFormat mono8;
    mono8.Channels = 1;
    mono8.BitsPerSample = 8;
    mono8.BlockAlign = 1;
    mono8.AvgBytesPerSec = 44100;
    EXPECT_EQ(primary->SetFormat(mono8), DS_OK);
    TWaveFormat odd = mono8;
    odd.BlockAlign = 2;
    EXPECT_EQ(primary->SetFormat(odd), DSERR_BADFORMAT);
    uint8_t* region = nullptr;
    uint32_t bytes = 0;
    EXPECT_EQ(primary->Lock(0, 4, &region, &bytes), DSERR_INVALIDCALL);

    TWaveFormat stereo16;
    TSoundBufferDesc desc;
    desc.BufferBytes = 400;
    desc.Format = &stereo16;
    ASSERT_EQ(device->CreateSoundBuffer(desc, &secondary), DS_OK);
    EXPECT_EQ(secondary->SetFormat(stereo16), DSERR_INVALIDCALL);
    EXPECT_EQ(secondary->Lock(0, 0, &region, &bytes), DSERR_INVALIDPARAM);
    EXPECT_EQ(secondary->Lock(396, 8, &region, &bytes), DSERR_INVALIDPARAM);
    EXPECT_EQ(secondary->SetCurrentPosition(400), DSERR_INVALIDPARAM);
    EXPECT_EQ(secondary->SetVolume(VolumeMin - 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(secondary->SetPan(PanRight + 1), DSERR_INVALIDPARAM);
    // The limits themselves, in the device's own units, are taken; one beyond is refused.
    for (const auto& [level, answer] :
         {std::pair{0, DSERR_INVALIDPARAM}, {1, DS_OK}, {3, DS_OK}, {4, DSERR_INVALIDPARAM}})
      EXPECT_EQ(device->SetCooperativeLevel(nullptr, level), answer) << "level " << level;
    for (const auto& [volume, answer] : {std::pair{-10000, DS_OK}, {-10001, DSERR_INVALIDPARAM}, {0, DS_OK}})
      EXPECT_EQ(secondary->SetVolume(volume), answer) << "volume " << volume;
    for (const auto& [pan, answer] : {std::pair{-10000, DS_OK}, {10000, DS_OK}, {-10001, DSERR_INVALIDPARAM}})
      EXPECT_EQ(secondary->SetPan(pan), answer) << "pan " << pan;
    for (const auto& [rate, answer] :
         {std::pair{99u, DSERR_BADFORMAT}, {100u, DS_OK}, {200000u, DS_OK}, {200001u, DSERR_BADFORMAT}}) {
      TWaveFormat format;
      format.SamplesPerSec = rate;
      format.AvgBytesPerSec = format.BlockAlign * rate;
      TSoundBufferDesc rated;
      rated.BufferBytes = 400;
      rated.Format = &format;
      TSoundBufferRef buffer;
      EXPECT_EQ(device->CreateSoundBuffer(rated, &buffer), answer) << rate << " samples a second";
    }
    ASSERT_EQ(secondary->Lock(392, 8, &region, &bytes), DS_OK);
    EXPECT_EQ(bytes, 8u);
    EXPECT_EQ(region[0], 0);  // 16-bit silence
    EXPECT_EQ(secondary->Unlock(region + 1, 8), DSERR_INVALIDPARAM);
    EXPECT_EQ(secondary->Unlock(region, 8), DS_OK);
  }
}

}  // namespace
}  // namespace orr
