// The entities of the game: everything that lives on the map (items, creatures, the player)
// and the player record, with their per-step rules.
//
// Class tree (single inheritance, virtual operations in fixed order):
//
//   TMapEntity
//     TVisualMapEntity           sprite, heading, animation frame
//       TItem                    pick-up: health, armour, weapon crate, ammunition
//       TPhysEntity              velocity, collision, hit cylinder, ray casts
//         TCreature              health, armour, weapon cycle, animation rows, laser
//                                (its hidden marker comes first: base TCreatureMarker)
//           TBasicPlayer         bound to a TPlayerRecord, picks items up
//             TLocalPlayer       keyboard, scene window, status image
//           TNPC                 computer-controlled behaviour (NPC.cpp)
//
// Ownership: MapEntities owns the map's entities, PlayerRecords owns the records, a record
// owns its player entity, the local player owns its view. Scene objects belong to the scene;
// an entity frees the ones it made when it is freed (unless the scene went first).
// Every visual entity registers its Progress as a step handler when built and removes it
// when freed, so a step never reaches a freed entity.
//
// Units: positions in world units (one per map cell), angles in degrees, timers in seconds
// of game time; one step is StepSeconds (0.01 s).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/GameSteps.h"
#include "core/Numbers.h"
#include "map/UMapModule.h"
#include "scene/GLBitmapFont.h"
#include "scene/GLObjects.h"
#include "scene/GLScene.h"

namespace orr {

class TPanel;
class TControl;
class TGLSceneViewer;
class TImage32;
class TBitmap32;

// One player's view of the map: the scene window the local player moves its camera with.
class TPlayerView {
 public:
  virtual ~TPlayerView() = default;
  // Point the camera glides to (the first one is taken at once).
  virtual void SetCameraTarget(const TVector& point) = 0;
  virtual void RefreshVisibleCells() = 0;
  // The viewer control (parent of the status image; its frame counter feeds the frame-rate
  // text); nullptr when the view has none.
  virtual TGLSceneViewer* Viewer() = 0;
};

// What the entities use of the render module. The game session fills it from the render
// module's globals; tests fill it with a plain scene. (Entities put their step handlers on
// the game clock, core/GameSteps.h, themselves.)
struct TEntityServices {
  TGLScene* Scene = nullptr;                     // the world's scene (MainScene)
  TGLMaterialLibrary* StaticSprites = nullptr;   // item sprites by file name
  TGLWindowsBitmapFont* Font = nullptr;          // font of the pick-up texts
  // Animated sprite library of a folder name (case-insensitive), nullptr when missing.
  std::function<TGLMaterialLibrary*(const std::string& folder)> AniSprites;
  // A loaded 2D bitmap by file name, nullptr when missing.
  std::function<const TBitmap32*(const std::string& name)> Bitmap;
  // Makes the scene window of a local player on a panel.
  std::function<std::unique_ptr<TPlayerView>(TPanel* panel)> MakeView;
};
extern TEntityServices EntityServices;

// ---- Tables -----------------------------------------------------------------------------

// The weapons by the numbers the player record, the NPC table and the crates count them.
enum class TWeapon : std::uint8_t {
  Fists, Suppressor, Shotgun, M4Carbine, Flamer, GatlingGun, AutoShotgun, GrenadeLauncher, C4Detonator
};
constexpr int WeaponCount = static_cast<int>(TWeapon::C4Detonator) + 1;
constexpr int AmmoTypeCount = 6;
constexpr int NpcKindCount = 7;

// One weapon's numbers.
struct TWeaponRow {
  std::uint8_t Capacity;  // how many a player carries
  float FireRate;         // shots per second
  float MinDistance;      // world units: with a wall nearer than this ahead it does not fire
  std::int32_t Range;     // tenths of a unit
  std::int8_t AmmoType;   // ammunition type it uses, -1 for none (fists)
};
// By weapon number (TWeapon).
extern const std::array<TWeaponRow, WeaponCount> WeaponTable;
extern const std::array<std::uint16_t, AmmoTypeCount> AmmoCapacity;

// Every body's radius (collision, pick-up, hit cylinder), and so the margin a body's centre
// keeps from a blocked cell. A double: the wall test compares in double precision.
constexpr double BodyRadius = 0.4;
// How high above the local player its camera flies (world units); a pick-up text rises
// until it reaches that height and vanishes.
constexpr float CameraHeight = 15;
extern const std::array<std::uint8_t, 4> AnimFirstFrame;
extern const std::array<std::uint8_t, 4> AnimFrameCount;
extern const std::array<float, NpcKindCount> NpcSpeed;  // units per second
extern const std::array<std::uint8_t, NpcKindCount> NpcWeapon;
extern const std::array<bool, NpcKindCount> NpcLaser;

// What a creature does, and so the row of its animation: 0 idle, 1 walking, 2 aiming,
// 3 firing. Requests of a step are kept as bits numbered by these values.
enum class TCreatureAction : std::uint8_t { Idle = 0, Walk = 1, Aim = 2, Fire = 3 };
// The bits of TCreature::ActionRequests: an action numbered beyond them cannot be requested.
constexpr unsigned ActionRequestBits = 8;
// Where a creature's weapon is in its cycle: reloading until the next shot, then showing
// the shot for a tenth of a second.
enum class TWeaponPhase : std::uint8_t { Reloading = 0, ShotShown = 2 };
// Walking directions relative to the heading.
enum class TMoveDirection { Forward = 0, Right = 1, Back = 2, Left = 3 };
// An NPC's idle behaviour, read from its record's Param1; any other number stands still.
enum class TNpcMode : std::uint8_t { LookAround = 0, Roam = 1, Patrol = 2 };
// What an NPC is doing about the players.
enum class TNpcState : std::uint8_t { Idle = 0, Engage = 1, Pursue = 2, Search = 3 };

// The nearest scene object hit by a ray (or none), the hit point and the normal there.
struct RayHit {
  TGLBaseSceneObject* Object = nullptr;
  TVector Point;
  TVector Normal;
};

class TFlyText;
class TPlayerRecord;

// ---- Entity classes ---------------------------------------------------------------------

class TMapEntity {
 public:
  TMapEntity();
  virtual ~TMapEntity();
  TMapEntity(const TMapEntity&) = delete;
  TMapEntity& operator=(const TMapEntity&) = delete;

