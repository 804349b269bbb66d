// SPDX-License-Identifier: GPL-3.0-or-later
// What one paint of the scene carries down the tree: the renderer, the camera, the frustum
// for culling and a cache of the renderer's state, so that objects sharing a material do
// not repeat the same state changes. Used only while painting.
#pragma once

#include <vector>

#include "scene/GLMaterial.h"
#include "scene/GLScene.h"
#include "scene/backend/RenderBackend.h"

namespace orr {

struct TGLRenderContext {
  TRenderBackend* Renderer = nullptr;  // the window's, set for each paint
  TVector CameraPosition{0, 0, 0, 1};
  TMatrix ViewMatrix = TMatrix::Identity();  // world -> eye
  TViewVolume View;                          // world planes and corners of the frustum
  bool Culling = false;
  TGLObjectsSorting Sorting = osRenderBlendedLast;
  int MaxTextureSize = 1024;
  int ObjectsDrawn = 0;
  int TopLevelTaken = 0;  // top-level objects the walk took (all, or those in view)

  // Puts the renderer in the state the cache assumes (start of a paint).
  void ResetState();
  // Leaves the renderer with lighting, blending, textures, alpha and depth test off.
  void FinishState();

  void SetLighting(bool on);
  void SetDepthTest(bool on);
  // Blending and alpha test of a blending mode.
  void SetBlending(TGLBlendingMode mode);
  // Source-alpha blending with the "above 0" alpha test (text, glyphs).
  void SetTransparency() { SetBlending(bmTransparency); }
  void SetColor(const TVector& color);
  // Binds a texture (0 turns texturing off) with its texture mode.
  void BindTexture(unsigned handle, TGLTextureMode mode);
  void DisableTexture() { BindTexture(0, tmModulate); }
  // A texture was bound behind the cache's back (uploads).
  void TextureBound(unsigned handle) { boundTexture_ = handle; }
  // ModelView := object's absolute matrix x view, given to the renderer.
  void LoadObjectMatrix(TGLBaseSceneObject& object);
  // ModelView := object's absolute matrix x view, with the renderer's modelview left at identity
  // (loaded once for a run of such objects): the object transforms its own vertices.
  void UseEyeSpace(TGLBaseSceneObject& object);
  // The object being drawn: object -> eye.
  TMatrix ModelView = TMatrix::Identity();

  // Scratch lists for the child order, one per tree depth (no allocation per frame), and
  // for the top-level objects found in view.
  std::vector<std::vector<TGLBaseSceneObject*>> OrderScratch;
  std::vector<TGLBaseSceneObject*> InView;
  // Room for at least `count` vertices of one draw (valid until the next call).
  TRenderVertex* Vertices(int count);
  std::vector<TRenderVertex> VertexScratch;
  bool DepthWanted = true;

 private:
  int lighting_ = -1, depthTest_ = -1, blending_ = -1, texturing_ = -1, texMode_ = -1;
  unsigned boundTexture_ = ~0u;
  TVector color_{-1, -1, -1, -1};
  bool identityLoaded_ = false;  // the renderer's modelview is the identity
};

// Draws the scene's tree (camera and lights already set up in `context`).
void RenderSceneTree(TGLScene& scene, TGLRenderContext& context);

}  // namespace orr
