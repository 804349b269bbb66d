// SPDX-License-Identifier: GPL-3.0-or-later
// Rays cast through the scene built from a map must meet what the map says stands there.
// The oracle walks the height map along the ray, cell by cell (a grid traversal in 3-D),
// and knows nothing of the scene: a raised cell of height h is a solid block from the
// ground to its floor at h, an open cell has the ground at 0, and beyond the map's edge the
// border planes stand. The scene's cast must report the same kind of face at the same
// point, with the hidden sides left out and with every side built, through the ray index
// and without it, on maps that hold every turn and every pair of heights.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "OrxGenerate.h"
#include "RenderHarness.h"
#include "render/UGameRender.h"

namespace orr::test {
namespace {

enum class TFace { None, Ground, Top, Side, Border, Other };

const char* Name(TFace f) {
  switch (f) {
    case TFace::None: return "nothing";
    case TFace::Ground: return "ground";
    case TFace::Top: return "top";
    case TFace::Side: return "side";
    case TFace::Border: return "border";
    default: return "another object";
  }
}

struct THit {
  TFace Face = TFace::None;
  TVector Point{};
  int Axis = 2;  // of the face's normal: 0 X, 1 Y, 2 Z
};

constexpr float BorderHalfHeight = 50;  // the border planes reach 50 below and above 0

// The cells built into the scene, inclusive (the scene window's part of the map).
struct TWindow {
  std::int32_t X0, Y0, X1, Y1;
  bool Contains(std::int32_t x, std::int32_t y) const { return x >= X0 && x <= X1 && y >= Y0 && y <= Y1; }
};

// The first face of the height map the ray start + t * dir (t >= 0) meets, where only the
// cells in `window` stand (beyond it nothing, beyond the map the border). The start lies
// above the ground of an open cell.
THit WalkHeightMap(const TVector& start, const TVector& dir, const TWindow& window) {
  const std::int32_t w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  std::int32_t cx = static_cast<std::int32_t>(std::floor(start.X));
  std::int32_t cy = static_cast<std::int32_t>(std::floor(start.Y));
  const int stepX = dir.X > 0 ? 1 : -1, stepY = dir.Y > 0 ? 1 : -1;
  auto nextT = [](float p, float d, std::int32_t c) {
    if (d == 0) return INFINITY;
    const float edge = d > 0 ? static_cast<float>(c + 1) : static_cast<float>(c);
    return (edge - p) / d;
  };
  float tx = nextT(start.X, dir.X, cx), ty = nextT(start.Y, dir.Y, cy);
  auto at = [&](float t) {
    return TVector{start.X + t * dir.X, start.Y + t * dir.Y, start.Z + t * dir.Z, 1};
  };
  float t = 0;
  int crossed = 2;  // the axis of the last edge crossed
  for (;;) {
    if (cx < 0 || cy < 0 || cx >= w || cy >= h) {
      const TVector p = at(t);
      return std::fabs(p.Z) < BorderHalfHeight ? THit{TFace::Border, p, crossed} : THit{};
    }
    const float tEnd = std::min(tx, ty);
    if (!window.Contains(cx, cy)) {
      t = tEnd;
      crossed = tx < ty ? 0 : 1;
      if (tx < ty) {
        cx += stepX;
        tx = nextT(start.X, dir.X, cx);
      } else {
        cy += stepY;
        ty = nextT(start.Y, dir.Y, cy);
      }
      continue;
    }
    const float height = GameMap.HeightMap[cx][cy];
    // Sides reach from the ground up; a ray that passed below the ground outside the
    // window meets nothing under it.
    const float z = start.Z + t * dir.Z;
    if (t > 0 && z >= 0 && z < height) return {TFace::Side, at(t), crossed};
    if (dir.Z < 0) {
      const float tFloor = (height - start.Z) / dir.Z;
      if (tFloor >= t && tFloor <= tEnd) return {height > 0 ? TFace::Top : TFace::Ground, at(tFloor), 2};
    }
    t = tEnd;
    crossed = tx < ty ? 0 : 1;
    if (tx < ty) {
      cx += stepX;
      tx = nextT(start.X, dir.X, cx);
    } else {
      cy += stepY;
      ty = nextT(start.Y, dir.Y, cy);
    }
  }
}

// Faces hit near an edge (two coordinates on whole numbers) may go to either face there:
// the floors overlap their neighbours by 0.0005 and the sides stand 0.0005 out, and a
// decoration lies 0.001 above its floor. A ray meets such a shifted face up to
// 0.0011 / (its share across the face) farther or nearer along its way.
bool NearAnEdge(const TVector& p) {
  auto whole = [](float v) { return std::fabs(v - std::round(v)) < 0.01f; };
  return whole(p.X) + whole(p.Y) + whole(p.Z) >= 2;
}

class RayCastTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game_.Plain("Graphics/Tiles/TerrainTiles.bmp", 64, 32 * 14, 0xFF808080);
    game_.Plain("Graphics/Tiles/DecorationTiles.bmp", 32, 32 * 17, 0xFF00FF00);
    host_.Create(DMGameRender);
  }
  void TearDown() override {
    host_.Free(DMGameRender);
    ResetGameMap();
    SceneCells.clear();
  }

