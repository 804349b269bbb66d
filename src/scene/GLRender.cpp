// SPDX-License-Identifier: GPL-3.0-or-later
// The OpenGL side of the scene: state cache, tree traversal, materials and textures.
#include <GL/gl.h>
#include <GL/glu.h>

#include <SDL.h>

#include <cstring>
#include <numbers>

#include "scene/GLObjects.h"
#include "scene/GLRenderContext.h"

namespace orr {

// ---------------------------------------------------------------------------------------
// State cache

void TGLRenderContext::ResetState() {
  lighting_ = depthTest_ = blending_ = texturing_ = texMode_ = -1;
  boundTexture_ = ~0u;
  identityLoaded_ = false;
  color_ = {-1, -1, -1, -1};
  glDisable(GL_CULL_FACE);
  glEnable(GL_NORMALIZE);
  glDepthFunc(GL_LEQUAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  glShadeModel(GL_SMOOTH);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  DepthWanted = true;
  SetLighting(true);
  SetDepthTest(true);
  SetBlending(bmOpaque);
  DisableTexture();
}

void TGLRenderContext::FinishState() {
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_COLOR_MATERIAL);
  glDepthMask(GL_TRUE);
  glBindTexture(GL_TEXTURE_2D, 0);
  glColor4f(1, 1, 1, 1);
  for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
}

void TGLRenderContext::SetLighting(bool on) {
  if (lighting_ == int(on)) return;
  lighting_ = on;
  if (on) glEnable(GL_LIGHTING);
  else glDisable(GL_LIGHTING);
}

void TGLRenderContext::SetDepthTest(bool on) {
  if (depthTest_ == int(on)) return;
  depthTest_ = on;
  if (on) glEnable(GL_DEPTH_TEST);
  else glDisable(GL_DEPTH_TEST);
}

void TGLRenderContext::SetBlending(TGLBlendingMode mode) {
  if (blending_ == int(mode)) return;
  blending_ = mode;
  switch (mode) {
    case bmOpaque:
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
    case bmTransparency:
      glEnable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glAlphaFunc(GL_GREATER, 0);
      break;
    case bmAdditive:
      glEnable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      glAlphaFunc(GL_GREATER, 0);
      break;
    case bmAlphaTest50:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 0.5f);
      break;
    case bmAlphaTest100:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 1.0f);
      break;
    case bmModulate:
      glEnable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      glAlphaFunc(GL_GREATER, 0);
      break;
  }
}

void TGLRenderContext::SetColor(const TVector& color) {
  if (std::memcmp(&color, &color_, sizeof color) == 0) return;
  color_ = color;
  glColor4f(color.X, color.Y, color.Z, color.W);
}

void TGLRenderContext::BindTexture(unsigned handle, TGLTextureMode mode) {
  if (handle == 0) {
    if (texturing_ != 0) {
      texturing_ = 0;
      glDisable(GL_TEXTURE_2D);
    }
    return;
  }
  if (texturing_ != 1) {
    texturing_ = 1;
    glEnable(GL_TEXTURE_2D);
  }
  if (boundTexture_ != handle) {
    boundTexture_ = handle;
    glBindTexture(GL_TEXTURE_2D, handle);
  }
  if (texMode_ != int(mode)) {
    texMode_ = mode;
    static const GLint modes[] = {GL_DECAL, GL_MODULATE, GL_BLEND, GL_REPLACE};
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[mode]);
  }
}

void TGLRenderContext::LoadObjectMatrix(TGLBaseSceneObject& object) {
  ModelView = MatrixMultiply(object.AbsoluteMatrix(), ViewMatrix);
  glLoadMatrixf(ModelView.Data());
  identityLoaded_ = false;
}

void TGLRenderContext::UseEyeSpace(TGLBaseSceneObject& object) {
  ModelView = MatrixMultiply(object.AbsoluteMatrix(), ViewMatrix);
  if (identityLoaded_) return;
  glLoadIdentity();
  identityLoaded_ = true;
}

// ---------------------------------------------------------------------------------------
// Tree traversal

