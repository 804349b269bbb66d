// SPDX-License-Identifier: GPL-3.0-or-later
// The scene's drawing: state cache, tree traversal, materials, textures and the objects'
// geometry, all through the renderer backend (no GL here).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "scene/GLObjects.h"
#include "scene/GLRenderContext.h"
#include "scene/backend/TextureLevels.h"

namespace orr {

// ---------------------------------------------------------------------------------------
// State cache

void TGLRenderContext::ResetState() {
  lighting_ = depthTest_ = blending_ = texturing_ = texMode_ = -1;
  boundTexture_ = ~0u;
  identityLoaded_ = false;
  color_ = {-1, -1, -1, -1};
  Renderer->BeginScene();
  DepthWanted = true;
  SetLighting(true);
  SetDepthTest(true);
  SetBlending(bmOpaque);
  DisableTexture();
}

void TGLRenderContext::FinishState() { Renderer->EndScene(); }

void TGLRenderContext::SetLighting(bool on) {
  if (lighting_ == int(on)) return;
  lighting_ = on;
  Renderer->SetLighting(on);
}

void TGLRenderContext::SetDepthTest(bool on) {
  if (depthTest_ == int(on)) return;
  depthTest_ = on;
  Renderer->SetDepthTest(on);
}

void TGLRenderContext::SetBlending(TGLBlendingMode mode) {
  if (blending_ == int(mode)) return;
  blending_ = mode;
  Renderer->SetBlending(static_cast<TBlendState>(mode));
}

void TGLRenderContext::SetColor(const TVector& color) {
  if (std::memcmp(&color, &color_, sizeof color) == 0) return;
  color_ = color;
  Renderer->SetColor(&color.X);
}

void TGLRenderContext::BindTexture(unsigned handle, TGLTextureMode mode) {
  if (handle == 0) {
    if (texturing_ != 0) {
      texturing_ = 0;
      Renderer->BindTexture(0, TTextureEnv::Modulate);
    }
    return;
  }
  if (texturing_ != 1 || boundTexture_ != handle || texMode_ != int(mode)) {
    texturing_ = 1;
    boundTexture_ = handle;
    texMode_ = mode;
    Renderer->BindTexture(handle, static_cast<TTextureEnv>(mode));
  }
}

void TGLRenderContext::LoadObjectMatrix(TGLBaseSceneObject& object) {
  ModelView = MatrixMultiply(object.AbsoluteMatrix(), ViewMatrix);
  Renderer->SetModelView(ModelView.Data());
  identityLoaded_ = false;
}

void TGLRenderContext::UseEyeSpace(TGLBaseSceneObject& object) {
  ModelView = MatrixMultiply(object.AbsoluteMatrix(), ViewMatrix);
  if (identityLoaded_) return;
  Renderer->SetModelView(TMatrix::Identity().Data());
  identityLoaded_ = true;
}

TRenderVertex* TGLRenderContext::Vertices(int count) {
  if (VertexScratch.size() < size_t(count)) VertexScratch.resize(size_t(count));
  return VertexScratch.data();
}

// ---------------------------------------------------------------------------------------
// Tree traversal

namespace {

bool SphereInFrustum(const TGLRenderContext& context, const TVector& centre, float radius) {
  for (const TVector& plane : context.View.Planes)
    if (plane.X * centre.X + plane.Y * centre.Y + plane.Z * centre.Z + plane.W < -radius) return false;
  return true;
}

void DrawAxes(TGLRenderContext& context) {
  context.SetLighting(false);
  context.DisableTexture();
  context.SetBlending(bmOpaque);
  TRenderVertex* v = context.Vertices(6);
  for (int axis = 0; axis < 3; ++axis) {
    TRenderVertex from{{0, 0, 0}, {0, 0, 1}, {0, 0}, {0, 0, 0, 1}};
    from.Color[axis] = 1;
    TRenderVertex to = from;
    to.Position[axis] = 1;
    v[2 * axis] = from;
    v[2 * axis + 1] = to;
  }
  context.Renderer->Draw(TPrimitive::Lines, v, 6, true);
  context.SetColor({1, 1, 1, 1});  // the vertex colours left the current colour undefined
}

// The object's own geometry and axes, unless culled.
void RenderOwn(TGLBaseSceneObject& object, TGLRenderContext& context) {
  float radius = object.BoundingRadius();
  if (radius < 0 && !object.ShowAxes()) return;
  if (context.Culling && radius >= 0 &&
      !SphereInFrustum(context, object.AbsoluteMatrix().Row[3], radius * object.AbsoluteMaxScale()))
    return;
  context.SetDepthTest(context.DepthWanted);
  if (radius >= 0) {
    if (object.DrawsInEyeSpace()) context.UseEyeSpace(object);
    else context.LoadObjectMatrix(object);
    object.BuildList(context);
    ++context.ObjectsDrawn;
  }
  if (object.ShowAxes()) {
    context.LoadObjectMatrix(object);
    DrawAxes(context);
  }
}

void RenderObject(TGLBaseSceneObject& object, TGLRenderContext& context, size_t depth);

// Renders the children of one parent, given in render order, at `depth` of the tree.
template <class TOrder>
void RenderChildren(TOrder&& order, TGLRenderContext& context, size_t depth) {
  if (context.OrderScratch.size() <= depth) context.OrderScratch.resize(depth + 1);
  // Moved out while in use: deeper levels may grow the scratch list.
  std::vector<TGLBaseSceneObject*> list = std::move(context.OrderScratch[depth]);
  order(list);
  for (TGLBaseSceneObject* child : list) RenderObject(*child, context, depth + 1);
  context.OrderScratch[depth] = std::move(list);
}

void RenderObject(TGLBaseSceneObject& object, TGLRenderContext& context, size_t depth) {
  bool savedDepth = context.DepthWanted;
  if (object.ObjectStyle.NoDepthTest) context.DepthWanted = false;
  RenderOwn(object, context);
  if (object.Count() > 0) {
    RenderChildren(
        [&](std::vector<TGLBaseSceneObject*>& list) {
          OrderChildrenForRender(object, context.Sorting, context.CameraPosition, list);
        },
        context, depth);
  }
  context.DepthWanted = savedDepth;
}

}  // namespace

// With culling, the top-level objects come from the scene's draw index: those wholly
// outside the view volume are left out (they would draw nothing) and the rest keep the
// order the whole walk gives them, so the picture is the same.
void RenderSceneTree(TGLScene& scene, TGLRenderContext& context) {
  TGLBaseSceneObject& root = *scene.Objects();
  if (!context.Culling || !scene.IndexedDrawing) {
    context.TopLevelTaken = root.Count();
    return RenderObject(root, context, 0);
  }
  bool savedDepth = context.DepthWanted;
  if (root.ObjectStyle.NoDepthTest) context.DepthWanted = false;
  RenderOwn(root, context);
  scene.DrawIndex().Collect(root, context.View, context.InView);
  context.TopLevelTaken = static_cast<int>(context.InView.size());
  RenderChildren(
      [&](std::vector<TGLBaseSceneObject*>& list) {
        OrderSiblingsForRender(context.InView, context.Sorting, context.CameraPosition, list);
      },
      context, 0);
  context.DepthWanted = savedDepth;
}

// ---------------------------------------------------------------------------------------
// Materials and textures

void TGLMaterial::Apply(TGLRenderContext& context) {
  TGLMaterial& m = Effective();
  context.SetLighting(!m.MaterialOptions.Contains(moNoLighting));
  context.SetBlending(m.BlendingMode);
  context.SetColor(m.FrontProperties.Diffuse);
  if (m.Texture.Enabled()) m.Texture.Apply(context);
  else context.DisableTexture();
}

static_assert(int(TBlendState::Modulate) == bmModulate && int(TBlendState::AlphaTest50) == bmAlphaTest50,
              "the backend's blend states follow the blending modes");
static_assert(int(TTextureEnv::Replace) == tmReplace && int(TTextureEnv::Decal) == tmDecal,
              "the backend's texture environments follow the texture modes");
static_assert(int(TTextureMinFilter::LinearMipmapLinear) == miLinearMipmapLinear &&
                  int(TTextureMagFilter::Linear) == maLinear,
              "the backend's filters follow ours");

TGLTexture::~TGLTexture() {
  // Without its renderer there is nothing to delete from (it went with the window).
  if (handle_ != 0 && renderer_ != nullptr && renderer_ == LiveRenderer() &&
      renderer_->Serial() == rendererSerial_)
    renderer_->DeleteTexture(handle_);
}

void TGLTexture::Apply(TGLRenderContext& context) {
  if (renderer_ != context.Renderer || context.Renderer->Serial() != rendererSerial_) {
    // A name from another renderer (a window before this one) means nothing here.
    handle_ = 0;
    renderer_ = context.Renderer;
    rendererSerial_ = context.Renderer->Serial();
    uploadValid_ = false;
  }
  if (!uploadValid_) {
    Upload(*context.Renderer);
    context.TextureBound(handle_);
  }
  if (handle_ == 0 || texels_.Width == 0) {
    context.DisableTexture();
    return;
  }
  context.BindTexture(handle_, textureMode_);
}

void TGLTexture::Upload(TRenderBackend& renderer) {
  uploadValid_ = true;
  const TTexels& t = Texels();
  if (t.Width <= 0 || t.Height <= 0) return;  // zero-size images are not uploaded
  const int maxSize = renderer.MaxTextureSize();
  TTextureUpload upload =
      BuildTextureUpload(t.Width, t.Height, t.Rgba.data(), TexturePowerOfTwo(t.Width, maxSize),
                         TexturePowerOfTwo(t.Height, maxSize), MinFilterNeedsMipmaps(minFilter_));
  upload.MinFilter = static_cast<TTextureMinFilter>(minFilter_);
  upload.MagFilter = static_cast<TTextureMagFilter>(magFilter_);
  handle_ = renderer.UploadTexture(handle_, upload);
}

// ---------------------------------------------------------------------------------------
// Object geometry

namespace {

void Put(TRenderVertex& v, float x, float y, float z, const TVector& n, float s, float t) {
  v = {{x, y, z}, {n.X, n.Y, n.Z}, {s, t}, {1, 1, 1, 1}};
}

}  // namespace

// In eye space (DrawsInEyeSpace): the corners through the object's modelview (affine, row
// vectors), and the normal OpenGL would give +Z, the inverse transpose's direction: the
// cross product of the transformed X and Y axes, turned back when the frame is mirrored
// (the renderer normalises it).
void TGLPlane::BuildList(TGLRenderContext& context) {
  Material.Apply(context);
  const TMatrix& m = context.ModelView;
  const float hw = Width() * 0.5f, hh = Height() * 0.5f;
  TVector normal = VectorCross(m.Row[0], m.Row[1]);
  if (VectorDot(normal, m.Row[2]) < 0) normal = VectorScale(normal, -1);
  TRenderVertex* v = context.Vertices(4);
  auto corner = [&m, &normal](TRenderVertex& out, float s, float t, float x, float y) {
    Put(out, x * m.Row[0].X + y * m.Row[1].X + m.Row[3].X, x * m.Row[0].Y + y * m.Row[1].Y + m.Row[3].Y,
        x * m.Row[0].Z + y * m.Row[1].Z + m.Row[3].Z, normal, s, t);
  };
  corner(v[0], 0, 0, -hw, -hh);
  corner(v[1], XTiles(), 0, hw, -hh);
  corner(v[2], XTiles(), YTiles(), hw, hh);
  corner(v[3], 0, YTiles(), -hw, hh);
  context.Renderer->Draw(TPrimitive::Quads, v, 4, false);
}

void TGLCube::BuildList(TGLRenderContext& context) {
  Material.Apply(context);
  const float x = CubeWidth() * 0.5f, y = CubeHeight() * 0.5f, z = CubeDepth() * 0.5f;
  // +Z, -Z, +Y, -Y, +X, -X; counter-clockwise seen from outside; texture (0,0) (1,0)
  // (1,1) (0,1) on each face's corners in order.
  const float corners[6][4][3] = {
      {{-x, -y, z}, {x, -y, z}, {x, y, z}, {-x, y, z}}, {{x, -y, -z}, {-x, -y, -z}, {-x, y, -z}, {x, y, -z}},
      {{-x, y, z}, {x, y, z}, {x, y, -z}, {-x, y, -z}}, {{-x, -y, -z}, {x, -y, -z}, {x, -y, z}, {-x, -y, z}},
      {{x, -y, z}, {x, -y, -z}, {x, y, -z}, {x, y, z}}, {{-x, -y, -z}, {-x, -y, z}, {-x, y, z}, {-x, y, -z}}};
  const TVector normals[6] = {{0, 0, 1, 0},  {0, 0, -1, 0}, {0, 1, 0, 0},
                              {0, -1, 0, 0}, {1, 0, 0, 0},  {-1, 0, 0, 0}};
  const float st[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  TRenderVertex* v = context.Vertices(24);
  for (int f = 0; f < 6; ++f)
    for (int k = 0; k < 4; ++k)
      Put(v[f * 4 + k], corners[f][k][0], corners[f][k][1], corners[f][k][2], normals[f], st[k][0], st[k][1]);
  context.Renderer->Draw(TPrimitive::Quads, v, 24, false);
}

// Flat normals belong to the quad a pair of vertices closes; the first pair takes the first
// quad's (it once kept whatever normal was given last, from another object).
void TGLCylinder::BuildList(TGLRenderContext& context) {
  Material.Apply(context);
  const int slices = Slices(), stacks = Stacks();
  const float half = Height() * 0.5f;
  const float rb = BottomRadius(), rt = TopRadius();
  const bool smooth = Normals() == nsSmooth, flat = Normals() == nsFlat;
  const float slope = (rb - rt) / (Height() != 0 ? Height() : 1);
  if (Parts().Contains(cySides)) {
    TRenderVertex* v = context.Vertices(2 * (slices + 1));
    for (int st = 0; st < stacks; ++st) {
      float y0 = -half + Height() * st / stacks, y1 = -half + Height() * (st + 1) / stacks;
      float r0 = rb + (rt - rb) * st / stacks, r1 = rb + (rt - rb) * (st + 1) / stacks;
      TVector normal{0, 0, 1, 0};  // without normals (nsNone): +Z
      for (int i = 0; i <= slices; ++i) {
        float a = 2 * std::numbers::pi_v<float> * i / slices;
        float c = std::cos(a), s = std::sin(a);
        if (flat) {
          float am = 2 * std::numbers::pi_v<float> * (std::max(i, 1) - 0.5f) / slices;
          normal = {std::cos(am), slope, -std::sin(am), 0};
        } else if (smooth) {
          normal = {c, slope, -s, 0};
        }
        Put(v[2 * i], r0 * c, y0, -r0 * s, normal, float(i) / slices, float(st) / stacks);
        Put(v[2 * i + 1], r1 * c, y1, -r1 * s, normal, float(i) / slices, float(st + 1) / stacks);
      }
      context.Renderer->Draw(TPrimitive::QuadStrip, v, 2 * (slices + 1), false);
    }
  }
  auto disc = [&](float y, float r, float ny) {
    TRenderVertex* v = context.Vertices(slices + 2);
    const TVector normal{0, ny, 0, 0};
    Put(v[0], 0, y, 0, normal, 0.5f, 0.5f);
    for (int i = 0; i <= slices; ++i) {
      float a = 2 * std::numbers::pi_v<float> * (ny > 0 ? i : slices - i) / slices;
      Put(v[i + 1], r * std::cos(a), y, -r * std::sin(a), normal, 0.5f + 0.5f * std::cos(a),
          0.5f + 0.5f * std::sin(a));
    }
    context.Renderer->Draw(TPrimitive::TriangleFan, v, slices + 2, false);
  };
  if (Parts().Contains(cyTop)) disc(half, rt, 1);
  if (Parts().Contains(cyBottom)) disc(-half, rb, -1);
}

void TGLLines::BuildList(TGLRenderContext& context) {
  context.SetLighting(false);
  context.DisableTexture();
  context.SetBlending(LineColor.W < 1 ? bmTransparency : bmOpaque);
  context.SetColor(LineColor);
  context.Renderer->SetLineWidth(LineWidth);
  const TVector none{0, 0, 1, 0};
  if (NodeCount() >= 2) {
    TRenderVertex* v = context.Vertices((NodeCount() - 1) * Division() + 1);
    int n = 0;
    for (int i = 0; i + 1 < NodeCount(); ++i) {
      const TVector& a = Node(i);
      const TVector& b = Node(i + 1);
      for (int k = 0; k < Division(); ++k) {
        float f = float(k) / Division();
        Put(v[n++], a.X + (b.X - a.X) * f, a.Y + (b.Y - a.Y) * f, a.Z + (b.Z - a.Z) * f, none, 0, 0);
      }
    }
    const TVector& last = Node(NodeCount() - 1);
    Put(v[n++], last.X, last.Y, last.Z, none, 0, 0);
    context.Renderer->Draw(TPrimitive::LineStrip, v, n, false);
  }
  if (NodesAspect != lnaInvisible && NodeCount() > 0) {
    const float s = NodeSize() * 0.5f;
    TRenderVertex* v = context.Vertices(6 * NodeCount());
    int k = 0;
    for (int i = 0; i < NodeCount(); ++i) {
      const TVector& n = Node(i);
      Put(v[k++], n.X - s, n.Y, n.Z, none, 0, 0);
      Put(v[k++], n.X + s, n.Y, n.Z, none, 0, 0);
      Put(v[k++], n.X, n.Y - s, n.Z, none, 0, 0);
      Put(v[k++], n.X, n.Y + s, n.Z, none, 0, 0);
      Put(v[k++], n.X, n.Y, n.Z - s, none, 0, 0);
      Put(v[k++], n.X, n.Y, n.Z + s, none, 0, 0);
    }
    context.Renderer->Draw(TPrimitive::Lines, v, k, false);
  }
  context.Renderer->SetLineWidth(1);
}

}  // namespace orr