  // Builds the cells of the window, with or without the hidden sides, as the scene window
  // does (every floor first), and names each object.
  void Build(const TOrrindelMap& map, bool everySide, const TWindow& window) {
    GameMap = map;
    window_ = window;
    PrepareScene(GameMap.MapSize);
    faces_.clear();
    for (std::int32_t x = window.X0; x <= window.X1; ++x)
      for (std::int32_t y = window.Y0; y <= window.Y1; ++y) CreateFloor(x, y);
    for (std::int32_t x = window.X0; x <= window.X1; ++x)
      for (std::int32_t y = window.Y0; y <= window.Y1; ++y) {
        UpdateCell(x, y, everySide);
        const SceneCell& cell = SceneCells[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
        const TFace floor = GameMap.HeightMap[x][y] > 0 ? TFace::Top : TFace::Ground;
        faces_[cell.Terrain] = floor;
        if (cell.Decoration != nullptr) faces_[cell.Decoration] = floor;
        for (TGLPlane* wall : cell.Walls)
          if (wall != nullptr) faces_[wall] = TFace::Side;
      }
    for (TGLPlane* plane : DMGameRender->BorderPlanes) faces_[plane] = TFace::Border;
  }

  THit Cast(const TVector& start, const TVector& dir, bool indexed) {
    TGLScene& scene = *DMGameRender->MainScene;
    THit hit;
    TGLBaseSceneObject* object = indexed ? scene.RayCastIntersectIndexed(start, dir, &hit.Point)
                                         : scene.RayCastIntersect(start, dir, &hit.Point);
    if (object == nullptr) return hit;
    const auto named = faces_.find(object);
    hit.Face = named == faces_.end() ? TFace::Other : named->second;
    return hit;
  }

  // Casts `rays` random rays from open cells, half of them level (as the creatures look),
  // and returns how many disagree with the oracle (the first few are reported).
  int Disagreements(int rays, std::uint32_t seed, bool indexed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0, 1);
    std::vector<std::pair<std::int32_t, std::int32_t>> open;
    for (std::int32_t x = 0; x < GameMap.MapSize.X; ++x)
      for (std::int32_t y = 0; y < GameMap.MapSize.Y; ++y)
        if (GameMap.HeightMap[x][y] == 0) open.push_back({x, y});
    if (open.empty()) return 0;
    int wrong = 0;
    for (int r = 0; r < rays; ++r) {
      const auto [x, y] = open[static_cast<std::size_t>(random()) % open.size()];
      const TVector start{x + 0.02f + 0.96f * unit(random), y + 0.02f + 0.96f * unit(random),
                          0.05f + 4.5f * unit(random), 1};
      const float heading = 6.2831853f * unit(random);
      const float climb = r % 2 == 0 ? 0 : std::asin(2 * unit(random) - 1);
      const TVector dir{std::cos(climb) * std::cos(heading), std::cos(climb) * std::sin(heading),
                        std::sin(climb), 0};
      const THit expected = WalkHeightMap(start, dir, window_);
      const THit got = Cast(start, dir, indexed);
      const float apart = expected.Face == TFace::None || got.Face == TFace::None
                              ? 0
                              : VectorLength(VectorSubtract(expected.Point, got.Point));
      const float across = std::fabs(expected.Axis == 0 ? dir.X : expected.Axis == 1 ? dir.Y : dir.Z);
      const float slack = 0.005f + 0.0011f / across;
      const bool sameFace =
          expected.Face == got.Face ||
          (NearAnEdge(expected.Point) && got.Face != TFace::None && got.Face != TFace::Other);
      if (sameFace && apart < slack) continue;
      if (++wrong <= 3)
        ADD_FAILURE() << "ray from (" << start.X << ", " << start.Y << ", " << start.Z << ") toward ("
                      << dir.X << ", " << dir.Y << ", " << dir.Z << "): the height map says "
                      << Name(expected.Face) << " at (" << expected.Point.X << ", " << expected.Point.Y
                      << ", " << expected.Point.Z << "), the scene " << Name(got.Face) << " at ("
                      << got.Point.X << ", " << got.Point.Y << ", " << got.Point.Z << "), " << apart
                      << " apart";
    }
    return wrong;
  }

  TScratchGame game_{"raycast"};
  TModuleHost host_;
  std::map<const TGLBaseSceneObject*, TFace> faces_;
  TWindow window_{};
};

TEST_F(RayCastTest, RaysMeetWhatTheHeightMapHoldsOnMapsOfEveryFeature) {
  struct TCase {
    std::int32_t W, H;
    std::uint32_t Seed;
    int Rays;
  };
  for (const TCase c :
       {TCase{40, 32, 5, 3000}, TCase{17, 16, 9, 2000}, TCase{1, 12, 3, 300}, TCase{9, 2, 4, 300}}) {
    TGenerateOptions options{c.W, c.H, 0, 0, c.Seed};
    options.EveryFeature = true;
    const TOrrindelMap map = GenerateMap(options);
    // The whole map, and a window of it as the scene window builds (rays from outside it
    // pass what is not built and must still meet the sides at its edge).
    const TWindow whole{0, 0, c.W - 1, c.H - 1}, part{c.W / 5, c.H / 5, c.W - 1 - c.W / 4, c.H - 1 - c.H / 4};
    for (const TWindow& window : {whole, part})
      for (const bool everySide : {false, true}) {
        Build(map, everySide, window);
        for (const bool indexed : {true, false}) {
          SCOPED_TRACE(::testing::Message() << c.W << "x" << c.H << (window.X0 > 0 ? ", part" : ", whole map")
                                            << (everySide ? ", every side" : ", hidden sides left out")
                                            << (indexed ? ", through the ray index" : ", plain walk"));
          EXPECT_EQ(Disagreements(c.Rays, c.Seed, indexed), 0);
        }
      }
  }
}

}  // namespace
}  // namespace orr::test
