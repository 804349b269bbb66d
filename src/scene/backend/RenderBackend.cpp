// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

// The desktop's default: the faster of the two on Mesa's software renderer, with equal
// pictures (docs/render.md has the figures). The web build has only es3.
#ifdef __EMSCRIPTEN__
TRendererKind requested = TRendererKind::Es3;
#else
TRendererKind requested = TRendererKind::Gl1;
#endif
TRenderBackend* live = nullptr;
unsigned backendsMade = 0;

}  // namespace

TRenderBackend::TRenderBackend() : serial_(++backendsMade) {}

TRendererKind RequestedRenderer() { return requested; }
void RequestRenderer(TRendererKind kind) { requested = kind; }

bool ParseRendererKind(const std::string& name, TRendererKind& kind) {
  if (name == "gl1") kind = TRendererKind::Gl1;
  else if (name == "es3") kind = TRendererKind::Es3;
  else return false;
  return true;
}

const char* RendererKindName(TRendererKind kind) { return kind == TRendererKind::Gl1 ? "gl1" : "es3"; }

#ifndef __EMSCRIPTEN__
std::unique_ptr<TRenderBackend> CreateGl1Backend();
#endif
#ifndef ORR_NO_ES3_BACKEND
std::unique_ptr<TRenderBackend> CreateEs3Backend(std::string& error);
#endif

std::unique_ptr<TRenderBackend> CreateRenderBackend(TRendererKind kind, std::string& error) {
  switch (kind) {
    case TRendererKind::Gl1:
#ifndef __EMSCRIPTEN__
      return CreateGl1Backend();
#else
      error = "the fixed-function renderer is not built for the web";
      return nullptr;
#endif
    case TRendererKind::Es3:
#ifndef ORR_NO_ES3_BACKEND
      return CreateEs3Backend(error);
#else
      error = "the OpenGL ES 3.0 renderer is not built for this system";
      return nullptr;
#endif
  }
  error = "unknown renderer";
  return nullptr;
}

TRenderBackend* LiveRenderer() { return live; }
void SetLiveRenderer(TRenderBackend* backend) { live = backend; }

}  // namespace orr
