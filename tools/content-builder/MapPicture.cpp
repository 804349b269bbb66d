// SPDX-License-Identifier: GPL-3.0-or-later
#include "MapPicture.h"

#include <algorithm>
#include <map>

#include "Art.h"

namespace orr::content {

TCanvas Shrink(const TCanvas& src, int factor) {
  TCanvas out(src.Width() / factor, src.Height() / factor);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) {
      TRgba sum;
      for (int v = 0; v < factor; ++v)
        for (int u = 0; u < factor; ++u) {
          TRgba p = src.At(x * factor + u, y * factor + v);
          sum.R += p.R * p.A, sum.G += p.G * p.A, sum.B += p.B * p.A, sum.A += p.A;
        }
      float n = static_cast<float>(factor * factor);
      out.At(x, y) = sum.A > 0 ? TRgba{sum.R / sum.A, sum.G / sum.A, sum.B / sum.A, sum.A / n} : TRgba{};
    }
  return out;
}

TCanvas Resized(const TCanvas& src, int size) {
  if (size == src.Width()) return src;
  const int factor = src.Width() / size;
  if (factor > 1 && src.Width() % size == 0) return Shrink(src, factor);
  if (factor > 1) return Resized(Shrink(src, factor), size);  // the rest by nearest pixel
  TCanvas out(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) out.At(x, y) = src.At(x * src.Width() / size, y * src.Height() / size);
  return out;
}

TCanvas Turned(const TCanvas& src, int turns) {
  TCanvas out = src;
  int n = src.Width();
  for (int t = 0; t < (turns % 4 + 4) % 4; ++t) {
    TCanvas next(n, n);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) next.At(n - 1 - y, x) = out.At(x, y);
    out = next;
  }
  return out;
}

namespace {

// Tile pictures at the picture's cell size, made once per tile and turn.
class TTileCache {
 public:
  TTileCache(const std::vector<TCanvas>& tiles, int cell, bool hard) : Tiles(tiles), Cell(cell), Hard(hard) {}
  // Null for a number without a picture.
  const TCanvas* Get(int number, int turns) {
    if (number < 0 || number >= static_cast<int>(Tiles.size())) return nullptr;
    auto [it, added] = Made.try_emplace({number, turns % 4}, 1, 1);
    if (added) {
      TCanvas c = Resized(Tiles[static_cast<size_t>(number)], Cell);
      if (Hard) c.Harden();
      it->second = Turned(c, turns);
    }
    return &it->second;
  }

 private:
  const std::vector<TCanvas>& Tiles;
  int Cell;
  bool Hard;
  std::map<std::pair<int, int>, TCanvas> Made;
};

}  // namespace

