// SPDX-License-Identifier: GPL-3.0-or-later
// The shader backend: OpenGL ES 3.0 (WebGL 2 in a browser). Its shaders, built for each
// state the scene uses, carry what the
// scene used of fixed-function OpenGL: per-vertex lighting with positional, directional and
// spot lights and their attenuation, colour material on the diffuse term, the ambient terms,
// two-sided lighting, normalised normals; the texture environments; the alpha test. Vertices
// stream through one buffer (glBufferSubData only: WebGL 2 maps no buffers). The overlay's
// pictures are textured quads drawn 1:1 with nearest sampling, texel for pixel.
//
// On Linux and Windows the entry points come from SDL_GL_GetProcAddress (no link against
// a GLES library); under Emscripten they are linked directly.
#ifndef __EMSCRIPTEN__
#define GL_GLES_PROTOTYPES 0
#endif
#include <GLES3/gl3.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "scene/backend/RenderBackend.h"

namespace orr {
namespace {

// A table, one entry per GL function: the formatter cannot lay out a list of macro calls.
// clang-format off
#define ORR_GLES_FUNCTIONS(X)                                                                     \
  X(ActiveTexture, ACTIVETEXTURE) X(AttachShader, ATTACHSHADER) X(BindBuffer, BINDBUFFER)         \
  X(BindTexture, BINDTEXTURE) X(BindVertexArray, BINDVERTEXARRAY) X(BlendFunc, BLENDFUNC)         \
  X(BufferData, BUFFERDATA) X(BufferSubData, BUFFERSUBDATA) X(Clear, CLEAR)                       \
  X(ClearColor, CLEARCOLOR) X(ColorMask, COLORMASK) X(CompileShader, COMPILESHADER)               \
  X(CreateProgram, CREATEPROGRAM) X(CreateShader, CREATESHADER) X(DeleteBuffers, DELETEBUFFERS)   \
  X(DeleteProgram, DELETEPROGRAM) X(DeleteShader, DELETESHADER) X(DeleteTextures, DELETETEXTURES) \
  X(DeleteVertexArrays, DELETEVERTEXARRAYS) X(DepthFunc, DEPTHFUNC) X(DepthMask, DEPTHMASK)       \
  X(Disable, DISABLE) X(DrawArrays, DRAWARRAYS) X(Enable, ENABLE)                                 \
  X(EnableVertexAttribArray, ENABLEVERTEXATTRIBARRAY) X(Finish, FINISH) X(Flush, FLUSH)           \
  X(GenBuffers, GENBUFFERS) X(GenTextures, GENTEXTURES) X(GenVertexArrays, GENVERTEXARRAYS)       \
  X(GetError, GETERROR) X(GetIntegerv, GETINTEGERV) X(GetProgramInfoLog, GETPROGRAMINFOLOG)       \
  X(GetProgramiv, GETPROGRAMIV) X(GetShaderInfoLog, GETSHADERINFOLOG) X(GetShaderiv, GETSHADERIV) \
  X(GetString, GETSTRING) X(GetUniformLocation, GETUNIFORMLOCATION) X(LineWidth, LINEWIDTH)       \
  X(LinkProgram, LINKPROGRAM) X(PixelStorei, PIXELSTOREI) X(ReadPixels, READPIXELS)               \
  X(Scissor, SCISSOR) X(ShaderSource, SHADERSOURCE) X(TexImage2D, TEXIMAGE2D)                     \
  X(TexSubImage2D, TEXSUBIMAGE2D) X(TexParameteri, TEXPARAMETERI) X(Uniform1i, UNIFORM1I)         \
  X(Uniform1f, UNIFORM1F) X(Uniform4fv, UNIFORM4FV) X(Uniform3fv, UNIFORM3FV)                     \
  X(Uniform2fv, UNIFORM2FV) X(UniformMatrix3fv, UNIFORMMATRIX3FV)                                 \
  X(UniformMatrix4fv, UNIFORMMATRIX4FV) X(UseProgram, USEPROGRAM)                                 \
  X(VertexAttribPointer, VERTEXATTRIBPOINTER) X(Viewport, VIEWPORT)
// clang-format on

#ifndef __EMSCRIPTEN__
#define ORR_DECLARE_GLES(name, upper) PFNGL##upper##PROC gl##name = nullptr;
ORR_GLES_FUNCTIONS(ORR_DECLARE_GLES)
#undef ORR_DECLARE_GLES

// False with the missing function's name when the driver lacks one.
bool LoadEntryPoints(std::string& missing) {
#define ORR_LOAD_GLES(name, upper)                                                    \
  gl##name = reinterpret_cast<PFNGL##upper##PROC>(SDL_GL_GetProcAddress("gl" #name)); \
  if (gl##name == nullptr) {                                                          \
    missing = "gl" #name;                                                             \
    return false;                                                                     \
  }
  ORR_GLES_FUNCTIONS(ORR_LOAD_GLES)
#undef ORR_LOAD_GLES
  return true;
}
#else
bool LoadEntryPoints(std::string&) { return true; }
#endif

// The shaders are built for each combination of state the scene uses (texture mode, alpha
// test, lighting, two-sided lighting, vertex colours, number of lights), as fixed-function
// drivers do: on a software rasteriser a branch per fragment costs what the work costs.
//
// Lighting per vertex, as fixed-function OpenGL lights: the material is the default one
// with the colour on its diffuse term (ambient 0.2, no specular, no emission) under the
// light model's ambient 0.2.
const char* const VertexShader = R"(
precision highp float;
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoord;
layout(location = 3) in vec4 aColor;
uniform mat4 uModelView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform vec4 uColor;
#if LIGHT_COUNT > 0
uniform vec4 uLightPosition[LIGHT_COUNT];
uniform vec3 uLightAmbient[LIGHT_COUNT];
uniform vec3 uLightDiffuse[LIGHT_COUNT];
uniform vec3 uLightAttenuation[LIGHT_COUNT];
uniform vec3 uSpotDirection[LIGHT_COUNT];
uniform vec2 uSpot[LIGHT_COUNT];
#endif
out vec4 vFront;
#if TWO_SIDED
out vec4 vBack;
#endif
#if TEX_ENV >= 0
out vec2 vTexCoord;
#endif

#if LIGHTING
vec4 Lit(vec3 eye, vec3 n, vec4 color) {
  vec3 sum = vec3(0.2 * 0.2);
#if LIGHT_COUNT > 0
  for (int i = 0; i < LIGHT_COUNT; ++i) {
    vec3 toLight;
    float factor = 1.0;
    if (uLightPosition[i].w != 0.0) {
      toLight = uLightPosition[i].xyz - eye;
      float d = length(toLight);
      toLight /= d;
      vec3 k = uLightAttenuation[i];
      factor = 1.0 / (k.x + k.y * d + k.z * d * d);
      if (uSpot[i].x > -2.0) {
        float s = dot(-toLight, normalize(uSpotDirection[i]));
        factor *= s >= uSpot[i].x ? pow(max(s, 0.0), uSpot[i].y) : 0.0;
      }
    } else {
      toLight = normalize(uLightPosition[i].xyz);
    }
    float diffuse = max(dot(n, toLight), 0.0);
    sum += factor * (0.2 * uLightAmbient[i] + diffuse * color.rgb * uLightDiffuse[i]);
  }
#endif
  return vec4(clamp(sum, 0.0, 1.0), clamp(color.a, 0.0, 1.0));
}
#endif

void main() {
  vec4 eye = uModelView * vec4(aPosition, 1.0);
  gl_Position = uProjection * eye;
#if TEX_ENV >= 0
  vTexCoord = aTexCoord;
#endif
#if VERTEX_COLORS
  vec4 color = aColor;
#else
  vec4 color = uColor;
#endif
#if LIGHTING
  vec3 n = normalize(uNormalMatrix * aNormal);
  vFront = Lit(eye.xyz, n, color);
#if TWO_SIDED
  vBack = Lit(eye.xyz, -n, color);
#endif
#else
  vFront = clamp(color, 0.0, 1.0);
#endif
}
)";

// TEX_ENV: -1 no texture, then decal, modulate, blend, replace. ALPHA_TEST: 0 none,
// 1 alpha > ref, 2 alpha >= ref.
const char* const FragmentShader = R"(
precision highp float;
in vec4 vFront;
#if TWO_SIDED
in vec4 vBack;
#endif
#if TEX_ENV >= 0
in vec2 vTexCoord;
uniform sampler2D uTexture;
#endif
uniform float uAlphaRef;
out vec4 fragColor;

void main() {
#if TWO_SIDED
  vec4 c = gl_FrontFacing ? vFront : vBack;
#else
  vec4 c = vFront;
#endif
#if TEX_ENV >= 0
  vec4 t = texture(uTexture, vTexCoord);
#if TEX_ENV == 0
  c = vec4(mix(c.rgb, t.rgb, t.a), c.a);
#elif TEX_ENV == 1
  c *= t;
#elif TEX_ENV == 2
  c = vec4(c.rgb * (vec3(1.0) - t.rgb), c.a * t.a);
#else
  c = t;
#endif
#endif
#if ALPHA_TEST == 1
  if (!(c.a > uAlphaRef)) discard;
#elif ALPHA_TEST == 2
  // At or above: within half a level, as an 8-bit alpha compares (an alpha of 1 carried
  // through interpolation can come out a hair below 1).
  if (!(c.a * 255.0 >= uAlphaRef * 255.0 - 0.5)) discard;
#endif
  fragColor = c;
}
)";

