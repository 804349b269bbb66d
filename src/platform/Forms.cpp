// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Forms.h"

#include <algorithm>
#include <cmath>

#include "platform/Application.h"

namespace orr {

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  for (TControl* child : children_) child->parent_ = nullptr;
  SetParent(nullptr);
}

void TControl::SetParent(TControl* parent) {
  if (parent_ == parent) return;
  if (parent_ != nullptr) {
    auto& list = parent_->children_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  parent_ = parent;
  if (parent_ != nullptr) parent_->children_.push_back(this);
  Invalidate();
}

void TControl::SendToBack() {
  if (parent_ == nullptr) return;
  auto& list = parent_->children_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin(), this);
  Invalidate();
}

void TControl::BringToFront() {
  if (parent_ == nullptr) return;
  auto& list = parent_->children_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  Invalidate();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  Left = left;
  Top = top;
  Width = width;
  Height = height;
  Invalidate();
}

TRect TControl::ScreenRect() const {
  int x = Left, y = Top;
  for (const TControl* p = parent_; p != nullptr && p->AsForm() == nullptr; p = p->parent_) {
    x += p->Left;
    y += p->Top;
  }
  return {x, y, x + Width, y + Height};
}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_ != nullptr) c = c->parent_;
  return const_cast<TForm*>(c->AsForm());
}

void TControl::Invalidate() {
  if (TForm* form = ParentForm(); form != nullptr && form != this) form->Invalidate();
}

void TControl::Paint(TPaintContext&) {}

TPanel::TPanel(TComponent* owner) : TControl(owner) {}

void TPanel::Paint(TPaintContext& context) {
  TRect r = ScreenRect();
  context.FillRect(r.Left, r.Top, r.Width(), r.Height(), Color);
}

TStaticText::TStaticText(TComponent* owner) : TControl(owner) {}

void TStaticText::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  imageValid_ = false;
  Invalidate();
}

void TStaticText::Paint(TPaintContext& context) {
  if (Width <= 0 || Height <= 0) return;
  if (!imageValid_) {
    // Rasterised once per caption; the control has a fixed size and clips its text.
    TGrayImage coverage{Width, Height, std::vector<std::uint8_t>(size_t(Width) * Height, 0)};
    std::string error;
    if (auto face = TFontFace::Open(FontName, FontHeight, false, error)) {
      face->DrawString(coverage, 0, 0, caption_);
    }
    image_.assign(coverage.Pixels.size(), 0);
    for (size_t i = 0; i < coverage.Pixels.size(); ++i) {
      unsigned alpha = coverage.Pixels[i];
      unsigned background = Transparent ? 0u : (0xFF000000u | Color);
      image_[i] = alpha == 0 ? background : (alpha << 24) | (FontColor & 0xFFFFFF);
    }
    imageValid_ = true;
  }
  TRect r = ScreenRect();
  context.DrawImage(r.Left, r.Top, Width, Height, image_.data());
}

TForm::TForm(TComponent* owner) : TControl(owner) {
  if (Application != nullptr && Application->MainForm == nullptr) {
    Application->MainForm = this;
    std::string error;
    if (!Application->Backend().CreateMainWindow(error))
      throw std::runtime_error("Cannot create the main window: " + error);
  }
}

void TForm::PlaceWindow(int left, int top, int width, int height) {
  SetBounds(left, top, width, height);
  if (Application != nullptr && Application->MainForm == this)
    Application->Backend().SetWindowBounds(left, top, width, height);
}

void TForm::Show() {
  showing_ = true;
  if (Application != nullptr && Application->MainForm == this) Application->Backend().ShowMainWindow();
  Invalidate();
}

void TForm::PaintTree(TControl& control, TPaintContext& context) {
  if (!control.Visible) return;
  if (&control != this) control.Paint(context);
  for (TControl* child : control.Controls()) PaintTree(*child, context);
}

void TForm::NotifyPresented(TControl& control) {
  if (!control.Visible) return;
  control.FramePresented();
  for (TControl* child : control.Controls()) NotifyPresented(*child);
}

void TForm::PaintAll() {
  paintPending_ = false;
  if (Application == nullptr) return;
  bool painted = Application->Backend().PaintFrame([&](TPaintContext& context) {
    context.FillRect(0, 0, context.WindowWidth(), context.WindowHeight(), Color);
    PaintTree(*this, context);
  });
  if (!painted) return;
  ++framesPainted_;
  NotifyPresented(*this);
}

}  // namespace orr
