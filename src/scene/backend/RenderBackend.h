// SPDX-License-Identifier: GPL-3.0-or-later
// The renderer: the one narrow interface the scene engine and the window's overlay draw
// through. Nothing above it includes a GL header; each backend's .cpp does:
//
//   Gl1Backend.cpp  OpenGL 1.x fixed function (immediate mode, glDrawPixels)
//   Es3Backend.cpp  OpenGL ES 3.0 / WebGL 2 shaders carrying the fixed-function lighting
//
// Both draw the same pictures (to a few levels in a few pixels). The platform creates one
// backend with the window's context (CreateRenderBackend) and hands it to every paint
// (TPaintContext::Renderer); it is used only with that context current, on the main thread.
//
// Coordinates: matrices are 16 floats in OpenGL's order (TMatrix::Data(), row vectors).
// Window rectangles of the overlay (FillRect, DrawImage, SetViewport) are window pixels
// with y growing downwards; ReadPixels takes OpenGL's window coordinates (row 0 is the
// bottom of the window).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orr {

enum class TRendererKind { Gl1, Es3 };

// The backend a window gets: on the desktop Gl1 (the faster on Mesa's software renderer),
// on the web Es3, unless a test or tool asked otherwise (RequestRenderer). The game itself
// never asks: it reads no command line and no configuration for it.
TRendererKind RequestedRenderer();
// Test and tool entry points only, before the window is created.
void RequestRenderer(TRendererKind kind);
// "gl1" / "es3"; false for any other name.
bool ParseRendererKind(const std::string& name, TRendererKind& kind);
const char* RendererKindName(TRendererKind kind);

// What the old immediate-mode primitives drew. Quads and quad strips are split into
// triangles by the backends that need it, the way Mesa splits them (a quad v0 v1 v2 v3 as
// v0 v1 v2 and v0 v2 v3): lit colours are interpolated over the triangles.
enum class TPrimitive { Lines, LineStrip, Triangles, TriangleStrip, TriangleFan, Quads, QuadStrip };

// Blending and alpha test together, in the scene's blending modes' order.
enum class TBlendState {
  Opaque,        // no blending, no alpha test
  Transparency,  // src alpha, 1 - src alpha; alpha > 0
  Additive,      // src alpha, one; alpha > 0
  AlphaTest50,   // no blending; alpha >= 0.5
  AlphaTest100,  // no blending; alpha >= 1
  Modulate       // dst colour, zero; alpha > 0
};

// How the texture combines with the lit (or plain) colour, OpenGL's texture environment.
enum class TTextureEnv { Decal, Modulate, Blend, Replace };

enum class TTextureMinFilter {
  Nearest,
  Linear,
  NearestMipmapNearest,
  LinearMipmapNearest,
  NearestMipmapLinear,
  LinearMipmapLinear
};
enum class TTextureMagFilter { Nearest, Linear };

// One vertex of a batch. Color is used only by draws that ask for vertex colours;
// otherwise the current colour (SetColor) stands for every vertex.
struct TRenderVertex {
  float Position[3];
  float Normal[3];
  float TexCoord[2];
  float Color[4];
};

// A light as the scene gives it, in world coordinates: the backend puts it into eye space
// with the view matrix given to SetLights (as OpenGL does with the modelview current when
// a light is set). Position.w = 0 is a directional light (no attenuation).
struct TRenderLight {
  float Position[4];
  float Ambient[4];
  float Diffuse[4];
  float Specular[4];
  float ConstantAttenuation = 1, LinearAttenuation = 0, QuadraticAttenuation = 0;
  float SpotDirection[3] = {0, 0, -1};
  float SpotCutoff = 180;  // degrees; 180: not a spot light
  float SpotExponent = 0;
};

// One mipmap level: Width x Height RGBA bytes, row 0 first as the image gives it.
struct TTextureLevel {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Rgba;
};

// A texture to upload: power-of-two levels, level 0 first, each half the one before (see
// TextureLevels.h, which builds them). Wrapping is always repeat.
struct TTextureUpload {
  std::vector<TTextureLevel> Levels;
  TTextureMinFilter MinFilter = TTextureMinFilter::Linear;
  TTextureMagFilter MagFilter = TTextureMagFilter::Linear;
};

