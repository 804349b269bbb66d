// SPDX-License-Identifier: GPL-3.0-or-later
// JPEG through libjpeg. libjpeg reports errors by calling error_exit, which must not
// return; ours long-jumps back into DecodeCore, a frame that holds no C++ objects of its
// own, and the exception is thrown only after libjpeg's state has been destroyed.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "codecs/CodecsLocal.h"

namespace orr {

namespace {

constexpr const char* Format = "JPEG";
// A progressive file can hold any number of scans, each a full pass over the picture.
constexpr int MaxScans = 1000;

struct TErrorManager {
  jpeg_error_mgr Base;  // first member: libjpeg hands us a pointer to it
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

struct TProgress {
  jpeg_progress_mgr Base;
  TErrorManager* Errors;
};

[[noreturn]] void ErrorExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<TErrorManager*>(info->err);
  (*info->err->format_message)(info, errors->Message);
  std::longjmp(errors->Jump, 1);
}

// Warnings that mean the data is damaged end the decode; harmless ones are dropped.
void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace messages
  switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC: ErrorExit(info);
    default: ++info->err->num_warnings;
  }
}

void OutputMessage(j_common_ptr) {}  // never print to the console

void ProgressMonitor(j_common_ptr info) {
  auto* progress = reinterpret_cast<TProgress*>(info->progress);
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->is_decompressor && decompress->input_scan_number > MaxScans) {
    std::snprintf(progress->Errors->Message, sizeof progress->Errors->Message, "more than %d scans",
                  MaxScans);
    std::longjmp(progress->Errors->Jump, 1);
  }
}

TColor32 Rgb(unsigned r, unsigned g, unsigned b) {
  return 0xFF000000u | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}

// Fills `out`; false with errors.Message set when libjpeg or the size check fails.
// Everything that lives across setjmp is owned by the caller.
bool DecodeCore(jpeg_decompress_struct& info, TErrorManager& errors, TProgress& progress,
                const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits, TPicture& out) {
  if (setjmp(errors.Jump) != 0) return false;
  jpeg_create_decompress(&info);
  info.progress = &progress.Base;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  const std::int64_t width = info.image_width, height = info.image_height;
  if (width <= 0 || height <= 0 || width > limits.MaxSide || height > limits.MaxSide ||
      width * height > limits.MaxPixels) {
    std::snprintf(errors.Message, sizeof errors.Message,
                  "picture size %lldx%lld exceeds the limit of %d pixels per side or %lld pixels",
                  static_cast<long long>(width), static_cast<long long>(height), limits.MaxSide,
                  static_cast<long long>(limits.MaxPixels));
    return false;
  }
  jpeg_start_decompress(&info);
  const int components = info.output_components;
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * components, 1);
  // The pixels grow with the lines decoded: a few bytes that declare a huge picture and end
  // in its first lines cost no more memory than those lines. `out` is the caller's, so a
  // long jump leaves nothing behind.
  while (info.output_scanline < info.output_height) {
    const JDIMENSION y = info.output_scanline;
    if (jpeg_read_scanlines(&info, row, 1) != 1) {
      std::snprintf(errors.Message, sizeof errors.Message, "scan line %u could not be read", y);
      return false;
    }
    try {
      out.Pixels.resize(std::size_t(y + 1) * info.output_width);
    } catch (const std::bad_alloc&) {
      std::snprintf(errors.Message, sizeof errors.Message, "out of memory at scan line %u", y);
      return false;
    }
    const JSAMPLE* s = row[0];
    TColor32* d = out.Pixels.data() + std::size_t(y) * info.output_width;
    for (JDIMENSION x = 0; x < info.output_width; ++x, s += components) {
      if (components == 1) {
        d[x] = Rgb(s[0], s[0], s[0]);
      } else if (components == 3) {
        d[x] = Rgb(s[0], s[1], s[2]);
      } else if (info.saw_Adobe_marker) {  // Adobe writes CMYK inverted
        d[x] = Rgb(s[0] * s[3] / 255, s[1] * s[3] / 255, s[2] * s[3] / 255);
      } else {
        d[x] = Rgb((255 - s[0]) * (255 - s[3]) / 255, (255 - s[1]) * (255 - s[3]) / 255,
                   (255 - s[2]) * (255 - s[3]) / 255);
      }
    }
  }
  jpeg_finish_decompress(&info);
  return true;
}

// Reads only the header to learn the size and check it against the limits.
bool ReadSize(jpeg_decompress_struct& info, TErrorManager& errors, const std::uint8_t* data, std::size_t size,
              std::int64_t& width, std::int64_t& height) {
  if (setjmp(errors.Jump) != 0) return false;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  width = info.image_width;
  height = info.image_height;
  return true;
}

void SetUpErrors(jpeg_decompress_struct& info, TErrorManager& errors) {
  std::memset(&info, 0, sizeof info);
  info.err = jpeg_std_error(&errors.Base);
  errors.Base.error_exit = ErrorExit;
  errors.Base.emit_message = EmitMessage;
  errors.Base.output_message = OutputMessage;
  errors.Message[0] = '\0';
}

}  // namespace

TPicture DecodeJpeg(const std::uint8_t* data, std::size_t size, const TDecodeLimits& limits) {
  if (data == nullptr || size < 4) codecs::Fail(Format, "file is too short");
  if (size > 0xFFFFFFFFu) codecs::Fail(Format, "file is too large");
  jpeg_decompress_struct info;
  TErrorManager errors;

  SetUpErrors(info, errors);
  std::int64_t width = 0, height = 0;
  bool ok = ReadSize(info, errors, data, size, width, height);
  jpeg_destroy_decompress(&info);
  if (!ok) codecs::Fail(Format, errors.Message);
  codecs::CheckPictureSize(Format, width, height, limits);

  TPicture picture;
  picture.Width = static_cast<int>(width);
  picture.Height = static_cast<int>(height);

  SetUpErrors(info, errors);
  TProgress progress{};
  progress.Base.progress_monitor = ProgressMonitor;
  progress.Errors = &errors;
  ok = DecodeCore(info, errors, progress, data, size, limits, picture);
  jpeg_destroy_decompress(&info);
  if (!ok) codecs::Fail(Format, errors.Message);
  return picture;
}

}  // namespace orr
