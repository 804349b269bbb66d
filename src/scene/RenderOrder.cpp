// SPDX-License-Identifier: GPL-3.0-or-later
// The order siblings are drawn in: as listed, blended ones last, or by distance.
#include "scene/GLScene.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene/GLObjects.h"

namespace orr {

namespace {

// The render order of `count` siblings, child(i) being the i-th in list order.
template <class TChild>
void OrderForRender(int count, TChild child, TGLObjectsSorting sorting, const TVector& cameraPosition,
                    std::vector<TGLBaseSceneObject*>& order) {
  order.clear();
  if (sorting != osRenderBlendedLast && sorting != osRenderFarthestFirst && sorting != osRenderNearestFirst) {
    for (int i = 0; i < count; ++i)
      if (child(i)->Visible()) order.push_back(child(i));
    return;
  }
  struct TEntry {
    float Dist2;
    TGLBaseSceneObject* Object;
  };
  // Reused between calls: the render walk calls this for every parent of every frame.
  static thread_local std::vector<TEntry> sorted;
  sorted.clear();
  for (int i = 0; i < count; ++i) {
    TGLBaseSceneObject* c = child(i);
    if (!c->Visible()) continue;
    if (sorting == osRenderBlendedLast && !c->Blended()) {
      order.push_back(c);
      continue;
    }
    sorted.push_back({VectorDistance2(c->AbsolutePosition(), cameraPosition), c});
  }
  if (sorting == osRenderNearestFirst)
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Dist2 < b.Dist2; });
  else
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Dist2 > b.Dist2; });
  for (const TEntry& e : sorted) order.push_back(e.Object);
}

}  // namespace

void OrderChildrenForRender(TGLBaseSceneObject& parent, TGLObjectsSorting sorting,
                            const TVector& cameraPosition, std::vector<TGLBaseSceneObject*>& order) {
  OrderForRender(
      parent.Count(), [&parent](int i) { return parent.Children(i); }, sorting, cameraPosition, order);
}

void OrderSiblingsForRender(const std::vector<TGLBaseSceneObject*>& siblings, TGLObjectsSorting sorting,
                            const TVector& cameraPosition, std::vector<TGLBaseSceneObject*>& order) {
  OrderForRender(
      static_cast<int>(siblings.size()), [&siblings](int i) { return siblings[i]; }, sorting, cameraPosition,
      order);
}

}  // namespace orr
