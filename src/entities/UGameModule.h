// The game module: sets up the game session at start-up (map, scene, entities, the local
// player with its view and keys) and tears it down at exit.
#pragma once

#include <string>

#include "map/UMapModule.h"
#include "platform/Classes.h"

namespace orr {

class TPanel;

class TDMGameModule : public TDataModule {
 public:
  using TDataModule::TDataModule;

 protected:
  void DataModuleCreate() override;
  void DataModuleDestroy() override;
};

extern TDMGameModule* DMGameModule;

// The episode played: relative to WorkFolder.
extern const char* const EpisodeFolder;   // "Episodes/"
extern const char* const EpisodeMapFile;  // "Test/Promo4.orx"
// A map file the session loads instead of the episode (the simulator's choice); empty in
// the game. TearDownSession clears it.
extern std::string EpisodeMapOverride;

// Loads the episode, prepares the scene, spawns the map's entities, creates the local
// player on the game window's 3D panel, binds its keys and releases the game. A map that
// is missing or unreadable shows a message and asks the application to end; the game
// stays halted.
void SetUpSession();
// Frees every map entity, then every player record (with its player and view).
void TearDownSession();
// Appends a new player record to PlayerRecords.
void AddPlayerRecord();
// One entity per entity record of GameMap, in file order.
void SpawnEntities();
// Kind 0 makes an NPC, kinds 3 to 6 an item; other kinds make nothing.
void SpawnEntity(const TPackedEntity& record);
void FreeMapEntities();

// Points EntityServices at the render and graphics modules (scene, sprites, font, step
// registry, scene windows).
void ConnectRenderServices();
// The main window's panel named "Panel1", nullptr when there is none.
TPanel* FindGamePanel();

}  // namespace orr
