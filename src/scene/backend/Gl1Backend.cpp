// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-function backend: OpenGL 1.x state, immediate mode, the overlay drawn
// with glDrawPixels. Its pictures are the ones the game has always drawn on Mesa.
#define GL_GLEXT_PROTOTYPES 1
#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <cstring>

#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

GLenum PrimitiveOf(TPrimitive primitive) {
  switch (primitive) {
    case TPrimitive::Lines: return GL_LINES;
    case TPrimitive::LineStrip: return GL_LINE_STRIP;
    case TPrimitive::Triangles: return GL_TRIANGLES;
    case TPrimitive::TriangleStrip: return GL_TRIANGLE_STRIP;
    case TPrimitive::TriangleFan: return GL_TRIANGLE_FAN;
    case TPrimitive::Quads: return GL_QUADS;
    case TPrimitive::QuadStrip: return GL_QUAD_STRIP;
  }
  return GL_TRIANGLES;
}

class TGl1Backend : public TRenderBackend {
 public:
  TGl1Backend() {
    // Windows' OpenGL library exports OpenGL 1.1 only; later entry points come from the driver.
    windowPos2i_ = reinterpret_cast<PFNGLWINDOWPOS2IPROC>(SDL_GL_GetProcAddress("glWindowPos2i"));
  }

  TRendererKind Kind() const override { return TRendererKind::Gl1; }

  std::string Description() override {
    auto text = [](GLenum name) {
      const GLubyte* s = glGetString(name);
      return s != nullptr ? std::string(reinterpret_cast<const char*>(s)) : std::string("?");
    };
    return "OpenGL 1.x fixed function on " + text(GL_RENDERER) + ", " + text(GL_VERSION);
  }

  void BeginPaint(int width, int height) override {
    width_ = width;
    height_ = height;
    ResetViewport();
  }

  void SetViewport(int left, int top, int width, int height) override {
    glViewport(left, height_ - top - height, width, height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, height_ - top - height, width, height);
  }

  void ResetViewport() override {
    glViewport(0, 0, width_, height_);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width_, height_, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

  void FillRect(int left, int top, int width, int height, unsigned rgb) override {
    if (width <= 0 || height <= 0) return;
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, height_ - top - height, width, height);
    glClearColor(((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }

  void DrawImage(int left, int top, int width, int height, const unsigned* pixels) override {
    if (width <= 0 || height <= 0 || pixels == nullptr) return;
    if (windowPos2i_ == nullptr) return;  // a driver without OpenGL 1.4 draws no overlay
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    // Rows come top first: start at the top row and draw downwards.
    windowPos2i_(left, height_ - top);
    glPixelZoom(1.0f, -1.0f);
    glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    glPixelZoom(1.0f, 1.0f);
    glDisable(GL_BLEND);
  }

  void ReadPixels(int x, int y, int width, int height, std::uint8_t* rgba) override {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  }

  void Flush() override { glFlush(); }
  void Finish() override { glFinish(); }

  void Clear(bool color, bool depth, bool stencil, const float rgba[4]) override {
    GLbitfield mask = 0;
    if (color) {
      glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
      mask |= GL_COLOR_BUFFER_BIT;
    }
    if (depth) mask |= GL_DEPTH_BUFFER_BIT;
    if (stencil) mask |= GL_STENCIL_BUFFER_BIT;
    glClear(mask);
  }

  void SetColorMask(bool on) override { glColorMask(on, on, on, on); }
  void SetDepthMask(bool on) override { glDepthMask(on ? GL_TRUE : GL_FALSE); }

  void BeginScene() override {
    glDisable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    glDepthFunc(GL_LEQUAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  }

  void EndScene() override {
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glDepthMask(GL_TRUE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1, 1, 1, 1);
    for (int i = 0; i < MaxLights; ++i) glDisable(GL_LIGHT0 + i);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

  void SetProjection(const float* matrix) override {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(matrix);
    glMatrixMode(GL_MODELVIEW);
  }

  void SetModelView(const float* matrix) override { glLoadMatrixf(matrix); }

  void SetLights(const float* view, const TRenderLight* lights, int count) override {
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view);
    int index = 0;
    for (; index < count && index < MaxLights; ++index) {
      const TRenderLight& light = lights[index];
      const GLenum id = GL_LIGHT0 + index;
      glLightfv(id, GL_POSITION, light.Position);
      glLightfv(id, GL_AMBIENT, light.Ambient);
      glLightfv(id, GL_DIFFUSE, light.Diffuse);
      glLightfv(id, GL_SPECULAR, light.Specular);
      glLightf(id, GL_CONSTANT_ATTENUATION, light.ConstantAttenuation);
      glLightf(id, GL_LINEAR_ATTENUATION, light.LinearAttenuation);
      glLightf(id, GL_QUADRATIC_ATTENUATION, light.QuadraticAttenuation);
      if (light.SpotCutoff != 180) {
        glLightfv(id, GL_SPOT_DIRECTION, light.SpotDirection);
        glLightf(id, GL_SPOT_CUTOFF, light.SpotCutoff);
        glLightf(id, GL_SPOT_EXPONENT, light.SpotExponent);
      } else {
        glLightf(id, GL_SPOT_CUTOFF, 180);
      }
      glEnable(id);
    }
    for (; index < MaxLights; ++index) glDisable(GL_LIGHT0 + index);
  }

  void SetTwoSidedLighting(bool on) override { glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, on ? 1 : 0); }

  void SetLighting(bool on) override {
    if (on) glEnable(GL_LIGHTING);
    else glDisable(GL_LIGHTING);
  }

  void SetDepthTest(bool on) override {
    if (on) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
  }

  void SetBlending(TBlendState state) override {
    switch (state) {
      case TBlendState::Opaque:
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
      case TBlendState::Transparency:
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glAlphaFunc(GL_GREATER, 0);
        break;
      case TBlendState::Additive:
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glAlphaFunc(GL_GREATER, 0);
        break;
      case TBlendState::AlphaTest50:
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
      case TBlendState::AlphaTest100:
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 1.0f);
        break;
      case TBlendState::Modulate:
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glAlphaFunc(GL_GREATER, 0);
        break;
    }
  }

  void SetColor(const float rgba[4]) override { glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]); }
  void SetLineWidth(float width) override { glLineWidth(width); }