// The lighting model every backend carries (what the scene uses of fixed-function OpenGL):
//   - up to MaxLights lights, positional (with constant, linear and quadratic attenuation
//     and optional spot cut-off and exponent) or directional, lit per vertex;
//   - the material is OpenGL's default one with colour material on the diffuse term: the
//     current (or vertex) colour is the diffuse colour and gives the alpha; material
//     ambient 0.2, no specular, no emission; the light model's ambient is 0.2;
//   - normals are normalised after the modelview (GL_NORMALIZE); two-sided lighting when
//     asked (back faces lit with the normal turned round);
//   - colours clamped to [0, 1] per vertex, smooth shading; depth test LEQUAL; no culling.
class TRenderBackend {
 public:
  static constexpr int MaxLights = 8;

  TRenderBackend();
  virtual ~TRenderBackend() = default;
  // Different for every backend this process made: a texture name belongs to one of them,
  // and a backend made later at the same address must not take it for its own.
  unsigned Serial() const { return serial_; }
  virtual TRendererKind Kind() const = 0;
  // What the log says: the backend and the driver's own name and version.
  virtual std::string Description() = 0;

  // --- frame and overlay (window pixels, y downwards) --------------------------------
  // Start of a paint of a window `width` x `height`: whole-window viewport, no scissor,
  // 2D state (no depth test, lighting, texture or alpha test).
  virtual void BeginPaint(int width, int height) = 0;
  // Restricts drawing to a rectangle (viewport and scissor).
  virtual void SetViewport(int left, int top, int width, int height) = 0;
  // Back to the whole window and the 2D state of BeginPaint.
  virtual void ResetViewport() = 0;
  // Fills a rectangle with an opaque 0xRRGGBB colour (depth untouched).
  virtual void FillRect(int left, int top, int width, int height, unsigned rgb) = 0;
  // `pixels`: width * height 0xAARRGGBB values, top row first, drawn 1:1 with source-alpha
  // blending.
  virtual void DrawImage(int left, int top, int width, int height, const unsigned* pixels) = 0;
  // RGBA bytes of a rectangle in OpenGL window coordinates, bottom row first, rows packed.
  virtual void ReadPixels(int x, int y, int width, int height, std::uint8_t* rgba) = 0;
  // Hands the queued drawing to the driver / waits until it is done.
  virtual void Flush() = 0;
  virtual void Finish() = 0;

  // --- the 3D scene -------------------------------------------------------------------
  // Clears the current viewport's buffers (inside the scissor when one is set).
  virtual void Clear(bool color, bool depth, bool stencil, const float rgba[4]) = 0;
  virtual void SetColorMask(bool on) = 0;
  virtual void SetDepthMask(bool on) = 0;
  // Puts the backend into the scene state described above (start of a scene paint), with
  // lighting, depth test and blending as the following calls set them.
  virtual void BeginScene() = 0;
  // Leaves lighting, blending, textures, alpha and depth test off, lights off.
  virtual void EndScene() = 0;
  virtual void SetProjection(const float* matrix) = 0;
  virtual void SetModelView(const float* matrix) = 0;
  // The lights of the scene (at most MaxLights; the rest are off), placed with `view`.
  virtual void SetLights(const float* view, const TRenderLight* lights, int count) = 0;
  virtual void SetTwoSidedLighting(bool on) = 0;
  virtual void SetLighting(bool on) = 0;
  virtual void SetDepthTest(bool on) = 0;
  virtual void SetBlending(TBlendState state) = 0;
  virtual void SetColor(const float rgba[4]) = 0;
  virtual void SetLineWidth(float width) = 0;

  // --- textures -----------------------------------------------------------------------
  virtual int MaxTextureSize() = 0;
  // A new texture (0 when none can be made), or `handle`'s contents replaced.
  virtual unsigned UploadTexture(unsigned handle, const TTextureUpload& upload) = 0;
  virtual void DeleteTexture(unsigned handle) = 0;
  // Textures the following draws with `env`; handle 0 turns texturing off.
  virtual void BindTexture(unsigned handle, TTextureEnv env) = 0;

  // --- geometry -----------------------------------------------------------------------
  // Draws `count` vertices with the current state; `vertexColors` takes each vertex's
  // Color instead of the current colour.
  virtual void Draw(TPrimitive primitive, const TRenderVertex* vertices, int count, bool vertexColors) = 0;

 private:
  unsigned serial_;
};

// A backend for the context current on this thread; nullptr with a reason in `error` when
// the context cannot carry it (an ES 3.0 backend on a context without shaders).
std::unique_ptr<TRenderBackend> CreateRenderBackend(TRendererKind kind, std::string& error);

// The backend whose context lives now (set by the platform while its window exists);
// textures use it to delete what they uploaded, and only while it lives.
TRenderBackend* LiveRenderer();
void SetLiveRenderer(TRenderBackend* backend);

}  // namespace orr
