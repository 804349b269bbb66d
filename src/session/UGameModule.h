// SPDX-License-Identifier: GPL-3.0-or-later
// The game module: sets up the game session at start-up (map, scene, entities, the local
// player with its view and keys) and tears it down at exit.
#pragma once

#include <string>

#include "map/UMapModule.h"
#include "platform/Classes.h"

namespace orr {

class TPanel;
class TGLSceneViewer;

// What the game window offers the session: the panel that hosts the local player's view.
class TGamePanelHost {
 public:
  virtual TPanel* GamePanel() = 0;

 protected:
  ~TGamePanelHost() = default;
};

// What the session offers the game window: the local player's viewer, whose frame counter
// feeds the frame-rate text; nullptr while there is none.
class TLocalViewerSource {
 public:
  virtual TGLSceneViewer* LocalPlayerViewer() = 0;

 protected:
  ~TLocalViewerSource() = default;
};

// The program's creation steps wire the two: the game window is handed to the game module's
// constructor, and the game module is handed back to the window as its viewer source.
class TDMGameModule : public TDataModule, public TLocalViewerSource {
 public:
  // `window` offers the panel of the local player's view; nullptr for none (not owned).
  explicit TDMGameModule(TComponent* owner, TGamePanelHost* window = nullptr)
      : TDataModule(owner), Window(window) {}

  TGamePanelHost* const Window;

  // The viewer of the first player record's local player.
  TGLSceneViewer* LocalPlayerViewer() override;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMGameModule* DMGameModule;

// The episode played: relative to the game's folder.
extern const char* const EpisodeFolder;   // "Episodes/"
extern const char* const EpisodeMapFile;  // "Test/Promo4.orx"
// The episode's map file in a game folder named with its closing separator (WorkFolder in
// the game); the game and the simulator both find it here.
std::string EpisodeMapPath(const std::string& gameFolder);
// A map file the session loads instead of the episode (the simulator's choice); empty in
// the game. TearDownSession clears it.
extern std::string EpisodeMapOverride;

// "last-run.replay": the file each session's replay goes to, in the log's folder.
extern const char* const ReplayFileName;

// Loads the episode, prepares the scene, spawns the map's entities, creates the local
// player on the panel the game module's window offers, binds its keys and releases the
// game. A map that is missing or unreadable shows a message and asks the application to
// end; the game stays halted. Without a panel (no game module, no window, or no panel)
// an error is logged and the player plays unseen.
void SetUpSession();
// Frees every map entity, then every player record (with its player and view).
void TearDownSession();
// Points EntityServices at the render and graphics modules (scene, sprites, font, step
// registry, scene windows).
void ConnectRenderServices();

}  // namespace orr
