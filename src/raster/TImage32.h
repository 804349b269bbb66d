// SPDX-License-Identifier: GPL-3.0-or-later
// TImage32: an image control that shows its own copy of a bitmap inside its parent.
//
// The control's area starts fully transparent; the bitmap is drawn into it with the
// bitmap's own draw settings (so a dmCustom colour-key bitmap leaves its key pixels
// transparent), and the result is painted over whatever lies below, the 3D view included,
// with alpha blending. Only the part inside the parent controls and the window is painted.
#pragma once

#include "platform/Forms.h"
#include "raster/TBitmap32.h"

namespace orr {

enum class TScaleMode {
  smNormal,  // the bitmap at its own size, top-left in the control, clipped to it
  smStretch  // the bitmap stretched (nearest pixel) to the control's size
};
using enum TScaleMode;

class TImage32 : public TControl {
 public:
  explicit TImage32(TComponent* owner);

  // The control's bitmap. Changes through the reference show on the next paint; call
  // Invalidate() to ask for one.
  TBitmap32& Bitmap() { return bitmap_; }
  const TBitmap32& Bitmap() const { return bitmap_; }
  // Stores a copy of `bitmap` (pixels and draw settings) and asks for a repaint.
  void SetBitmap(const TBitmap32& bitmap);

  TScaleMode ScaleMode = smNormal;

  // The control's picture as it will be painted: Width x Height, the bitmap drawn into a
  // transparent area. Valid until the next call.
  const TBitmap32& RenderedImage();

  void Paint(TPaintContext& context) override;

 private:
  TBitmap32 bitmap_;
  TBitmap32 buffer_;               // rendered control area, reused between paints
  std::vector<TColor32> clipped_;  // visible part when the control is clipped
};

}  // namespace orr
