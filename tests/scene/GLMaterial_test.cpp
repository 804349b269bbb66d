// SPDX-License-Identifier: GPL-3.0-or-later
#include "scene/GLMaterial.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "raster/TBitmap32.h"
#include "scene/GLObjects.h"

namespace orr {
namespace {

TEST(MaterialLibrary, NewMaterialsTakeTheFirstFreeNameAndRenamesAvoidTakenNames) {
  TGLMaterialLibrary lib;
  TGLLibMaterial* a = lib.Materials.Add();
  TGLLibMaterial* b = lib.Materials.Add();
  TGLLibMaterial* c = lib.Materials.Add();
  EXPECT_EQ(a->Name(), "LibMaterial");
  EXPECT_EQ(b->Name(), "LibMaterial1");
  EXPECT_EQ(c->Name(), "LibMaterial2");
  a->SetName("0");
  c->SetName("0");
  EXPECT_EQ(c->Name(), "01");
  c->SetName("01");  // its own name: nothing changes
  EXPECT_EQ(c->Name(), "01");
  b->SetName("0");
  EXPECT_EQ(b->Name(), "02");
  // A freed plain name is taken again by the next new material.
  a->SetName("x");
  EXPECT_EQ(lib.Materials.Add()->Name(), "LibMaterial");
  EXPECT_EQ(lib.LibMaterialByName("01"), c);
  EXPECT_EQ(lib.LibMaterialByName("1"), nullptr);
  EXPECT_EQ(lib.LibMaterialByName("X"), nullptr);  // case-sensitive
  EXPECT_EQ(lib.Materials[1], b);
  EXPECT_EQ(b->Index(), 1);
}

TEST(MaterialLibrary, HashKeyStartsWithTheLengthAndDoublesPerByte) {
  EXPECT_EQ(MaterialNameHashKey(""), 0u);
  EXPECT_EQ(MaterialNameHashKey("0"), 2u * 1 + '0');
  EXPECT_EQ(MaterialNameHashKey("ab"), 2u * (2u * 2 + 'a') + 'b');
  // 32-bit wrap-around on long names.
  std::string longName(40, 'z');
  std::uint32_t h = 40;
  for (int i = 0; i < 40; ++i) h = 2 * h + 'z';
  EXPECT_EQ(MaterialNameHashKey(longName), h);
  TGLMaterialLibrary lib;
  TGLLibMaterial* m = lib.Materials.Add();
  m->SetName("17");
  EXPECT_EQ(m->HashKey(), MaterialNameHashKey("17"));
}

TEST(MaterialBinding, NameResolvesInTheLibraryAndUnknownNamesKeepTheOwnMaterial) {
  TGLScene scene;
  TGLMaterialLibrary lib;
  TGLLibMaterial* five = lib.Materials.Add();
  five->SetName("5");
  five->Material.BlendingMode = bmTransparency;
  auto* plane = NewChildObject<TGLPlane>(scene.Objects());
  plane->Material.FrontProperties.Diffuse = {0, 1, 0, 1};
  plane->Material.SetMaterialLibrary(&lib);
  plane->Material.SetLibMaterialName("5");
  EXPECT_EQ(plane->Material.LibMaterial(), five);
  EXPECT_TRUE(plane->Blended());
  EXPECT_EQ(&plane->Material.Effective(), &five->Material);
  plane->Material.SetLibMaterialName("9");
  EXPECT_EQ(plane->Material.LibMaterial(), nullptr);
  EXPECT_FALSE(plane->Blended());
  EXPECT_FLOAT_EQ(plane->Material.Effective().FrontProperties.Diffuse.Y, 1);
  // Binding follows a library switch with the same name.
  TGLMaterialLibrary other;
  other.Materials.Add()->SetName("9");
  plane->Material.SetMaterialLibrary(&other);
  EXPECT_EQ(plane->Material.LibMaterial(), other.Materials[0]);
  EXPECT_EQ(other.Materials[0]->Users().size(), 1u);
}

TEST(MaterialBinding, EitherSideMayBeDestroyedFirst) {
  TGLScene scene;
  auto* plane = NewChildObject<TGLPlane>(scene.Objects());
  {
    TGLMaterialLibrary lib;
    lib.Materials.Add();
    plane->Material.SetMaterialLibrary(&lib);
    plane->Material.SetLibMaterialName("LibMaterial");
    ASSERT_NE(plane->Material.LibMaterial(), nullptr);
  }
  EXPECT_EQ(plane->Material.LibMaterial(), nullptr);
  EXPECT_EQ(plane->Material.MaterialLibrary(), nullptr);
  TGLMaterialLibrary lib;
  lib.Materials.Add();
  plane->Material.SetMaterialLibrary(&lib);
  plane->Material.SetLibMaterialName("LibMaterial");
  plane->Free();
  EXPECT_TRUE(lib.Materials[0]->Users().empty());
}

TEST(MaterialBlending, OnlyOpaqueAndAlphaTestModesCountAsNotBlended) {
  struct {
    TGLBlendingMode Mode;
    bool Blended;
  } cases[] = {{bmOpaque, false},      {bmTransparency, true},  {bmAdditive, true},
               {bmAlphaTest50, false}, {bmAlphaTest100, false}, {bmModulate, true}};
  for (auto c : cases) {
    TGLMaterial m;
    m.BlendingMode = c.Mode;
    EXPECT_EQ(m.Blended(), c.Blended) << c.Mode;
  }
}

// A 2 x 2 picture, top row first: red, green / blue, grey.
TPicture SmallPicture() {
  return {
      2,
      2,
      {Color32(255, 0, 0, 10), Color32(0, 255, 0, 20), Color32(0, 0, 255, 30), Color32(90, 120, 150, 40)}};
}

TEST(TextureAlpha, EveryImageAlphaModeRewritesAlphaOfTheBottomUpTexels) {
  // Texel order after the flip: blue, grey (bottom row), red, green (top row).
  struct {
    TGLTextureImageAlpha Mode;
    std::uint8_t A[4];
  } cases[] = {
      {tiaDefault, {30, 40, 10, 20}},
      {tiaAlphaFromIntensity, {85, 120, 85, 85}},
      {tiaLuminance, {85, 120, 85, 85}},
      {tiaOpaque, {255, 255, 255, 255}},
      {tiaInverseLuminance, {170, 135, 170, 170}},
      {tiaLuminanceSqrt, {147, 175, 147, 147}},
      {tiaInverseLuminanceSqrt, {108, 80, 108, 108}},
      // key: the bottom-left pixel (blue)
      {tiaTopLeftPointColorTransparent, {0, 255, 255, 255}},
      {tiaSuperBlackTransparent, {30, 40, 10, 20}},
  };
  for (auto& c : cases) {
    TTexels t = PrepareTexels(SmallPicture(), c.Mode);
    ASSERT_EQ(t.Width, 2);
    ASSERT_EQ(t.Height, 2);
    EXPECT_EQ(t.At(0, 0) & 0xFFFFFF, 0x0000FFu) << "row 0 is the bottom of the picture";
    EXPECT_EQ(t.At(0, 1) & 0xFFFFFF, 0xFF0000u);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(AlphaComponent(t.At(i % 2, i / 2)), c.A[i]) << "mode " << c.Mode << " texel " << i;
  }
  TPicture black{1, 2, {Color32(0, 0, 0, 200), Color32(1, 0, 0, 200)}};
  TTexels t = PrepareTexels(black, tiaSuperBlackTransparent);
  EXPECT_EQ(AlphaComponent(t.At(0, 1)), 0u);
  EXPECT_EQ(AlphaComponent(t.At(0, 0)), 200u);
}

// The decoration tiles: key colour from the picture's bottom-left pixel, the top-left one
// plays no part.
TEST(TextureAlpha, ColourKeyIsTheBottomLeftPixelOfA32x32Tile) {
  TBitmap32 tile(32, 32);
  tile.Clear(Color32(200, 100, 50));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if ((x + y) % 3 == 0) tile.SetPixel(x, y, Color32(0, 255, 0));
  tile.SetPixel(0, 31, Color32(0, 255, 0));  // bottom-left: the key
  tile.SetPixel(0, 0, Color32(9, 9, 9));     // top-left: ignored
  TGLTexture tex;
  tex.AssignFromBitmap(tile);
  tex.SetImageAlpha(tiaTopLeftPointColorTransparent);
  const TTexels& t = tex.Texels();
  ASSERT_EQ(t.Width, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      bool key = tile.Pixel(x, 31 - y) == Color32(0, 255, 0);
      ASSERT_EQ(AlphaComponent(t.At(x, y)), key ? 0u : 255u) << x << "," << y;
    }
  // Changing the mode prepares the texels again.
  tex.SetImageAlpha(tiaOpaque);
  EXPECT_EQ(AlphaComponent(tex.Texels().At(0, 0)), 255u);
}

TEST(TextureSize, ScalesUpToPowersOfTwoCappedAtTheMaximum) {
  struct {
    int In, Max, Out;
  } cases[] = {{0, 1024, 0}, {1, 1024, 1}, {32, 1024, 32}, {33, 1024, 64}, {100, 64, 64}, {3000, 2048, 2048}};
  for (auto c : cases) EXPECT_EQ(TexturePowerOfTwo(c.In, c.Max), c.Out) << c.In;
  EXPECT_FALSE(MinFilterNeedsMipmaps(miNearest));
  EXPECT_FALSE(MinFilterNeedsMipmaps(miLinear));
  EXPECT_TRUE(MinFilterNeedsMipmaps(miLinearMipmapLinear));
  EXPECT_TRUE(MinFilterNeedsMipmaps(miNearestMipmapNearest));
}

TEST(TextureFile, MissingFileEmptiesThePictureAndNamesThePath) {
  TGLTexture tex;
  tex.SetImage(SmallPicture());
  try {
    tex.LoadFromFile("/nonexistent/tile.bmp");
    FAIL() << "no exception";
  } catch (const ETexture& e) {
    EXPECT_STREQ(e.what(), "Could not open file: /nonexistent/tile.bmp");
  }
  EXPECT_EQ(tex.Image().Width, 0);
  EXPECT_EQ(tex.Texels().Width, 0);
}

TEST(TextureFile, RelativePathsOfLibraryTexturesTryTheSearchPathsFirst) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "orr_scene_texpaths";
  fs::create_directories(dir);
  TBitmap32 bmp(3, 2);
  bmp.Clear(Color32(1, 2, 3));
  bmp.SaveToFile((dir / "t.bmp").string());
  TGLMaterialLibrary lib;
  lib.TexturePaths = {"/nonexistent", dir.string()};
  TGLLibMaterial* m = lib.Materials.Add();
  m->Material.Texture.LoadFromFile("t.bmp");
  EXPECT_EQ(m->Material.Texture.Image().Width, 3);
  EXPECT_EQ(m->Material.Texture.Image().Pixels[0], Color32(1, 2, 3));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orr
