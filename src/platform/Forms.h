// SPDX-License-Identifier: GPL-3.0-or-later
// Visual controls inside the one window: panels, static text, and the form itself.
// Controls are rectangles positioned relative to their parent control; painting walks
// the tree parent first, children in the order they were attached.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Classes.h"
#include "platform/Fonts.h"

namespace orr {

class TForm;

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // Attaches to a parent control (nullptr detaches). Position is relative to the parent.
  void SetParent(TControl* parent);
  TControl* Parent() const { return parent_; }
  const std::vector<TControl*>& Controls() const { return children_; }

  // Paints this control before its siblings (behind them) / after them (in front).
  void SendToBack();
  void BringToFront();

  void SetBounds(int left, int top, int width, int height);
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = true;
  unsigned Color = 0x000000;  // 0xRRGGBB
  bool ParentColorOnly = false;

  // Rectangle in window pixels.
  TRect ScreenRect() const;
  // Asks the window to repaint (coalesced; the loop paints when no message waits).
  virtual void Invalidate();
  TForm* ParentForm() const;

  // Draws this control; children are drawn afterwards by the form.
  virtual void Paint(TPaintContext& context);
  // After the frame holding this control's paint has been presented on screen.
  virtual void FramePresented() {}

 protected:
  // The form this control is, if it is one: asked for every scene change a view reports
  // (thousands a step), where a dynamic_cast costs more than the change itself.
  virtual const TForm* AsForm() const { return nullptr; }

 private:
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;
};

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* owner);
  bool Bevel = false;
  void Paint(TPaintContext& context) override;
};

// A single line of text, drawn with a system font matched by name.
class TStaticText : public TControl {
 public:
  explicit TStaticText(TComponent* owner);
  void SetCaption(const std::string& caption);
  const std::string& Caption() const { return caption_; }
  std::string FontName = "MS Sans Serif";
  int FontHeight = 11;  // pixels
  unsigned FontColor = 0xFFFFFF;
  bool Transparent = true;
  void Paint(TPaintContext& context) override;

 private:
  std::string caption_;
  std::vector<unsigned> image_;  // rendered caption, 0xAARRGGBB, Width x Height
  bool imageValid_ = false;
};

// A window. The first form created becomes the application's main form and owns the
// system window; the loop shows it when it starts.
class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);
  void AfterConstruction() override { FormCreate(); }
  void BeforeDestruction() override { FormDestroy(); }

  bool KeyPreview = false;
  bool BorderNone = true;
  // Moves the system window.
  void PlaceWindow(int left, int top, int width, int height);
  void Show();
  bool Showing() const { return showing_; }

  // Key dispatch from the loop; `key` may be changed or zeroed by the handler.
  void KeyDown(int& key) { FormKeyDown(key); }

  void Invalidate() override { paintPending_ = true; }
  bool PaintPending() const { return paintPending_; }
  // Paints the whole tree through the backend and presents it.
  void PaintAll();
  int FramesPainted() const { return framesPainted_; }

 protected:
  virtual void FormCreate() {}
  virtual void FormDestroy() {}
  virtual void FormKeyDown(int& /*key*/) {}
  const TForm* AsForm() const override { return this; }

 private:
  void PaintTree(TControl& control, TPaintContext& context);
  void NotifyPresented(TControl& control);
  bool showing_ = false;
  bool paintPending_ = true;
  int framesPainted_ = 0;
};

}  // namespace orr