  bool Hidden = false;          // out of play: not drawn, not picked up
  float RespawnTimer = 0;       // seconds counted while hidden
  std::uint8_t RespawnDelay = 0;  // seconds until a hidden entity reappears; 0 never
  TPackedEntity Spawn;          // the map record the entity was made from
  TGLDummyCube* Anchor = nullptr;  // position = the entity's position, roll = heading
  float Radius = static_cast<float>(BodyRadius);  // collision and pick-up radius
  std::int32_t SpatialSlot = -1;  // place in MapEntities as the spatial index last read it

  virtual void SetHidden(bool value);
  virtual void SetSpawn(const TPackedEntity& record);
  virtual void SetPosition(const TVector& position);
  virtual void SetRespawnDelay(int seconds);
  virtual void Progress();

  TVector GetPosition() const;
  // Places the entity at the centre of a random free cell. Bounded: after 64 x W x H draws
  // every cell is tried in order; with no free cell a warning is logged and the entity
  // stays where it is. Returns false then.
  bool PlaceRandomly();
  bool IsSpotOccupied(std::int32_t x, std::int32_t y) const;

 protected:
  // Runs the respawn count-down (shared by the subclasses that keep it).
  void CountDownRespawn();
};

class TVisualMapEntity : public TMapEntity {
 public:
  TVisualMapEntity();
  ~TVisualMapEntity() override;

  TGLPlane* Sprite = nullptr;
  float Heading = 0;         // degrees, 0..359; 0 faces +y
  std::uint8_t Frame = 0;    // animation frame number
  float Height = 0.5f;       // sprite Z above the anchor; hit cylinder height

  void SetHidden(bool value) override;
  void SetPosition(const TVector& position) override;
  void Progress() override;
  virtual void SetHeight(float height);
  void SetHeading(float angle);
  // The step handler every visual entity registers: Progress, for all but the local
  // player, which also steers by the step's keys.
  virtual void Step(const TKeySnapshot& keys);
};

class TItem : public TVisualMapEntity {
 public:
  TItem();
  ~TItem() override;

  TFlyText* FlyText = nullptr;  // the last pick-up text shown; owned by the item
  std::uint16_t Amount = 0;     // units left

  void SetHidden(bool value) override;
  void SetSpawn(const TPackedEntity& record) override;
  void Progress() override;
  // Takes up to `wanted` units; returns what was taken and shows a pick-up text.
  std::uint16_t Take(std::int32_t wanted);

 private:
  std::unique_ptr<TFlyText> flyText_;
  // The sprite spins a little every step it is shown; the sprite makes the rolls when it is
  // next looked at (drawn, met by a ray), so a step does not touch it.
  TOwedRolls spin_{0.45f, 0};
  TGLScene* scene_ = nullptr;
};

// A pick-up text that rises from where the item was taken and vanishes at camera height.
class TFlyText {
 public:
  TFlyText(const std::string& text, const TVector& position);
  ~TFlyText();
  TFlyText(const TFlyText&) = delete;
  TFlyText& operator=(const TFlyText&) = delete;

