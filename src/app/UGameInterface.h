// SPDX-License-Identifier: GPL-3.0-or-later
// The game window: full screen, black, a centred 4:3 panel hosting the player's 3D view,
// the frame-rate text in the top-left corner, and Escape to end the game.
#pragma once

#include "session/UGameModule.h"
#include "platform/Forms.h"
#include "platform/ThreadedTimer.h"

namespace orr {

class TFGameInterface : public TForm, public TGamePanelHost {
 public:
  explicit TFGameInterface(TComponent* owner);

  // Panel1, the host of the local player's view.
  TPanel* GamePanel() override { return Panel1; }
  // Where the frame-rate text takes its viewer from; the program's creation steps set it to
  // the game module (not owned). Without it the text keeps its initial caption.
  TLocalViewerSource* LocalViewers = nullptr;

  TPanel* ContentPanel;
  TPanel* Panel1;  // host of the local player's 3D view
  TStaticText* StaticText1;
  TThreadedTimer* FPSTimer;

  // Width of the 4:3 panel for a screen height: height / 0.75 in single precision,
  // rounded to nearest, halves to even.
  static int PanelWidthFor(int screenHeight);

  void FPSTimerTimer(TThreadedTimer* sender);
  // Ticks that reached the handler (the frame-rate text needs a player's viewer to show).
  int FPSTicks = 0;

 protected:
  void FormCreate() override;
  void FormDestroy() override;
  void FormKeyDown(int& key) override;
};

extern TFGameInterface* FGameInterface;

}  // namespace orr
