// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UGameInterface.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

#include "core/UMainModule.h"
#include "platform/Application.h"
#include "platform/Keyboard.h"
#include "platform/Keys.h"
#include "render/UGameRender.h"
#include "scene/GLViewer.h"

namespace orr {

TFGameInterface* FGameInterface = nullptr;

TFGameInterface::TFGameInterface(TComponent* owner) : TForm(owner) {
  // The stored layout of the window, in place before FormCreate runs.
  KeyPreview = true;
  BorderNone = true;
  Color = 0x000000;
  ContentPanel = TComponent::Create<TPanel>(this);
  ContentPanel->Name = "ContentPanel";
  ContentPanel->Bevel = false;
  ContentPanel->Color = 0x000000;
  ContentPanel->SetParent(this);
  Panel1 = TComponent::Create<TPanel>(this);
  Panel1->Name = "Panel1";
  Panel1->Color = 0x000000;
  Panel1->SetParent(ContentPanel);
  StaticText1 = TComponent::Create<TStaticText>(this);
  StaticText1->Name = "StaticText1";
  StaticText1->SetBounds(0, 0, 58, 17);
  StaticText1->SetCaption("StaticText1");
  StaticText1->FontName = "MS Sans Serif";
  StaticText1->FontHeight = 11;
  StaticText1->FontColor = 0xFFFFFF;
  StaticText1->SetParent(this);
  FPSTimer = TComponent::Create<TThreadedTimer>(this);
  FPSTimer->Name = "FPSTimer";
  FPSTimer->OnTimer = [this](TThreadedTimer* sender) { FPSTimerTimer(sender); };
  FPSTimer->SetEnabled(true);
  FPSTimer->SetInterval(5000);  // restarts the period: the first tick comes 5 s from now
  if (Application != nullptr) Application->OnMouseWheel = [](int steps) { AddWheelSteps(steps); };
}

int TFGameInterface::PanelWidthFor(int screenHeight) {
  float width = static_cast<float>(screenHeight) / 0.75f;
  return static_cast<int>(std::nearbyint(width));  // default rounding: to nearest, ties to even
}

void TFGameInterface::FormCreate() {
  LogEvent("Initializing MDI");
  const int screenWidth = Application->ScreenWidth();
  const int screenHeight = Application->ScreenHeight();
  LogEvent("Screen resolution is " + std::to_string(screenWidth) + "x" + std::to_string(screenHeight));
  PlaceWindow(0, 0, screenWidth, screenHeight);
  Color = 0x000000;

  const int panelHeight = screenHeight;
  const int panelWidth = PanelWidthFor(panelHeight);
  const int left = (screenWidth - panelWidth) / 2;  // truncated toward zero
  const int top = (screenHeight - panelHeight) / 2;
  ContentPanel->SetBounds(left, top, panelWidth, panelHeight);
  LogEvent("Content Component aligned to rectangle " + std::to_string(left) + "x" + std::to_string(top) +
           "-" + std::to_string(left + panelWidth) + "x" + std::to_string(top + panelHeight));
  Panel1->SetBounds(0, 0, panelWidth, panelHeight);

  const auto& fonts = Application->Fonts();
  const bool found = std::find(fonts.begin(), fonts.end(), "Courier New") != fonts.end();
  LogEvent(found ? "Default font found in the system: Courier New"
                 : "WARNING! Default font not found: Courier New");
  LogEvent("MDI initialized");
}

void TFGameInterface::FormDestroy() {
  LogEvent("MDI destroy procedure begin");
  LogEvent("MDI destroy procedure end");
}

void TFGameInterface::FormKeyDown(int& key) {
  if (key != VK_ESCAPE) return;
  GameHalted = true;
  Application->Terminate();
}

void TFGameInterface::FPSTimerTimer(TThreadedTimer*) {
  ++FPSTicks;
  // The frame-rate text shows the local player's view; until a game session has created
  // the player with its view, the text keeps its initial caption.
  TGLSceneViewer* viewer = LocalViewers != nullptr ? LocalViewers->LocalPlayerViewer() : nullptr;
  if (viewer == nullptr) return;
  StaticText1->SetCaption(FpsText(*viewer, 1));
  ResetFrameCounter(*viewer);  // each text is the average over the last interval
}

}  // namespace orr
