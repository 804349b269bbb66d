// SPDX-License-Identifier: GPL-3.0-or-later
// The grid layers of a map: cells and the W x H grid that holds them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace orr {

// One tile of a grid layer.
struct MapCell {
  // Material number, normally 0..999: its decimal text names the material in the tile
  // library of the layer. In DecorationGrid, 0 means the cell has no decoration.
  std::uint16_t TileNumber = 0;
  // Rotation in quarter turns, one decimal digit (0..9).
  std::uint8_t QuarterTurns = 0;
};

// Height of a cell: 0 open floor, 1 to 4 a wall block of that many height units. The loader
// stores any digit it reads (0..9).
using THeightMapCell = std::uint8_t;

// W columns of H cells, indexed [x][y] like a nested dynamic array (grid.size() is W,
// grid[x].size() is H), stored in one zero-filled block, column after column:
//
//   x = 0          x = 1               x = W-1
//   [y0 .. yH-1]   [y0 .. yH-1]   ...  [y0 .. yH-1]
//
// so that a map of any width and no height costs no memory.
template <class TCell>
class TMapGrid {
 public:
  // Sets the size and zero-fills every cell. Both sizes must be >= 0.
  void SetSize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) throw std::length_error("negative map grid size");
    cells_ = {};  // release the old block before taking the new one
    cells_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    width_ = width;
    height_ = height;
  }
  void Clear() { SetSize(0, 0); }
  // Sets the size the way a dynamic array is resized: the cells that lie within both the old
  // and the new size keep their values, every other cell starts at zero.
  void Resize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) throw std::length_error("negative map grid size");
    if (width == width_ && height == height_) return;
    const std::int32_t keptWidth = std::min(width, width_), keptHeight = std::min(height, height_);
    if (keptWidth == 0 || keptHeight == 0) return SetSize(width, height);  // nothing to keep
    std::vector<TCell> cells(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t x = 0; x < keptWidth; ++x)
      std::copy_n((*this)[static_cast<std::size_t>(x)].data(), keptHeight,
                  cells.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height));
    cells_ = std::move(cells);
    width_ = width;
    height_ = height;
  }

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  std::size_t size() const { return static_cast<std::size_t>(width_); }
  bool empty() const { return width_ == 0; }
  // True when (x, y) addresses a stored cell.
  bool Contains(std::int64_t x, std::int64_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_;
  }

  // Column x (unchecked, like an array index).
  std::span<TCell> operator[](std::size_t x) {
    return {cells_.data() + x * static_cast<std::size_t>(height_), static_cast<std::size_t>(height_)};
  }
  std::span<const TCell> operator[](std::size_t x) const {
    return {cells_.data() + x * static_cast<std::size_t>(height_), static_cast<std::size_t>(height_)};
  }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<TCell> cells_;
};

using TMapDataBlockArray = TMapGrid<MapCell>;
using THeightMap = TMapGrid<THeightMapCell>;

}  // namespace orr