// What decides which shaders draw.
struct TShaderKey {
  int TexEnv = -1;  // -1: no texture
  int AlphaTest = 0;
  bool Lighting = false, TwoSided = false, VertexColors = false;
  int Lights = 0;
  int Index() const {
    return (((((TexEnv + 1) * 3 + AlphaTest) * 2 + Lighting) * 2 + TwoSided) * 2 + VertexColors) *
               (TRenderBackend::MaxLights + 1) +
           Lights;
  }
  static constexpr int Count = 5 * 3 * 2 * 2 * 2 * (TRenderBackend::MaxLights + 1);
  std::string Defines() const {
    return "#version 300 es\n#define TEX_ENV " + std::to_string(TexEnv) + "\n#define ALPHA_TEST " +
           std::to_string(AlphaTest) + "\n#define LIGHTING " + std::to_string(int(Lighting)) +
           "\n#define TWO_SIDED " + std::to_string(int(TwoSided)) + "\n#define VERTEX_COLORS " +
           std::to_string(int(VertexColors)) + "\n#define LIGHT_COUNT " + std::to_string(Lights) + "\n";
  }
};

// The vertex stream: room for this many vertices before the buffer is orphaned.
constexpr int StreamVertices = 1 << 16;

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The inverse transpose's direction of the modelview's upper 3 x 3 (its cofactors; the
// shader normalises), column-major for glUniformMatrix3fv.
void NormalMatrixOf(const float* m, float* out) {
  auto a = [m](int row, int col) { return m[col * 4 + row]; };
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
      out[c * 3 + r] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
    }
}