namespace {

bool SphereInFrustum(const TGLRenderContext& context, const TVector& centre, float radius) {
  for (const TVector& plane : context.View.Planes)
    if (plane.X * centre.X + plane.Y * centre.Y + plane.Z * centre.Z + plane.W < -radius)
      return false;
  return true;
}

void DrawAxes(TGLRenderContext& context) {
  context.SetLighting(false);
  context.DisableTexture();
  context.SetBlending(bmOpaque);
  glBegin(GL_LINES);
  glColor3f(1, 0, 0); glVertex3f(0, 0, 0); glVertex3f(1, 0, 0);
  glColor3f(0, 1, 0); glVertex3f(0, 0, 0); glVertex3f(0, 1, 0);
  glColor3f(0, 0, 1); glVertex3f(0, 0, 0); glVertex3f(0, 0, 1);
  glEnd();
  context.SetColor({-1, -1, -1, -1});  // the cache no longer knows the colour
  glColor4f(1, 1, 1, 1);
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
    RenderChildren([&](std::vector<TGLBaseSceneObject*>& list) {
      OrderChildrenForRender(object, context.Sorting, context.CameraPosition, list);
    }, context, depth);
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
  RenderChildren([&](std::vector<TGLBaseSceneObject*>& list) {
    OrderSiblingsForRender(context.InView, context.Sorting, context.CameraPosition, list);
  }, context, 0);
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

TGLTexture::~TGLTexture() {
  // Without a current context there is nothing to delete from (it went with the window).
  if (handle_ != 0 && SDL_GL_GetCurrentContext() != nullptr) glDeleteTextures(1, &handle_);
}

void TGLTexture::Apply(TGLRenderContext& context) {
  if (!uploadValid_) {
    Upload();
    context.TextureBound(handle_);
  }
  if (handle_ == 0 || texels_.Width == 0) {
    context.DisableTexture();
    return;
  }
  context.BindTexture(handle_, textureMode_);
}

void TGLTexture::Upload() {
  uploadValid_ = true;
  const TTexels& t = Texels();
  if (t.Width <= 0 || t.Height <= 0) return;  // zero-size images are not uploaded
  if (handle_ == 0) glGenTextures(1, &handle_);
  glBindTexture(GL_TEXTURE_2D, handle_);
  GLint maxSize = 1024;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  int w = TexturePowerOfTwo(t.Width, maxSize);
  int h = TexturePowerOfTwo(t.Height, maxSize);
  const std::uint8_t* data = t.Rgba.data();
  std::vector<std::uint8_t> scaled;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (w != t.Width || h != t.Height) {
    scaled.resize(static_cast<size_t>(w) * h * 4);
    gluScaleImage(GL_RGBA, t.Width, t.Height, GL_UNSIGNED_BYTE, data, w, h,
                  GL_UNSIGNED_BYTE, scaled.data());
    data = scaled.data();
  }
  if (MinFilterNeedsMipmaps(minFilter_))
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, w, h, GL_RGBA, GL_UNSIGNED_BYTE, data);
  else
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
  static const GLint minFilters[] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST,
                                     GL_LINEAR_MIPMAP_NEAREST, GL_NEAREST_MIPMAP_LINEAR,
                                     GL_LINEAR_MIPMAP_LINEAR};
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilters[minFilter_]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                  magFilter_ == maNearest ? GL_NEAREST : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

// ---------------------------------------------------------------------------------------
// Object geometry

// In eye space (DrawsInEyeSpace): the corners through the object's modelview (affine, row
// vectors), and the normal OpenGL would give +Z, the inverse transpose's direction: the
// cross product of the transformed X and Y axes, turned back when the frame is mirrored
// (OpenGL normalises it).
void TGLPlane::BuildList(TGLRenderContext& context) {
  Material.Apply(context);
  const TMatrix& m = context.ModelView;
  const float hw = Width() * 0.5f, hh = Height() * 0.5f;
  TVector normal = VectorCross(m.Row[0], m.Row[1]);
  if (VectorDot(normal, m.Row[2]) < 0) normal = VectorScale(normal, -1);
  auto corner = [&m](float s, float t, float x, float y) {
    glTexCoord2f(s, t);
    glVertex3f(x * m.Row[0].X + y * m.Row[1].X + m.Row[3].X,
               x * m.Row[0].Y + y * m.Row[1].Y + m.Row[3].Y,
               x * m.Row[0].Z + y * m.Row[1].Z + m.Row[3].Z);
  };
  glBegin(GL_QUADS);
  glNormal3f(normal.X, normal.Y, normal.Z);
  corner(0, 0, -hw, -hh);
  corner(XTiles(), 0, hw, -hh);
  corner(XTiles(), YTiles(), hw, hh);
  corner(0, YTiles(), -hw, hh);
  glEnd();
}

void TGLCube::BuildList(TGLRenderContext& context) {
  Material.Apply(context);
  float x = CubeWidth() * 0.5f, y = CubeHeight() * 0.5f, z = CubeDepth() * 0.5f;
  glBegin(GL_QUADS);
  // +Z, -Z, +Y, -Y, +X, -X; counter-clockwise seen from outside.
  glNormal3f(0, 0, 1);
  glTexCoord2f(0, 0); glVertex3f(-x, -y, z); glTexCoord2f(1, 0); glVertex3f(x, -y, z);
  glTexCoord2f(1, 1); glVertex3f(x, y, z);   glTexCoord2f(0, 1); glVertex3f(-x, y, z);
  glNormal3f(0, 0, -1);
  glTexCoord2f(0, 0); glVertex3f(x, -y, -z); glTexCoord2f(1, 0); glVertex3f(-x, -y, -z);
  glTexCoord2f(1, 1); glVertex3f(-x, y, -z); glTexCoord2f(0, 1); glVertex3f(x, y, -z);
  glNormal3f(0, 1, 0);
  glTexCoord2f(0, 0); glVertex3f(-x, y, z);  glTexCoord2f(1, 0); glVertex3f(x, y, z);
  glTexCoord2f(1, 1); glVertex3f(x, y, -z);  glTexCoord2f(0, 1); glVertex3f(-x, y, -z);
  glNormal3f(0, -1, 0);
  glTexCoord2f(0, 0); glVertex3f(-x, -y, -z); glTexCoord2f(1, 0); glVertex3f(x, -y, -z);
  glTexCoord2f(1, 1); glVertex3f(x, -y, z);   glTexCoord2f(0, 1); glVertex3f(-x, -y, z);
  glNormal3f(1, 0, 0);
  glTexCoord2f(0, 0); glVertex3f(x, -y, z);  glTexCoord2f(1, 0); glVertex3f(x, -y, -z);
  glTexCoord2f(1, 1); glVertex3f(x, y, -z);  glTexCoord2f(0, 1); glVertex3f(x, y, z);
  glNormal3f(-1, 0, 0);
  glTexCoord2f(0, 0); glVertex3f(-x, -y, -z); glTexCoord2f(1, 0); glVertex3f(-x, -y, z);
  glTexCoord2f(1, 1); glVertex3f(-x, y, z);   glTexCoord2f(0, 1); glVertex3f(-x, y, -z);
  glEnd();
}

void TGLCylinder::BuildList(TGLRenderContext& context) {
  Material.Apply(context);
  const int slices = Slices(), stacks = Stacks();
  const float half = Height() * 0.5f;
  const float rb = BottomRadius(), rt = TopRadius();
  const bool smooth = Normals() == nsSmooth, flat = Normals() == nsFlat;
  const float slope = (rb - rt) / (Height() != 0 ? Height() : 1);
  if (Parts().Contains(cySides)) {
    for (int st = 0; st < stacks; ++st) {
      float y0 = -half + Height() * st / stacks, y1 = -half + Height() * (st + 1) / stacks;
      float r0 = rb + (rt - rb) * st / stacks, r1 = rb + (rt - rb) * (st + 1) / stacks;
      glBegin(GL_QUAD_STRIP);
      for (int i = 0; i <= slices; ++i) {
        float a = 2 * std::numbers::pi_v<float> * i / slices;
        float c = std::cos(a), s = std::sin(a);
        if (flat && i > 0) {
          float am = 2 * std::numbers::pi_v<float> * (i - 0.5f) / slices;
          glNormal3f(std::cos(am), slope, -std::sin(am));
        } else if (smooth) {
          glNormal3f(c, slope, -s);
        }
        glTexCoord2f(float(i) / slices, float(st) / stacks);
        glVertex3f(r0 * c, y0, -r0 * s);
        glTexCoord2f(float(i) / slices, float(st + 1) / stacks);
        glVertex3f(r1 * c, y1, -r1 * s);
      }
      glEnd();
    }
  }
  auto disc = [&](float y, float r, float ny) {
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(0, ny, 0);
    glTexCoord2f(0.5f, 0.5f);
    glVertex3f(0, y, 0);
    for (int i = 0; i <= slices; ++i) {
      float a = 2 * std::numbers::pi_v<float> * (ny > 0 ? i : slices - i) / slices;
      glTexCoord2f(0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a));
      glVertex3f(r * std::cos(a), y, -r * std::sin(a));
    }
    glEnd();
  };
  if (Parts().Contains(cyTop)) disc(half, rt, 1);
  if (Parts().Contains(cyBottom)) disc(-half, rb, -1);
}

