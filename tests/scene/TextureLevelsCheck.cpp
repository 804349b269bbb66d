// SPDX-License-Identifier: GPL-3.0-or-later
// Our texture scaling and mipmaps against GLU's, which textures went through before the
// renderer had backends: every level of random pictures of many sizes must be the same
// bytes. GLU needs an OpenGL context, so this runs in a hidden SDL window (under Xvfb).
//
//   scene_texture_levels
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "scene/backend/TextureLevels.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  ++failures;
}

std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

// Where two byte arrays first differ, or -1.
long FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return long(i);
  return -1;
}

void CheckScaling(std::mt19937& random, int w, int h, int outW, int outH) {
  std::vector<std::uint8_t> picture(std::size_t(w) * h * 4);
  for (auto& b : picture) b = std::uint8_t(random());
  std::vector<std::uint8_t> glu(std::size_t(outW) * outH * 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  gluScaleImage(GL_RGBA, w, h, GL_UNSIGNED_BYTE, picture.data(), outW, outH, GL_UNSIGNED_BYTE, glu.data());
  const std::vector<std::uint8_t> ours = orr::ScaleRgbaImage(w, h, picture.data(), outW, outH);
  const long at = FirstDifference(glu, ours);
  Check(at < 0, "scaling " + Size(w, h) + " to " + Size(outW, outH) + " differs from GLU at byte " +
                    std::to_string(at) +
                    (at >= 0 && std::size_t(at) < ours.size()
                         ? " (" + std::to_string(glu[at]) + " vs " + std::to_string(ours[at]) + ")"
                         : ""));
}

void CheckMipmaps(std::mt19937& random, int w, int h) {
  std::vector<std::uint8_t> picture(std::size_t(w) * h * 4);
  for (auto& b : picture) b = std::uint8_t(random());
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, w, h, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
  const orr::TTextureUpload ours = orr::BuildTextureUpload(w, h, picture.data(), w, h, true);
  for (std::size_t level = 0; level < ours.Levels.size(); ++level) {
    const orr::TTextureLevel& l = ours.Levels[level];
    GLint gw = 0, gh = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, GLint(level), GL_TEXTURE_WIDTH, &gw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, GLint(level), GL_TEXTURE_HEIGHT, &gh);
    const std::string what = "level " + std::to_string(level) + " of " + Size(w, h);
    Check(gw == l.Width && gh == l.Height,
          what + ": GLU made it " + Size(gw, gh) + ", we " + Size(l.Width, l.Height));
    if (gw != l.Width || gh != l.Height) break;
    std::vector<std::uint8_t> glu(std::size_t(gw) * gh * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, GLint(level), GL_RGBA, GL_UNSIGNED_BYTE, glu.data());
    const long at = FirstDifference(glu, l.Rgba);
    Check(at < 0, what + " differs from GLU's at byte " + std::to_string(at));
  }
  GLint extra = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, GLint(ours.Levels.size()), GL_TEXTURE_WIDTH, &extra);
  Check(extra == 0, "GLU made more levels of " + Size(w, h) + " than we did");
  glDeleteTextures(1, &texture);
}

}  // namespace

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "no display: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("levels", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
  if (context == nullptr) {
    std::fprintf(stderr, "no OpenGL context: %s\n", SDL_GetError());
    return 1;
  }
  std::mt19937 random(5);
  // Enlarging, shrinking, both at once, exact halving, one texel wide or high.
  const int scalings[][4] = {{3, 5, 4, 8},     {33, 17, 64, 32}, {100, 60, 128, 64},
                             {1, 7, 1, 8},     {7, 1, 8, 1},     {640, 480, 1024, 512},
                             {48, 48, 64, 64}, {96, 40, 64, 64}, {2048, 10, 1024, 16},
                             {64, 64, 32, 32}, {130, 3, 128, 4}, {5, 5, 2, 2}};
  for (const auto& s : scalings) CheckScaling(random, s[0], s[1], s[2], s[3]);
  const int mipmaps[][2] = {{1, 1}, {2, 1}, {1, 16}, {32, 32}, {64, 16}, {8, 128}, {256, 256}};
  for (const auto& m : mipmaps) CheckMipmaps(random, m[0], m[1]);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  if (failures == 0)
    std::printf("scaling and mipmaps equal GLU's in %zu + %zu cases\n", std::size(scalings),
                std::size(mipmaps));
  return failures == 0 ? 0 : 1;
}