  TGLFlatText* Label = nullptr;
  void Rise();

 private:
  TGLScene* scene_ = nullptr;
};

class TPhysEntity : public TVisualMapEntity {
 public:
  TPhysEntity();
  ~TPhysEntity() override;

  TVector Velocity;                  // world units per step
  float Countdown = 0;               // seconds; counted down while positive
  TGLCylinder* HitCylinder = nullptr;  // invisible target of ray casts
  std::uint8_t BouncePercent = 0;    // speed kept when bouncing off a wall; 0 no bounce
  std::uint8_t SlidePercent = 100;   // speed kept when sliding along a wall

  void SetHidden(bool value) override;
  void Progress() override;
  void SetHeight(float height) override;
  virtual void ApplyFriction();
  virtual void TickCountdown();

  TVector Accelerate(const TVector& a) const;
  TVector NextPosition(const TVector& v) const;
  bool IsBlocked(const TVector& v) const;
  TVector ResolveMotion(const TVector& v) const;
  std::int32_t FreeMotionPercent(const TVector& a) const;
  RayHit CastForwardRay();
  // Hits farther than `reach` from the start may be left out: a caller that only asks
  // whether the nearest hit is the target lets the walk stop just behind it.
  RayHit CastRayToward(const TVector& target, float reach = 1e10f);

 protected:
  // A motion ResolveMotion worked out: `Kept` for `Wanted` at `Position`, while the bodies
  // stood as SpatialIndexChanges() counted them.
  struct TResolvedMotion {
    TVector Position, Wanted, Kept;
    std::uint64_t Changes = 0;
    bool Known = false;
  };
  // FreeMotionPercent, also telling the motion it resolved (when it resolved one).
  std::int32_t FreeMotionPercent(const TVector& a, TResolvedMotion* resolved) const;
  // How the step resolves Velocity; a kind that already has the answer may give it.
  virtual TVector StepMotion(const TVector& v) const { return ResolveMotion(v); }
};

// The flat box under a creature, kept hidden. It is a child of the scene root made before
// anything else of the creature, so that it precedes the anchor among the root's children:
// TCreature lists this base first, and bases are built in the order they are listed.
class TCreatureMarker {
 public:
  TGLCube* Marker = nullptr;

 protected:
  TCreatureMarker();
  ~TCreatureMarker();
  TCreatureMarker(const TCreatureMarker&) = delete;
  TCreatureMarker& operator=(const TCreatureMarker&) = delete;
};

class TCreature : public TCreatureMarker, public TPhysEntity {
 public:
  TCreature();
  ~TCreature() override;

  std::uint8_t Health = 0;      // 0..100
  std::uint8_t Armour = 0;      // 0..100
  std::uint8_t Weapon = 0;      // weapon number in use
  float AnimTimer = 0;          // seconds since the last frame change
  TCreatureAction AnimState = TCreatureAction::Idle;    // animation row
  TCreatureAction ActionState = TCreatureAction::Idle;
  float WeaponTimer = 0;        // seconds in the current weapon phase
  TWeaponPhase WeaponPhase = TWeaponPhase::Reloading;
  std::uint8_t ActionRequests = 0;  // bit set of actions requested this step (bit n: action n)
  float Speed = 3;              // units per second
  float LaserLength = 5;
  bool LaserOn = false;
  TGLLines* Laser = nullptr;

  void Progress() override;
  void SetHeight(float height) override;
  void ApplyFriction() override;
  virtual void SetHealth(std::int32_t value);
  virtual void SetArmour(std::int32_t value);
  // Requests an action for this step; a number with no bit in ActionRequests is ignored.
  virtual void RequestAction(TCreatureAction action);

  // The walking vector for a direction; false for a number that names none (the output is
  // left untouched).
  bool MoveVector(TMoveDirection direction, TVector& out) const;
  void Move(TMoveDirection direction);

  bool Requested(TCreatureAction action) const {
    return (ActionRequests >> static_cast<unsigned>(action)) & 1u;
  }
  // Aiming or firing: the weapon cycle runs.
  bool Attacking() const {
    return ActionState == TCreatureAction::Aim || ActionState == TCreatureAction::Fire;
  }

 protected:
  void CreatureProgress();
};

class TBasicPlayer : public TCreature {
 public:
  explicit TBasicPlayer(TPlayerRecord* record);
  // Clears every NPC's Target that points at this player.
  ~TBasicPlayer() override;

  TPlayerRecord* PlayerRecord = nullptr;  // not owned

  void Progress() override;
  void SetHealth(std::int32_t value) override;
  void SetArmour(std::int32_t value) override;
  void RequestAction(TCreatureAction action) override;
  virtual void WeaponChanged();
  void PickUp(TItem& item);