void TGLLines::BuildList(TGLRenderContext& context) {
  context.SetLighting(false);
  context.DisableTexture();
  context.SetBlending(LineColor.W < 1 ? bmTransparency : bmOpaque);
  context.SetColor(LineColor);
  glLineWidth(LineWidth);
  if (NodeCount() >= 2) {
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i + 1 < NodeCount(); ++i) {
      const TVector& a = Node(i);
      const TVector& b = Node(i + 1);
      for (int k = 0; k < Division(); ++k) {
        float f = float(k) / Division();
        glVertex3f(a.X + (b.X - a.X) * f, a.Y + (b.Y - a.Y) * f, a.Z + (b.Z - a.Z) * f);
      }
    }
    const TVector& last = Node(NodeCount() - 1);
    glVertex3f(last.X, last.Y, last.Z);
    glEnd();
  }
  if (NodesAspect != lnaInvisible) {
    float s = NodeSize() * 0.5f;
    glBegin(GL_LINES);
    for (int i = 0; i < NodeCount(); ++i) {
      const TVector& n = Node(i);
      glVertex3f(n.X - s, n.Y, n.Z); glVertex3f(n.X + s, n.Y, n.Z);
      glVertex3f(n.X, n.Y - s, n.Z); glVertex3f(n.X, n.Y + s, n.Z);
      glVertex3f(n.X, n.Y, n.Z - s); glVertex3f(n.X, n.Y, n.Z + s);
    }
    glEnd();
  }
  glLineWidth(1);
}

}  // namespace orr