  int MaxTextureSize() override {
    GLint size = 1024;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
  }

  unsigned UploadTexture(unsigned handle, const TTextureUpload& upload) override {
    GLuint name = handle;
    if (name == 0) glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    for (std::size_t level = 0; level < upload.Levels.size(); ++level) {
      const TTextureLevel& l = upload.Levels[level];
      glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA, l.Width, l.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   l.Rgba.data());
    }
    static const GLint minFilters[] = {GL_NEAREST,
                                       GL_LINEAR,
                                       GL_NEAREST_MIPMAP_NEAREST,
                                       GL_LINEAR_MIPMAP_NEAREST,
                                       GL_NEAREST_MIPMAP_LINEAR,
                                       GL_LINEAR_MIPMAP_LINEAR};
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilters[int(upload.MinFilter)]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    upload.MagFilter == TTextureMagFilter::Nearest ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return name;
  }

  void DeleteTexture(unsigned handle) override {
    GLuint name = handle;
    if (name != 0) glDeleteTextures(1, &name);
  }

  void BindTexture(unsigned handle, TTextureEnv env) override {
    if (handle == 0) {
      glDisable(GL_TEXTURE_2D);
      return;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, handle);
    static const GLint modes[] = {GL_DECAL, GL_MODULATE, GL_BLEND, GL_REPLACE};
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[int(env)]);
  }

  void Draw(TPrimitive primitive, const TRenderVertex* vertices, int count, bool vertexColors) override {
    if (count <= 0) return;
    // Immediate mode, a normal only where it changes: Mesa's pictures from client arrays
    // differ from these by a level in a few pixels.
    glBegin(PrimitiveOf(primitive));
    for (int i = 0; i < count; ++i) {
      const TRenderVertex& v = vertices[i];
      if (vertexColors) glColor4fv(v.Color);
      if (i == 0 || std::memcmp(v.Normal, vertices[i - 1].Normal, sizeof v.Normal) != 0)
        glNormal3fv(v.Normal);
      glTexCoord2fv(v.TexCoord);
      glVertex3fv(v.Position);
    }
    glEnd();
  }

 private:
  int width_ = 0, height_ = 0;
  PFNGLWINDOWPOS2IPROC windowPos2i_ = nullptr;
};

}  // namespace

std::unique_ptr<TRenderBackend> CreateGl1Backend() { return std::make_unique<TGl1Backend>(); }

}  // namespace orr