// (x, y, z, w) through a column-major matrix.
void Transform(const float* m, const float* v, float* out, int components) {
  for (int i = 0; i < 4; ++i) {
    float s = 0;
    for (int j = 0; j < components; ++j) s += m[j * 4 + i] * v[j];
    out[i] = s;
  }
}

class TEs3Backend : public TRenderBackend {
 public:
  ~TEs3Backend() override {
    for (TProgram& program : programs_)
      if (program.Id != 0) glDeleteProgram(program.Id);
    if (buffer_ != 0) glDeleteBuffers(1, &buffer_);
    if (vertexArray_ != 0) glDeleteVertexArrays(1, &vertexArray_);
    for (TImageSlot& slot : images_)
      if (slot.Texture != 0) glDeleteTextures(1, &slot.Texture);
  }

  bool Start(std::string& error) {
    std::string missing;
    if (!LoadEntryPoints(missing)) {
      error = "the OpenGL ES 3.0 driver lacks " + missing;
      return false;
    }
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version == nullptr || std::strncmp(version, "OpenGL ES 3", 11) != 0) {
      error = std::string("not an OpenGL ES 3 context: ") + (version != nullptr ? version : "none");
      return false;
    }
    programs_.resize(TShaderKey::Count);
    // The richest shaders the scene may ask for must build here, not in the middle of a frame.
    TShaderKey richest;
    richest.TexEnv = int(TTextureEnv::Modulate);
    richest.AlphaTest = 2;
    richest.Lighting = richest.TwoSided = richest.VertexColors = true;
    richest.Lights = MaxLights;
    if (Program(richest, error) == nullptr) return false;
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(StreamVertices * sizeof(TRenderVertex)), nullptr,
                 GL_STREAM_DRAW);
    const GLsizei stride = sizeof(TRenderVertex);
    auto attribute = [stride](GLuint index, GLint size, std::size_t offset) {
      glEnableVertexAttribArray(index);
      glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
    };
    attribute(0, 3, offsetof(TRenderVertex, Position));
    attribute(1, 3, offsetof(TRenderVertex, Normal));
    attribute(2, 2, offsetof(TRenderVertex, TexCoord));
    attribute(3, 4, offsetof(TRenderVertex, Color));
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    glDepthFunc(GL_LEQUAL);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (glGetError() != GL_NO_ERROR) {
      error = "an OpenGL ES error while setting up the renderer";
      return false;
    }
    return true;
  }

  TRendererKind Kind() const override { return TRendererKind::Es3; }

  std::string Description() override {
    auto text = [](GLenum name) {
      const GLubyte* s = glGetString(name);
      return s != nullptr ? std::string(reinterpret_cast<const char*>(s)) : std::string("?");
    };
    return "OpenGL ES 3.0 shaders on " + text(GL_RENDERER) + ", " + text(GL_VERSION);
  }

  // --- frame and overlay -------------------------------------------------------------

  void BeginPaint(int width, int height) override {
    width_ = width;
    height_ = height;
    imagesUsed_ = 0;
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
    SetDepthTest(false);
    SetLighting(false);
    BindTexture(0, TTextureEnv::Modulate);
    alphaTest_ = 0;
    // Window pixels, y downwards, as glOrtho(0, w, h, 0, -1, 1).
    const float w = float(std::max(width_, 1)), h = float(std::max(height_, 1));
    const float ortho[16] = {2 / w, 0, 0, 0, 0, -2 / h, 0, 0, 0, 0, -1, 0, -1, 1, 0, 1};
    SetProjection(ortho);
    SetModelView(Identity);
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
    // The n-th picture of a paint has a texture of its own: a texture the frame already
    // drew with is never written again before the frame is done (that would wait for it).
    if (imagesUsed_ == images_.size()) images_.emplace_back();
    TImageSlot& slot = images_[imagesUsed_++];
    const std::size_t count = std::size_t(width) * height;
    const bool sameSize = slot.Texture != 0 && slot.Width == width && slot.Height == height;
    if (!sameSize || std::memcmp(slot.Pixels.data(), pixels, count * 4) != 0) {
      slot.Pixels.assign(pixels, pixels + count);
      slot.Rgba.resize(count * 4);
      for (std::size_t i = 0; i < count; ++i) {  // 0xAARRGGBB -> R, G, B, A bytes
        const unsigned p = pixels[i];
        slot.Rgba[i * 4 + 0] = std::uint8_t(p >> 16);
        slot.Rgba[i * 4 + 1] = std::uint8_t(p >> 8);
        slot.Rgba[i * 4 + 2] = std::uint8_t(p);
        slot.Rgba[i * 4 + 3] = std::uint8_t(p >> 24);
      }
      if (slot.Texture == 0) glGenTextures(1, &slot.Texture);
      BindRaw(slot.Texture);
      if (sameSize) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, slot.Rgba.data());
      } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     slot.Rgba.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
      }
      slot.Width = width;
      slot.Height = height;
    }
    // The quad in the 2D state's window pixels; texel centres fall on pixel centres.
    const float l = float(left), t = float(top), r = float(left + width), b = float(top + height);
    const TRenderVertex quad[4] = {{{l, t, 0}, {0, 0, 1}, {0, 0}, {1, 1, 1, 1}},
                                   {{l, b, 0}, {0, 0, 1}, {0, 1}, {1, 1, 1, 1}},
                                   {{r, b, 0}, {0, 0, 1}, {1, 1}, {1, 1, 1, 1}},
                                   {{r, t, 0}, {0, 0, 1}, {1, 0}, {1, 1, 1, 1}}};
    const bool lighting = lighting_;
    const int texEnv = texEnv_, alphaTest = alphaTest_;
    const unsigned texture = texture_;
    lighting_ = false;
    texEnv_ = int(TTextureEnv::Replace);
    alphaTest_ = 0;
    BindRaw(slot.Texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    Submit(GL_TRIANGLE_FAN, quad, 4, false);
    glDisable(GL_BLEND);
    lighting_ = lighting;
    texEnv_ = texEnv;
    alphaTest_ = alphaTest;
    if (texture != 0) BindRaw(texture);
  }

  void ReadPixels(int x, int y, int width, int height, std::uint8_t* rgba) override {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  }

  void Flush() override { glFlush(); }
  void Finish() override { glFinish(); }

  // --- the 3D scene -------------------------------------------------------------------

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

  void BeginScene() override { glDepthFunc(GL_LEQUAL); }

  void EndScene() override {
    SetLighting(false);
    SetBlending(TBlendState::Opaque);
    BindTexture(0, TTextureEnv::Modulate);
    SetDepthTest(false);
    glDepthMask(GL_TRUE);
    const float white[4] = {1, 1, 1, 1};
    SetColor(white);
    SetLights(Identity, nullptr, 0);
    SetModelView(Identity);
  }

  void SetProjection(const float* matrix) override {
    std::memcpy(projection_, matrix, sizeof projection_);
    ++projectionVersion_;
  }

  void SetModelView(const float* matrix) override {
    std::memcpy(modelView_, matrix, sizeof modelView_);
    NormalMatrixOf(modelView_, normalMatrix_);
    ++modelViewVersion_;
  }

  void SetLights(const float* view, const TRenderLight* lights, int count) override {
    lightCount_ = std::clamp(count, 0, int(MaxLights));
    for (int i = 0; i < lightCount_; ++i) {
      const TRenderLight& l = lights[i];
      Transform(view, l.Position, lightPosition_[i], 4);
      float direction[4];
      Transform(view, l.SpotDirection, direction, 3);
      for (int k = 0; k < 3; ++k) {
        lightAmbient_[i][k] = l.Ambient[k];
        lightDiffuse_[i][k] = l.Diffuse[k];
        spotDirection_[i][k] = direction[k];
      }
      lightAttenuation_[i][0] = l.ConstantAttenuation;
      lightAttenuation_[i][1] = l.LinearAttenuation;
      lightAttenuation_[i][2] = l.QuadraticAttenuation;
      constexpr float DegreesToRadians = 3.14159265358979f / 180;
      spot_[i][0] = l.SpotCutoff != 180 ? std::cos(l.SpotCutoff * DegreesToRadians) : -3.0f;
      spot_[i][1] = l.SpotExponent;
    }
    ++lightsVersion_;
  }

  void SetTwoSidedLighting(bool on) override { twoSided_ = on; }
  void SetLighting(bool on) override { lighting_ = on; }

  void SetDepthTest(bool on) override {
    if (on) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
  }

  void SetBlending(TBlendState blend) override {
    float ref = 0;
    switch (blend) {
      case TBlendState::Opaque:
        glDisable(GL_BLEND);
        alphaTest_ = 0;
        break;
      case TBlendState::Transparency:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        alphaTest_ = 1;
        break;
      case TBlendState::Additive:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        alphaTest_ = 1;
        break;
      case TBlendState::AlphaTest50:
        glDisable(GL_BLEND);
        alphaTest_ = 2;
        ref = 0.5f;
        break;
      case TBlendState::AlphaTest100:
        glDisable(GL_BLEND);
        alphaTest_ = 2;
        ref = 1.0f;
        break;
      case TBlendState::Modulate:
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        alphaTest_ = 1;
        break;
    }
    if (ref != alphaRef_) {
      alphaRef_ = ref;
      ++alphaRefVersion_;
    }
  }

  void SetColor(const float rgba[4]) override {
    std::memcpy(color_, rgba, sizeof color_);
    ++colorVersion_;
  }

  void SetLineWidth(float width) override { glLineWidth(width); }

  // --- textures -----------------------------------------------------------------------

  int MaxTextureSize() override { return maxTextureSize_; }

  unsigned UploadTexture(unsigned handle, const TTextureUpload& upload) override {
    GLuint name = handle;
    if (name == 0) glGenTextures(1, &name);
    BindRaw(name);
    texture_ = name;  // left bound, as the fixed-function backend leaves it
    for (std::size_t level = 0; level < upload.Levels.size(); ++level) {
      const TTextureLevel& l = upload.Levels[level];
      glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA8, l.Width, l.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   l.Rgba.data());
    }
    static const GLint minFilters[] = {GL_NEAREST,
                                       GL_LINEAR,
                                       GL_NEAREST_MIPMAP_NEAREST,
                                       GL_LINEAR_MIPMAP_NEAREST,
                                       GL_NEAREST_MIPMAP_LINEAR,
                                       GL_LINEAR_MIPMAP_LINEAR};
    // A filter that samples levels the upload does not have would leave the texture
    // incomplete (black): one level samples as its own filter does.
    int minFilter = int(upload.MinFilter);
    if (upload.Levels.size() <= 1 && minFilter > 1) minFilter = (minFilter == 2 || minFilter == 4) ? 0 : 1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilters[minFilter]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    upload.MagFilter == TTextureMagFilter::Nearest ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL,
                    GLint(std::max<std::size_t>(upload.Levels.size(), 1) - 1));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return name;
  }

  void DeleteTexture(unsigned handle) override {
    GLuint name = handle;
    if (name == 0) return;
    glDeleteTextures(1, &name);
    if (boundTexture_ == name) boundTexture_ = 0;
    if (texture_ == name) texture_ = 0;
  }

  void BindTexture(unsigned handle, TTextureEnv env) override {
    texture_ = handle;
    texEnv_ = handle == 0 ? -1 : int(env);
    if (handle != 0) BindRaw(handle);
  }

  // --- geometry -----------------------------------------------------------------------

  void Draw(TPrimitive primitive, const TRenderVertex* vertices, int count, bool vertexColors) override {
    if (count <= 0) return;
    switch (primitive) {
      case TPrimitive::Lines: return Submit(GL_LINES, vertices, count, vertexColors);
      case TPrimitive::LineStrip: return Submit(GL_LINE_STRIP, vertices, count, vertexColors);
      case TPrimitive::Triangles: return Submit(GL_TRIANGLES, vertices, count, vertexColors);
      case TPrimitive::TriangleStrip: return Submit(GL_TRIANGLE_STRIP, vertices, count, vertexColors);
      case TPrimitive::TriangleFan: return Submit(GL_TRIANGLE_FAN, vertices, count, vertexColors);
      case TPrimitive::Quads:
      case TPrimitive::QuadStrip: break;
    }
    // Split as Mesa splits them, which decides how lit colours spread over a quad: quad
    // a b c d as a b c and a c d; a quad strip's quad of vertices i .. i+3 as i i+1 i+3 and
    // i i+3 i+2 (checked by scene_reference --lights: the other diagonals left 40 % of its
    // pixels a few levels apart).
    triangles_.clear();
    auto quad = [this, vertices](int a, int b, int c, int d) {
      for (int k : {a, b, c, a, c, d}) triangles_.push_back(vertices[k]);
    };
    if (primitive == TPrimitive::Quads) {
      for (int i = 0; i + 3 < count; i += 4) quad(i, i + 1, i + 2, i + 3);
    } else {
      for (int i = 0; i + 3 < count; i += 2) quad(i, i + 1, i + 3, i + 2);
    }
    Submit(GL_TRIANGLES, triangles_.data(), int(triangles_.size()), vertexColors);
  }

 private:
  struct TImageSlot {
    GLuint Texture = 0;
    int Width = 0, Height = 0;
    std::vector<unsigned> Pixels;    // what the texture holds, as given
    std::vector<std::uint8_t> Rgba;  // the same as uploaded
  };

  struct TUniforms {
    GLint ModelView, Projection, NormalMatrix, Color, LightPosition, LightAmbient, LightDiffuse,
        LightAttenuation, SpotDirection, Spot, AlphaRef;
  };

  // One built program and the versions of the state it last got.
  struct TProgram {
    GLuint Id = 0;
    bool Failed = false;
    TUniforms At{};
    unsigned Projection = 0, ModelView = 0, Color = 0, Lights = 0, AlphaRef = 0;
  };

  static GLuint CompileShader(GLenum type, const std::string& defines, const char* body, std::string& error) {
    GLuint shader = glCreateShader(type);
    const char* sources[2] = {defines.c_str(), body};
    glShaderSource(shader, 2, sources, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == 0) {
      char log[1024] = {};
      glGetShaderInfoLog(shader, sizeof log, nullptr, log);
      error = std::string("shader does not compile: ") + log;
      glDeleteShader(shader);
      return 0;
    }
    return shader;
  }

  static GLuint LinkProgram(const TShaderKey& key, std::string& error) {
    const std::string defines = key.Defines();
    GLuint vertex = CompileShader(GL_VERTEX_SHADER, defines, VertexShader, error);
    if (vertex == 0) return 0;
    GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, defines, FragmentShader, error);
    if (fragment == 0) {
      glDeleteShader(vertex);
      return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok == 0) {
      char log[1024] = {};
      glGetProgramInfoLog(program, sizeof log, nullptr, log);
      error = std::string("shaders do not link: ") + log;
      glDeleteProgram(program);
      return 0;
    }
    return program;
  }

  // The program for `key`, built on first use; nullptr when it cannot be built.
  TProgram* Program(const TShaderKey& key, std::string& error) {
    TProgram& p = programs_[key.Index()];
    if (p.Id != 0) return &p;
    if (p.Failed) return nullptr;
    p.Id = LinkProgram(key, error);
    if (p.Id == 0) {
      p.Failed = true;
      return nullptr;
    }
    auto at = [&p](const char* name) { return glGetUniformLocation(p.Id, name); };
    p.At = {at("uModelView"),     at("uProjection"),   at("uNormalMatrix"), at("uColor"),
            at("uLightPosition"), at("uLightAmbient"), at("uLightDiffuse"), at("uLightAttenuation"),
            at("uSpotDirection"), at("uSpot"),         at("uAlphaRef")};
    glUseProgram(p.Id);
    glUniform1i(at("uTexture"), 0);
    current_ = &p;
    return &p;
  }

  void BindRaw(unsigned handle) {
    if (boundTexture_ == handle) return;
    boundTexture_ = handle;
    glBindTexture(GL_TEXTURE_2D, handle);
  }

  // The program for the current state, in use, with the state it reads sent.
  bool UseProgram(bool vertexColors) {
    TShaderKey key;
    key.TexEnv = texEnv_;
    key.AlphaTest = alphaTest_;
    key.Lighting = lighting_;
    key.TwoSided = lighting_ && twoSided_;
    key.VertexColors = vertexColors;
    key.Lights = lighting_ ? lightCount_ : 0;
    std::string error;
    TProgram* p = Program(key, error);
    if (p == nullptr) return false;
    if (p != current_) {
      glUseProgram(p->Id);
      current_ = p;
    }
    if (p->Projection != projectionVersion_) {
      glUniformMatrix4fv(p->At.Projection, 1, GL_FALSE, projection_);
      p->Projection = projectionVersion_;
    }
    if (p->ModelView != modelViewVersion_) {
      glUniformMatrix4fv(p->At.ModelView, 1, GL_FALSE, modelView_);
      if (key.Lighting) glUniformMatrix3fv(p->At.NormalMatrix, 1, GL_FALSE, normalMatrix_);
      p->ModelView = modelViewVersion_;
    }
    if (!vertexColors && p->Color != colorVersion_) {
      glUniform4fv(p->At.Color, 1, color_);
      p->Color = colorVersion_;
    }
    if (key.Lights > 0 && p->Lights != lightsVersion_) {
      glUniform4fv(p->At.LightPosition, key.Lights, &lightPosition_[0][0]);
      glUniform3fv(p->At.LightAmbient, key.Lights, &lightAmbient_[0][0]);
      glUniform3fv(p->At.LightDiffuse, key.Lights, &lightDiffuse_[0][0]);
      glUniform3fv(p->At.LightAttenuation, key.Lights, &lightAttenuation_[0][0]);
      glUniform3fv(p->At.SpotDirection, key.Lights, &spotDirection_[0][0]);
      glUniform2fv(p->At.Spot, key.Lights, &spot_[0][0]);
      p->Lights = lightsVersion_;
    }
    if (key.AlphaTest != 0 && p->AlphaRef != alphaRefVersion_) {
      glUniform1f(p->At.AlphaRef, alphaRef_);
      p->AlphaRef = alphaRefVersion_;
    }
    return true;
  }

  // Appends the vertices to the stream (orphaning it when full) and draws them.
  void Submit(GLenum mode, const TRenderVertex* vertices, int count, bool vertexColors) {
    if (!UseProgram(vertexColors)) return;
    while (count > 0) {
      if (streamAt_ + count > StreamVertices) {
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(StreamVertices * sizeof(TRenderVertex)), nullptr,
                     GL_STREAM_DRAW);
        streamAt_ = 0;
      }
      // Only lists of separate lines or triangles may be cut into pieces.
      int piece = std::min(count, StreamVertices);
      if (piece < count) piece -= mode == GL_TRIANGLES ? piece % 3 : piece % 2;
      glBufferSubData(GL_ARRAY_BUFFER, GLintptr(streamAt_ * sizeof(TRenderVertex)),
                      GLsizeiptr(piece * sizeof(TRenderVertex)), vertices);
      glDrawArrays(mode, streamAt_, piece);
      streamAt_ += piece;
      vertices += piece;
      count -= piece;
    }
  }

  std::vector<TProgram> programs_;
  TProgram* current_ = nullptr;
  GLuint buffer_ = 0, vertexArray_ = 0;
  GLint maxTextureSize_ = 1024;
  int width_ = 0, height_ = 0;
  int streamAt_ = 0;  // next free vertex of the stream buffer

  // The state the next draw uses; each uniform group counts its changes (programs start
  // at 0, so the first use of a program sends everything).
  float projection_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float modelView_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float normalMatrix_[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  float color_[4] = {1, 1, 1, 1};
  float alphaRef_ = 0;
  unsigned projectionVersion_ = 1, modelViewVersion_ = 1, colorVersion_ = 1, lightsVersion_ = 1,
           alphaRefVersion_ = 1;
  bool lighting_ = false, twoSided_ = false;
  int texEnv_ = -1, alphaTest_ = 0;
  unsigned texture_ = 0, boundTexture_ = 0;
  int lightCount_ = 0;
  float lightPosition_[MaxLights][4] = {}, lightAmbient_[MaxLights][3] = {}, lightDiffuse_[MaxLights][3] = {};
  float lightAttenuation_[MaxLights][3] = {}, spotDirection_[MaxLights][3] = {}, spot_[MaxLights][2] = {};

  std::vector<TImageSlot> images_;
  std::size_t imagesUsed_ = 0;
  std::vector<TRenderVertex> triangles_;
};

}  // namespace

std::unique_ptr<TRenderBackend> CreateEs3Backend(std::string& error) {
  auto backend = std::make_unique<TEs3Backend>();
  if (!backend->Start(error)) return nullptr;
  return backend;
}

}  // namespace orr
