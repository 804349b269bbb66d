// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLViewer.h"

#include <algorithm>
#include <cstdio>

namespace orr {

// ---------------------------------------------------------------------------------------
// Projection

TFrustumSize PerspectiveFor(const TGLCamera& camera, int width, int height) {
  float w = std::max(width, 1), h = std::max(height, 1);
  float m = std::max(w, h);
  float bias = camera.NearPlaneBias();
  TFrustumSize f;
  f.Near = camera.FocalLength() * 2 * 96 / (m * 25.4f) * bias;
  f.Far = f.Near + camera.DepthOfView();
  f.Right = w / (2 * m) * bias;
  f.Left = -f.Right;
  f.Top = h / (2 * m) * bias;
  f.Bottom = -f.Top;
  return f;
}

TMatrix ProjectionMatrix(const TFrustumSize& f) {
  TMatrix p{};
  float rl = f.Right - f.Left, tb = f.Top - f.Bottom, fn = f.Far - f.Near;
  p.Row[0] = {2 * f.Near / rl, 0, 0, 0};
  p.Row[1] = {0, 2 * f.Near / tb, 0, 0};
  p.Row[2] = {(f.Right + f.Left) / rl, (f.Top + f.Bottom) / tb, -(f.Far + f.Near) / fn, -1};
  p.Row[3] = {0, 0, -2 * f.Far * f.Near / fn, 0};
  return p;
}

TMatrix CameraViewMatrix(TGLCamera& camera) {
  TVector eye = camera.AbsolutePosition();
  TVector f = camera.AbsoluteDirection();
  TVector s = VectorNormalize(VectorCross(f, camera.AbsoluteUp()));
  TVector u = VectorCross(s, f);
  TMatrix v;
  for (int i = 0; i < 3; ++i) v.Row[i] = {s[i], u[i], -f[i], 0};
  v.Row[3] = {-VectorDot(eye, s), -VectorDot(eye, u), VectorDot(eye, f), 1};
  return v;
}

// ---------------------------------------------------------------------------------------
// Buffer

TGLSceneBuffer::TGLSceneBuffer(TTimeSource& timeSource) : timeSource_(timeSource) {}

TGLSceneBuffer::~TGLSceneBuffer() {
  if (listenedScene_ != nullptr) listenedScene_->RemoveListener(this);
}

void TGLSceneBuffer::SetCamera(TGLCamera* camera) {
  if (camera == camera_) return;
  TGLScene* scene = camera != nullptr ? camera->Scene() : nullptr;
  if (scene != listenedScene_) {
    if (listenedScene_ != nullptr) listenedScene_->RemoveListener(this);
    listenedScene_ = scene;
    if (listenedScene_ != nullptr) listenedScene_->AddListener(this);
  }
  camera_ = camera;
  NotifyChange();
}

void TGLSceneBuffer::ObjectFreed(TGLBaseSceneObject* object) {
  if (object == camera_) camera_ = nullptr;
}

void TGLSceneBuffer::SceneDestroyed(TGLScene* scene) {
  if (scene == listenedScene_) {
    listenedScene_ = nullptr;
    camera_ = nullptr;
  }
}

void TGLSceneBuffer::ReleaseNotifications() {
  if (holdCount_ <= 0) return;
  if (--holdCount_ == 0) NotifyChange();
}

void TGLSceneBuffer::NotifyChange() {
  if (rendering_) return;
  if (OnChange) OnChange();
}

void TGLSceneBuffer::ResetFrameCounter() {
  framesPerSecond_ = 0;
  frameCount_ = 0;
  firstFrameCounter_ = 0;
  longestFrameTicks_ = 0;
}

double TGLSceneBuffer::LongestFrameSeconds() const {
  return double(longestFrameTicks_) / double(timeSource_.Frequency());
}

void TGLSceneBuffer::BeginFrame() {
  if (frameCount_ == 0) firstFrameCounter_ = timeSource_.Counter();
}

void TGLSceneBuffer::FrameDone() {
  ++frameCount_;
  std::uint64_t now = timeSource_.Counter();
  if (frameCount_ > 1) longestFrameTicks_ = std::max(longestFrameTicks_, now - lastFrameCounter_);
  lastFrameCounter_ = now;
  if (now != firstFrameCounter_)
    framesPerSecond_ = static_cast<float>(double(frameCount_) * double(timeSource_.Frequency()) /
                                          double(now - firstFrameCounter_));
}

void TGLSceneBuffer::SetupLights(TRenderBackend& renderer, const TMatrix& view) {
  TRenderLight lights[TRenderBackend::MaxLights];
  int count = 0;
  if (listenedScene_ != nullptr) {
    for (TGLLightSource* light : listenedScene_->Lights()) {
      if (count >= TRenderBackend::MaxLights) break;
      if (!light->Shining || !light->Visible()) continue;
      TRenderLight& l = lights[count++];
      TVector pos = light->AbsolutePosition();
      if (light->LightStyle == lsParallel) {
        TVector d = light->AbsoluteDirection();
        pos = {-d.X, -d.Y, -d.Z, 0};
      }
      auto copy4 = [](float* to, const TVector& v) {
        to[0] = v.X;
        to[1] = v.Y;
        to[2] = v.Z;
        to[3] = v.W;
      };
      copy4(l.Position, pos);
      copy4(l.Ambient, light->Ambient);
      copy4(l.Diffuse, light->Diffuse);
      copy4(l.Specular, light->Specular);
      l.ConstantAttenuation = light->ConstAttenuation;
      l.LinearAttenuation = light->LinearAttenuation;
      l.QuadraticAttenuation = light->QuadraticAttenuation;
      l.SpotCutoff = 180;
      if (light->LightStyle == lsSpot && light->SpotCutOff != 180) {
        TVector d = light->AbsoluteDirection();
        l.SpotDirection[0] = d.X;
        l.SpotDirection[1] = d.Y;
        l.SpotDirection[2] = d.Z;
        l.SpotCutoff = light->SpotCutOff;
        l.SpotExponent = light->SpotExponent;
      }
    }
  }
  renderer.SetLights(view.Data(), lights, count);
}

void TGLSceneBuffer::Render(TRenderBackend& renderer, int width, int height) {
  rendering_ = true;
  struct TLeave {
    bool& Flag;
    ~TLeave() { Flag = false; }
  } leave{rendering_};
  BeginFrame();
  context_.ObjectsDrawn = 0;
  context_.Renderer = &renderer;

  bool colour = !ContextOptions.Contains(roNoColorBuffer);
  renderer.SetColorMask(colour);
  renderer.SetDepthMask(true);
  const bool clearColour = colour && !ContextOptions.Contains(roNoColorBufferClear);
  const float background[4] = {((BackgroundColor >> 16) & 255) / 255.0f,
                               ((BackgroundColor >> 8) & 255) / 255.0f, (BackgroundColor & 255) / 255.0f, 1};
  renderer.Clear(clearColour, true, ContextOptions.Contains(roStencilBuffer), background);
  if (camera_ == nullptr || listenedScene_ == nullptr) {
    renderer.SetColorMask(true);
    return;
  }

  TFrustumSize f = PerspectiveFor(*camera_, width, height);
  TMatrix projection = ProjectionMatrix(f);
  TMatrix view = CameraViewMatrix(*camera_);
  renderer.SetProjection(projection.Data());

  context_.CameraPosition = camera_->AbsolutePosition();
  context_.ViewMatrix = view;
  context_.Sorting = listenedScene_->ObjectsSorting;
  context_.Culling = listenedScene_->VisibilityCulling == vcObjectBased ||
                     listenedScene_->VisibilityCulling == vcHierarchical;
  context_.View = ViewVolumeOf(MatrixMultiply(view, projection));

  context_.ResetState();
  renderer.SetTwoSidedLighting(ContextOptions.Contains(roTwoSideLighting));
  SetupLights(renderer, view);
  RenderSceneTree(*listenedScene_, context_);
  context_.FinishState();
  renderer.SetColorMask(true);
}

// ---------------------------------------------------------------------------------------
// Viewer

TGLSceneViewer::TGLSceneViewer(TComponent* owner, TTimeSource& timeSource)
    : TControl(owner), Buffer(timeSource) {
  Width = 100;
  Height = 100;
  Buffer.OnChange = [this] { Invalidate(); };
}

void TGLSceneViewer::Paint(TPaintContext& context) {
  painted_ = false;
  if (Width <= 0 || Height <= 0) return;
  TRect r = ScreenRect();
  context.SetViewport(r.Left, r.Top, r.Width(), r.Height());
  TRenderBackend* renderer = context.Renderer();
  if (renderer == nullptr) {
    context.ResetViewport();
    return;
  }
  try {
    Buffer.Render(*renderer, r.Width(), r.Height());
  } catch (...) {
    context.ResetViewport();
    throw;
  }
  context.ResetViewport();
  painted_ = true;
}

void TGLSceneViewer::FramePresented() {
  if (painted_) Buffer.FrameDone();
  painted_ = false;
}

std::string FpsText(const TGLSceneViewer& viewer, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f FPS", std::max(decimals, 0), double(viewer.FramesPerSecond()));
  return text;
}

void ResetFrameCounter(TGLSceneViewer& viewer) { viewer.Buffer.ResetFrameCounter(); }

bool ScreenPointToPlaneZ(TGLSceneViewer& viewer, float x, float y, float z, TVector& point) {
  TGLCamera* camera = viewer.Camera();
  if (camera == nullptr) return false;
  int w = std::max(viewer.Width, 1), h = std::max(viewer.Height, 1);
  TMatrix vp = MatrixMultiply(CameraViewMatrix(*camera), ProjectionMatrix(PerspectiveFor(*camera, w, h)));
  TMatrix inverse = MatrixInvert(vp);
  TVector ndc{2 * x / w - 1, 2 * y / h - 1, -1, 1};
  TVector world = VectorTransform(ndc, inverse);
  if (world.W == 0) return false;
  world = VectorScale(world, 1 / world.W);
  TVector eye = camera->AbsolutePosition();
  TVector dir = VectorSubtract(world, eye);
  if (dir.Z == 0) return false;
  float t = (z - eye.Z) / dir.Z;
  if (t < 0) return false;
  point = {eye.X + t * dir.X, eye.Y + t * dir.Y, z, 1};
  return true;
}

}  // namespace orr
