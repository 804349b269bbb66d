// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer: a control that paints the scene through its camera into its own rectangle
// of the window, and its render buffer with the frame counter.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Forms.h"
#include "platform/TimeSource.h"
#include "scene/GLObjects.h"
#include "scene/GLRenderContext.h"
#include "scene/SetOf.h"

namespace orr {

enum TContextOption {
  roDoubleBuffer,
  roStencilBuffer,
  roRenderToWindow,
  roTwoSideLighting,
  roStereo,
  roDestinationAlpha,
  roNoColorBuffer,
  roNoColorBufferClear,
  roNoSwapBuffers
};
enum TGLColorDepth { cdDefault, cd8bits, cd16bits, cd24bits, cdFloat64bits, cdFloat128bits };
enum TGLDepthPrecision { dpDefault, dp16bits, dp24bits, dp32bits };
enum TVSyncMode { vsmSync, vsmNoSync };

// The perspective frustum of a camera for a viewer size: edges at the near plane.
struct TFrustumSize {
  float Left, Right, Bottom, Top, Near, Far;
};
// near = FocalLength x 2 x 96 / (max(W, H) x 25.4) x NearPlaneBias, far = near +
// DepthOfView, right = W / (2 max(W, H)) x NearPlaneBias, top = H / (2 max(W, H)) x bias.
TFrustumSize PerspectiveFor(const TGLCamera& camera, int width, int height);
// The projection matrix of a frustum (row-vector convention, as glFrustum builds it).
TMatrix ProjectionMatrix(const TFrustumSize& frustum);
// World -> eye for a camera looking along its absolute Direction with its absolute Up.
TMatrix CameraViewMatrix(TGLCamera& camera);

// The render buffer of a viewer. It listens to its camera's scene: any change of a scene
// object or of the buffer asks for a repaint unless the buffer is rendering.
//
// The window's one OpenGL context is created by the platform with double buffering, a
// 24-bit depth buffer and an 8-bit stencil buffer; ColorDepth and DepthPrecision record
// what a viewer asks for and are met by that context (never less than asked).
class TGLSceneBuffer : public TGLSceneChangeListener {
 public:
  explicit TGLSceneBuffer(TTimeSource& timeSource = SystemTimeSource());
  ~TGLSceneBuffer() override;
  TGLSceneBuffer(const TGLSceneBuffer&) = delete;
  TGLSceneBuffer& operator=(const TGLSceneBuffer&) = delete;

  TGLCamera* Camera() const { return camera_; }
  void SetCamera(TGLCamera* camera);

  unsigned BackgroundColor = 0;  // 0xRRGGBB; 0 is black
  TSetOf<TContextOption> ContextOptions{roDoubleBuffer, roRenderToWindow};
  TGLColorDepth ColorDepth = cdDefault;
  TGLDepthPrecision DepthPrecision = dpDefault;

  // Frame counter, counter value at the first frame after a reset, frames per second.
  std::uint32_t FrameCount() const { return frameCount_; }
  std::uint64_t FirstFrameCounter() const { return firstFrameCounter_; }
  float FramesPerSecond() const { return framesPerSecond_; }
  // The longest time between two presented frames since the last reset, in seconds.
  double LongestFrameSeconds() const;
  void ResetFrameCounter();

  // A counter; the release that brings it back to zero sends one change notification.
  void HoldNotifications() { ++holdCount_; }
  void ReleaseNotifications();
  int HoldCount() const { return holdCount_; }
  bool Rendering() const { return rendering_; }
  // Asks for a repaint unless the buffer is rendering.
  void NotifyChange();

  // Told on every change notification (the viewer invalidates itself).
  std::function<void()> OnChange;

  // Paints the scene into the current viewport through `renderer`.
  void Render(TRenderBackend& renderer, int width, int height);
  // Start of a frame: the first frame after a reset records the counter value.
  void BeginFrame();
  // After the painted frame was presented: counts it.
  void FrameDone();

  // Statistics of the last render.
  int ObjectsDrawn() const { return context_.ObjectsDrawn; }
  int TopLevelTaken() const { return context_.TopLevelTaken; }

  void SceneChanged() override { NotifyChange(); }
  void ObjectFreed(TGLBaseSceneObject* object) override;
  void SceneDestroyed(TGLScene* scene) override;

 private:
  void SetupLights(TRenderBackend& renderer, const TMatrix& view);

  TTimeSource& timeSource_;
  TGLCamera* camera_ = nullptr;
  TGLScene* listenedScene_ = nullptr;
  int holdCount_ = 0;
  bool rendering_ = false;
  std::uint32_t frameCount_ = 0;
  std::uint64_t firstFrameCounter_ = 0;
  float framesPerSecond_ = 0;
  std::uint64_t lastFrameCounter_ = 0, longestFrameTicks_ = 0;
  TGLRenderContext context_;
};

class TGLSceneViewer : public TControl {
 public:
  // Created 100 x 100 pixels.
  explicit TGLSceneViewer(TComponent* owner, TTimeSource& timeSource = SystemTimeSource());

  TGLSceneBuffer Buffer;
  TGLCamera* Camera() const { return Buffer.Camera(); }
  void SetCamera(TGLCamera* camera) { Buffer.SetCamera(camera); }
  // The platform's context never waits for the vertical retrace (swap interval 0).
  TVSyncMode VSync = vsmNoSync;
  float FramesPerSecond() const { return Buffer.FramesPerSecond(); }

  void Paint(TPaintContext& context) override;
  void FramePresented() override;

 private:
  bool painted_ = false;
};

// "%.*f FPS" with `decimals` decimals of the viewer's frames-per-second value.
std::string FpsText(const TGLSceneViewer& viewer, int decimals);
// Frames-per-second, frame counter and first-frame counter value := 0.
void ResetFrameCounter(TGLSceneViewer& viewer);
// The world point (w = 1) where the ray from the camera through the screen point
// (OpenGL window coordinates of the viewer: (0, 0) bottom-left, (width, height) top-right,
// unprojected at the near plane) meets the plane Z = z. False without a camera, or when
// the ray runs parallel to the plane or away from it.
bool ScreenPointToPlaneZ(TGLSceneViewer& viewer, float x, float y, float z, TVector& point);

}  // namespace orr
