// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SoundDevice.h"

#include <chrono>

#include "audio/NullSoundDevice.h"

namespace orr {

namespace {

struct TDeviceMessage {
  TDeviceResult Code;
  const char* Text;
};

// The byte 0xB4 in "caller\xB4s" is the accent of the game's 8-bit code page.
constexpr TDeviceMessage DeviceMessages[] = {
    {0x00000000, "The request completed successfully."},
    {0x80004001, "The function called is not supported at this time."},
    {0x80004002, "The requested COM interface is not available."},
    {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
    {0x80040110, "The object does not support aggregation."},
    {0x80070005, "Access is denied."},
    {0x8007000E,
     "The DirectSound subsystem could not allocate sufficient memory to complete the caller\xB4s "
     "request."},
    {0x80070057, "An invalid parameter was passed to the returning function."},
    {0x8878000A,
     "The request failed because resources, such as a priority level, were already in use by "
     "another caller."},
    {0x8878001E, "The control (volume, pan, and so forth) requested by the caller is not available."},
    {0x88780032, "This function is not valid for the current state of this object."},
    {0x88780046, "The caller does not have the priority level required for the function to succeed."},
    {0x88780064, "The specified wave format is not supported."},
    {0x88780078, "No sound driver is available for use."},
    {0x88780082, "The object is already initialized."},
    {0x88780096, "The buffer memory has been lost and must be restored."},
    {0x887800A0, "Another application has a higher priority level, preventing this call from succeeding."},
    {0x887800AA,
     "The IDirectSound::Initialize method has not been called or has not been called successfully "
     "before other methods were called."},
    {0x887800B4, "Tried to create a DSBCAPS_CTRLFX buffer shorter than DSBSIZE_FX_MIN milliseconds."},
    {0x887800BE, "Attempt to use DirectSound 8 functionality on an older DirectSound object."},
    {0x887800C8, "A circular loop of send effects was detected."},
    {0x887800D2, "The GUID specified in an audiopath file does not match a valid MIXIN buffer."},
    {0x887800DC,
     "The effects requested could not be found on the system, or they were found but in the wrong "
     "order, or in the wrong hardware/software locations."},
    {0x88781161, "The object requested was not found (numerically equal to DMUS_E_NOT_FOUND)."},
};

// SDL audio when a device opens, else the null device on the system clock.
class TFallbackSoundDriver : public TSoundDriver {
 public:
  TDeviceResult Enumerate(const std::function<bool(const std::string&, const std::string&)>& found) override {
    return sdl_->Enumerate(found);
  }
  TDeviceResult Create(const std::string& id, TSoundDeviceRef* device) override {
    if (sdl_->Create(id, device) == DS_OK) return DS_OK;
    return null_.Create(id, device);
  }

 private:
  TSoundDriverRef sdl_ = SdlSoundDriver();
  TNullSoundDriver null_;
};

}  // namespace

std::string DeviceResultMessage(TDeviceResult code) {
  for (const auto& m : DeviceMessages) {
    if (m.Code == code) return m.Text;
  }
  return "Unrecognized Error";
}

void CheckDeviceResult(TDeviceResult code) {
  if (code != DS_OK) throw EDirectXError(DeviceResultMessage(code), code);
}

TDeviceResult CheckBufferDesc(const TSoundBufferDesc& desc) {
  const TWaveFormat* f = desc.Format;
  if (f == nullptr) return DSERR_INVALIDPARAM;
  if (f->FormatTag != 1 || (f->Channels != 1 && f->Channels != 2) ||
      (f->BitsPerSample != 8 && f->BitsPerSample != 16) || f->SamplesPerSec < 100 ||
      f->SamplesPerSec > 200000 || f->BlockAlign != f->Channels * f->BitsPerSample / 8 ||
      f->AvgBytesPerSec != f->BlockAlign * f->SamplesPerSec)
    return DSERR_BADFORMAT;
  if (desc.BufferBytes < 4 || desc.BufferBytes > 0x0FFFFFFF || desc.BufferBytes % f->BlockAlign != 0)
    return DSERR_INVALIDPARAM;
  return DS_OK;
}

uint64_t SystemMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TSoundDriverRef DefaultSoundDriver() { return std::make_shared<TFallbackSoundDriver>(); }

}  // namespace orr