 private:
  std::vector<std::int32_t> nearItems_;  // the items a step's pick-up looks at; kept to reuse
};

// The keys a local player answers to, by virtual-key code; 0 answers to none.
struct TKeyBinding {
  std::uint8_t Forward = 0, Back = 0, TurnLeft = 0, TurnRight = 0, Fire = 0, Use = 0;
};

class TLocalPlayer : public TBasicPlayer {
 public:
  // `view` (may be empty) was made before the player, so its step handler runs before the
  // player's: each step glides the camera toward where the player stood at the end of the
  // previous one. TPlayerRecord::CreateLocalPlayer builds the two in that order.
  TLocalPlayer(TPlayerRecord* record, std::unique_ptr<TPlayerView> view);
  ~TLocalPlayer() override;

  std::unique_ptr<TPlayerView> View;
  TImage32* Hud = nullptr;  // owned by the view's viewer control
  TKeyBinding Keys;  // bound by the session

  void SetPosition(const TVector& position) override;
  // Steers by the bound keys held in `keys` (turn, walk, fire), then runs the player's
  // Progress; a hidden player does neither.
  void Step(const TKeySnapshot& keys) override;
  void Steer(const TKeySnapshot& keys);
  void WeaponChanged() override;
};

class TNPC : public TCreature {
 public:
  TNPC();

  TRoute Route;
  std::uint16_t RouteIndex = 0;  // step to walk to next
  float RouteWait = 0;           // seconds at the step just reached
  TNpcMode Mode = TNpcMode::LookAround;
  TNpcState State = TNpcState::Idle;
  TVector RouteTarget;
  TVector LookTarget;
  TVector LastSeen;
  float Pause = -1;              // seconds; a new look target once negative
  bool LookingAround = false;
  float SearchTimer = 0;
  // The player the last SeekTarget saw (not owned); nullptr when it saw none, and cleared
  // when that player is freed, so it never points at a freed player.
  TMapEntity* Target = nullptr;

  void SetSpawn(const TPackedEntity& record) override;
  void Progress() override;

  void PickLookTarget();
  void PickRoamTarget();
  void NextRouteStep();
  bool SeekTarget();
  bool CanSee(const TMapEntity* entity);
  bool WalkTowards(const TVector& target, std::uint8_t percent);
  bool TurnTowards(const TVector& target);

 private:
  void IdleStep();
  void EngageStep();
  std::uint16_t NpcIndex() const;
  TVector StepMotion(const TVector& v) const override;
  // What the walk's look ahead resolved for the velocity it then set: the step's own motion
  // is the same search on the same inputs. Known only within one Progress, indexes on.
  TResolvedMotion walkMotion_;
};

// ---- Player record ----------------------------------------------------------------------

class TPlayerRecord {
 public:
  TPlayerRecord();
  ~TPlayerRecord();
  TPlayerRecord(const TPlayerRecord&) = delete;
  TPlayerRecord& operator=(const TPlayerRecord&) = delete;

  TLocalPlayer* Player = nullptr;  // owned (see player_)
  std::array<std::uint8_t, WeaponCount> Weapons{};
  std::array<std::uint16_t, AmmoTypeCount> Ammo{};
  std::uint8_t ModelNumber = 0;
  std::string Name;
  std::uint8_t SelectedWeapon = 0;
  std::uint8_t Armour = 0;
  std::uint8_t Health = 0;

  void ResetInventory();
  void CreateLocalPlayer(TPanel* panel);
  void SelectWeapon(std::uint8_t weapon);

 private:
  std::unique_ptr<TLocalPlayer> player_;
};

// ---- Global lists -----------------------------------------------------------------------

// Whether collision and sight queries may use spatial indexes (true) or must scan
// MapEntities plainly (false: the reference the indexes are checked against, set by the
// simulator's --no-index). ResetEntities sets it back to true.
extern bool SpatialIndexEnabled;

// Work done by the step rules, counted for timing tools; the game never reads them.
struct TRuleCounters {
  std::uint64_t RayCasts = 0;        // scene ray casts by physical entities
  std::uint64_t CollisionScans = 0;  // searches of MapEntities for a body in the way
};
extern TRuleCounters RuleCounters;

// The map's live entities in map order; owns them.
extern std::vector<std::unique_ptr<TMapEntity>> MapEntities;
// The player records; owns them.
extern std::vector<std::unique_ptr<TPlayerRecord>> PlayerRecords;

// Frees every record, then every map entity; clears RuleCounters and sets
// SpatialIndexEnabled (tests; unit finalization).
void ResetEntities();

}  // namespace orr
