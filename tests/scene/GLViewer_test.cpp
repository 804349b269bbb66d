// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLViewer.h"

#include <gtest/gtest.h>

#include "platform/Application.h"

namespace orr {
namespace {

TEST(CameraProjection, NearPlaneAndEdgesFollowTheFocalLengthRule) {
  TGLScene scene;
  auto* cam = NewChildObject<TGLCamera>(scene.Objects());
  struct {
    float Focal;
    int W, H;
    float Near, Right, Top;
  } cases[] = {
      {50, 100, 100, 3.779528f, 0.5f, 0.5f},
      {50, 800, 600, 0.472441f, 0.5f, 0.375f},
      {100, 600, 800, 0.944882f, 0.375f, 0.5f},
      {100, 1024, 768, 0.738189f, 0.5f, 0.375f},
  };
  for (auto c : cases) {
    cam->SetFocalLength(c.Focal);
    TFrustumSize f = PerspectiveFor(*cam, c.W, c.H);
    EXPECT_NEAR(f.Near, c.Near, 1e-5f) << c.W << "x" << c.H;
    EXPECT_NEAR(f.Far, c.Near + 100, 1e-4f);
    EXPECT_FLOAT_EQ(f.Right, c.Right);
    EXPECT_FLOAT_EQ(f.Left, -c.Right);
    EXPECT_FLOAT_EQ(f.Top, c.Top);
    EXPECT_FLOAT_EQ(f.Bottom, -c.Top);
  }
  cam->SetFocalLength(0);
  EXPECT_FLOAT_EQ(cam->FocalLength(), 1);
  cam->SetFocalLength(-3);
  EXPECT_FLOAT_EQ(cam->FocalLength(), 1);
}

// A camera 15 above (10, 20) looking straight down with focal length 100 shows the
// ground at 100 x 2 x 96 / (25.4 x 15) pixels per unit, whatever the viewer size.
TEST(ScreenPointToPlaneZ, TopDownCameraMapsViewerCornersToTheGround) {
  TGLScene scene;
  auto* cam = NewChildObject<TGLCamera>(scene.Objects());
  cam->Position.SetPoint(10, 20, 15);
  cam->SetFocalLength(100);
  TGLSceneViewer viewer(nullptr);
  TVector p;
  EXPECT_FALSE(ScreenPointToPlaneZ(viewer, 0, 0, 0, p)) << "no camera";
  viewer.SetCamera(cam);
  const float pxPerUnit = 100 * 2 * 96 / (25.4f * 15);
  struct {
    int W, H;
    float X, Y;
  } cases[] = {
      {800, 600, 0, 0}, {800, 600, 800, 600}, {800, 600, 400, 300}, {1024, 768, 0, 768}, {300, 500, 150, 0}};
  for (auto c : cases) {
    viewer.SetBounds(0, 0, c.W, c.H);
    ASSERT_TRUE(ScreenPointToPlaneZ(viewer, c.X, c.Y, 0, p));
    EXPECT_NEAR(p.X, 10 + (c.X - c.W / 2.0f) / pxPerUnit, 1e-3f) << c.W << " " << c.X;
    EXPECT_NEAR(p.Y, 20 + (c.Y - c.H / 2.0f) / pxPerUnit, 1e-3f) << c.H << " " << c.Y;
    EXPECT_FLOAT_EQ(p.Z, 0);
    EXPECT_FLOAT_EQ(p.W, 1);
  }
  // A plane above the camera lies behind the ray.
  EXPECT_FALSE(ScreenPointToPlaneZ(viewer, 10, 10, 20, p));
  // Looking sideways: the ray through the centre runs parallel to the ground.
  cam->Direction.SetVector({1, 0, 0, 0});
  EXPECT_FALSE(ScreenPointToPlaneZ(viewer, 150, 250, 0, p));
}

TEST(ViewerFrameCounter, FpsTextAndResetFollowTheCounter) {
  TManualTimeSource clock;
  TGLSceneViewer viewer(nullptr, clock);
  EXPECT_EQ(viewer.Width, 100);
  EXPECT_EQ(viewer.Height, 100);
  EXPECT_EQ(FpsText(viewer, 1), "0.0 FPS");
  for (int i = 0; i < 10; ++i) {
    viewer.Buffer.BeginFrame();
    clock.Advance(i == 6 ? 0.08 : i == 9 ? 0.02 : 0.05);
    viewer.Buffer.FrameDone();
  }
  EXPECT_EQ(viewer.Buffer.FrameCount(), 10u);
  EXPECT_EQ(FpsText(viewer, 1), "20.0 FPS");
  EXPECT_NEAR(viewer.Buffer.LongestFrameSeconds(), 0.08, 1e-9);
  EXPECT_EQ(FpsText(viewer, 0), "20 FPS");
  ResetFrameCounter(viewer);
  EXPECT_EQ(viewer.Buffer.FrameCount(), 0u);
  EXPECT_EQ(viewer.Buffer.FirstFrameCounter(), 0u);
  EXPECT_EQ(FpsText(viewer, 1), "0.0 FPS");
  viewer.Buffer.BeginFrame();  // the first frame after a reset records the start
  EXPECT_EQ(viewer.Buffer.FirstFrameCounter(), clock.Counter());
  viewer.Buffer.FrameDone();  // no time passed: the value is not computed
  EXPECT_EQ(FpsText(viewer, 2), "0.00 FPS");
  // The span from the last frame before the reset is not a frame of this interval.
  EXPECT_EQ(viewer.Buffer.LongestFrameSeconds(), 0);
}

TEST(ViewerNotifications, HeldReleasesNotifyOnceAndOtherChangesStillNotify) {
  TGLScene scene;
  auto* cam = NewChildObject<TGLCamera>(scene.Objects());
  TGLSceneViewer viewer(nullptr);
  viewer.SetCamera(cam);
  int changes = 0;
  viewer.Buffer.OnChange = [&] { ++changes; };
  viewer.Buffer.HoldNotifications();
  viewer.Buffer.HoldNotifications();
  viewer.Buffer.ReleaseNotifications();
  EXPECT_EQ(changes, 0);
  auto* plane = NewChildObject<TGLPlane>(scene.Objects());  // a scene change is not held back
  EXPECT_GE(changes, 1);
  changes = 0;
  viewer.Buffer.ReleaseNotifications();
  EXPECT_EQ(changes, 1);
  viewer.Buffer.ReleaseNotifications();  // unbalanced: nothing
  EXPECT_EQ(changes, 1);
  changes = 0;
  plane->Position.SetX(3);
  plane->SetVisible(false);
  EXPECT_EQ(changes, 2);
}

TEST(ViewerNotifications, SceneChangesMakeTheFormRepaint) {
  TApplication app(std::make_unique<THeadlessBackend>());
  TForm* form = nullptr;
  app.CreateForm(form);
  auto* panel = TComponent::Create<TPanel>(form);
  panel->SetParent(form);
  auto* viewer = TComponent::Create<TGLSceneViewer>(panel);
  viewer->SetParent(panel);
  TGLScene scene;
  auto* plane = NewChildObject<TGLPlane>(scene.Objects());
  viewer->SetCamera(NewChildObject<TGLCamera>(scene.Objects()));
  form->PaintAll();  // headless: nothing painted, the request is consumed
  ASSERT_FALSE(form->PaintPending());
  plane->Position.SetX(1);
  EXPECT_TRUE(form->PaintPending());
  form->PaintAll();
  viewer->Buffer.HoldNotifications();
  viewer->Buffer.ReleaseNotifications();
  EXPECT_TRUE(form->PaintPending());
  form->PaintAll();
  TGLScene other;  // a scene the viewer does not show
  NewChildObject<TGLPlane>(other.Objects())->Position.SetX(1);
  EXPECT_FALSE(form->PaintPending());
}

TEST(ViewerNotifications, FreedCameraOrSceneLeavesTheViewerWithoutCamera) {
  TGLSceneViewer viewer(nullptr);
  {
    TGLScene scene;
    auto* cam = NewChildObject<TGLCamera>(scene.Objects());
    viewer.SetCamera(cam);
    cam->Free();
    EXPECT_EQ(viewer.Camera(), nullptr);
    viewer.SetCamera(NewChildObject<TGLCamera>(scene.Objects()));
  }
  EXPECT_EQ(viewer.Camera(), nullptr);
}

}  // namespace
}  // namespace orr