TCanvas DrawMapFromAbove(const TMapPictureInput& m, const TMapPictureArt& art,
                         const TMapPictureOptions& options) {
  const int cell = std::max(1, options.CellPixels);
  const float k = static_cast<float>(cell) / 16.0f;  // sizes below are for 16 pixels a cell
  TCanvas c(m.Width * cell, m.Height * cell);
  auto row = [&](int y) { return (m.Height - 1 - y) * cell; };  // north at the top
  TTileCache floors(art.Floors, cell, false), decorations(art.Decorations, cell, true);
  std::vector<int> heights(static_cast<size_t>(m.Width) * static_cast<size_t>(m.Height));
  auto heightAt = [&](int x, int y) { return heights[static_cast<size_t>(y) * m.Width + x]; };
  const TRgba missing = Hex(0xff00ff);
  for (int y = 0; y < m.Height; ++y)
    for (int x = 0; x < m.Width; ++x) {
      const TMapPictureCell cellData = m.Cell(x, y);
      heights[static_cast<size_t>(y) * m.Width + x] = cellData.Height;
      const TCanvas* tile = floors.Get(cellData.Tile, cellData.Turns);
      float lift = 1.0f + 0.08f * static_cast<float>(cellData.Height);
      for (int v = 0; v < cell; ++v)
        for (int u = 0; u < cell; ++u)
          c.At(x * cell + u, row(y) + v) = Scale(tile != nullptr ? tile->At(u, v) : missing, lift);
      if (cellData.Decoration > 0)
        if (const TCanvas* deco = decorations.Get(cellData.Decoration, cellData.DecorationTurns))
          c.Paste(*deco, x * cell, row(y));
    }
  // Shadows of raised blocks on lower cells to their east and south.
  const int reach = std::max(1, cell * 5 / 16);
  TCanvas shade = c;
  for (int y = 0; y < m.Height; ++y)
    for (int x = 0; x < m.Width; ++x) {
      int h = heightAt(x, y);
      for (auto [dx, dy] : {std::pair{1, 0}, std::pair{0, -1}, std::pair{1, -1}}) {
        int nx = x + dx, ny = y + dy;
        if (nx >= m.Width || ny < 0 || heightAt(nx, ny) >= h) continue;
        for (int v = 0; v < cell; ++v)
          for (int u = 0; u < cell; ++u) {
            bool near = (dx == 1 && u < reach) || (dy == -1 && v < reach);
            if (dx == 1 && dy == -1) near = u < reach && v < reach;
            if (near) shade.At(nx * cell + u, row(ny) + v) = Scale(c.At(nx * cell + u, row(ny) + v), 0.6f);
          }
      }
    }
  c = shade;
  if (options.Routes) {
    TRgba routeColor = Hex(0xffe070);
    for (const TMapPictureEntity& e : m.Entities) {
      if (e.Kind != 0 || e.Route.empty()) continue;
      std::vector<TVec> pts;
      for (auto [x, y] : e.Route)
        pts.push_back(
            {(static_cast<float>(x) + 0.5f) * cell, (static_cast<float>(m.Height - y) - 0.5f) * cell});
      for (size_t i = 0; i < pts.size(); ++i) {
        TVec a = pts[i], b = pts[(i + 1) % pts.size()];
        c.FillShape(
            std::min(a.X, b.X) - 2 * k, std::min(a.Y, b.Y) - 2 * k, std::max(a.X, b.X) + 2 * k,
            std::max(a.Y, b.Y) + 2 * k, [=](TVec p) { return Capsule(p, a, b, 0.8f * k); },
            TPaint(routeColor));
        c.FillShape(
            a.X - 4 * k, a.Y - 4 * k, a.X + 4 * k, a.Y + 4 * k,
            [=](TVec p) { return Circle(p, a, 2.5f * k); }, TPaint(routeColor));
      }
    }
  }
  if (options.Entities) {
    // The body from the middle of the idle frame (48 x 48 pixels) at 1.5 cells, items at
    // one cell.
    std::map<int, TCanvas> bodies;
    std::map<std::pair<int, int>, TCanvas> items;
    const int bodySize = std::max(1, cell * 3 / 2);
    for (const TMapPictureEntity& e : m.Entities) {
      if (e.X < 0 && e.Y < 0) continue;
      int px = static_cast<int>(e.X * static_cast<float>(cell));
      int py = static_cast<int>((static_cast<float>(m.Height) - e.Y) * static_cast<float>(cell));
      const TCanvas* picture = nullptr;
      int size = 0;
      if (e.Kind == 0 && e.Index < static_cast<int>(art.Creatures.size()) &&
          art.Creatures[static_cast<size_t>(e.Index)].Width() >= 72 &&
          art.Creatures[static_cast<size_t>(e.Index)].Height() >= 88) {
        auto [it, added] = bodies.try_emplace(e.Index, 1, 1);
        if (added) {
          const TCanvas& frame = art.Creatures[static_cast<size_t>(e.Index)];
          TCanvas body(48, 48);
          for (int v = 0; v < 48; ++v)
            for (int u = 0; u < 48; ++u) body.At(u, v) = frame.At(24 + u, 40 + v);
          it->second = Resized(body, bodySize);
          it->second.Harden();
        }
        picture = &it->second, size = bodySize;
      } else if (e.Kind >= 3 && e.Kind <= 6 && static_cast<size_t>(e.Kind - 3) < art.Items.size() &&
                 e.Index < static_cast<int>(art.Items[static_cast<size_t>(e.Kind - 3)].size()) &&
                 art.Items[static_cast<size_t>(e.Kind - 3)][static_cast<size_t>(e.Index)].Width() > 1) {
        auto [it, added] = items.try_emplace({e.Kind, e.Index}, 1, 1);
        if (added) {
          it->second =
              Resized(art.Items[static_cast<size_t>(e.Kind - 3)][static_cast<size_t>(e.Index)], cell);
          it->second.Harden();
        }
        picture = &it->second, size = cell;
      }
      if (picture != nullptr) {
        c.Paste(*picture, px - size / 2, py - size / 2);
      } else {
        TRgba ring = e.Kind == 2 ? Hex(0x40ff60) : e.Kind == 1 ? Hex(0x60c0ff) : Hex(0xff4040);
        const float x = static_cast<float>(px), y = static_cast<float>(py);
        c.FillShape(
            x - 8 * k, y - 8 * k, x + 8 * k, y + 8 * k,
            [=](TVec p) {
              return Ring(p, {x, y}, 5 * k, 1.2f * k);
            },
            TPaint(ring));
      }
    }
  }
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x) c.At(x, y).A = 1;
  return c;
}

}  // namespace orr::content
