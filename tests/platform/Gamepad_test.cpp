// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Gamepad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orr {
namespace {

// The keys held, by name in a fixed order; any other key shows as "+other".
std::string Held(TKeyStates keys) {
  std::string out;
  const std::pair<int, const char*> names[] = {{VK_UP, "Up"},       {VK_DOWN, "Down"},
                                               {VK_LEFT, "Left"},   {VK_RIGHT, "Right"},
                                               {VK_SPACE, "Space"}, {VK_ESCAPE, "Escape"}};
  for (const auto& [vk, name] : names) {
    if (keys[vk]) out += std::string(out.empty() ? "" : " ") + name;
    keys[vk] = false;
  }
  return keys.any() ? out + " +other" : out;
}

TEST(PadKeys, MapsTheDpadStickFaceButtonTriggerAndBack) {
  struct TCase {
    TPadState Pad;
    const char* Keys;
  };
  auto pad = [](auto set) {
    TPadState p;
    set(p);
    return p;
  };
  const TCase cases[] = {
      {TPadState{}, ""},
      {pad([](TPadState& p) { p.DpadUp = true; }), "Up"},
      {pad([](TPadState& p) { p.DpadDown = p.DpadRight = true; }), "Down Right"},
      {pad([](TPadState& p) { p.DpadLeft = true; }), "Left"},
      // The stick: y grows downwards; its dead zone holds nothing, up to its edge.
      {pad([](TPadState& p) { p.LeftY = -kPadStickDeadZone; }), ""},
      {pad([](TPadState& p) { p.LeftY = -kPadStickDeadZone - 1; }), "Up"},
      {pad([](TPadState& p) { p.LeftY = kPadStickDeadZone + 1; }), "Down"},
      {pad([](TPadState& p) { p.LeftX = kPadStickDeadZone; }), ""},
      {pad([](TPadState& p) { p.LeftX = -32768; }), "Left"},
      {pad([](TPadState& p) { p.LeftX = 32767, p.LeftY = -32768; }), "Up Right"},
      {pad([](TPadState& p) { p.LeftX = 3000, p.LeftY = -5000; }), ""},
      {pad([](TPadState& p) { p.South = true; }), "Space"},
      {pad([](TPadState& p) { p.RightTrigger = kPadTriggerPoint; }), ""},
      {pad([](TPadState& p) { p.RightTrigger = kPadTriggerPoint + 1; }), "Space"},
      {pad([](TPadState& p) { p.Back = true; }), "Escape"},
      // The D-pad and the stick together hold a key once.
      {pad([](TPadState& p) { p.DpadUp = true, p.LeftY = -32768; }), "Up"},
  };
  for (const auto& c : cases) {
    const TPadState& p = c.Pad;
    EXPECT_EQ(Held(PadKeys(p)), c.Keys)
        << "stick " << p.LeftX << "," << p.LeftY << " trigger " << p.RightTrigger;
  }
}

// A pad made by SDL itself (a virtual joystick with a game controller's buttons and axes):
// the whole path from SDL's events and state to the game's keys, without hardware.
class VirtualPads : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    ASSERT_TRUE(pads_.Start()) << SDL_GetError();
  }
  void TearDown() override {
    for (SDL_Joystick* j : held_) SDL_JoystickClose(j);
    pads_.Stop();
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }

  // Plugs in a pad; returns its joystick (whose state the test sets) or nullptr.
  SDL_Joystick* PlugIn() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Orrindel test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return nullptr;
    SDL_Joystick* j = SDL_JoystickOpen(index);
    if (j != nullptr) held_.push_back(j);
    return j;
  }
  void PullOut(SDL_Joystick* j) {
    const SDL_JoystickID id = SDL_JoystickInstanceID(j);
    std::erase(held_, j);
    SDL_JoystickClose(j);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
  }
  // Hands SDL's pending events to the pads, as the backend does; returns the keys reported
  // as pressed.
  std::vector<int> Pump() {
    std::vector<int> pressed;
    SDL_PumpEvents();
    for (SDL_Event e; SDL_PollEvent(&e) != 0;) {
      if (int key = pads_.HandleEvent(e)) pressed.push_back(key);
    }
    return pressed;
  }

  TGamepads pads_;
  std::vector<SDL_Joystick*> held_;
};

TEST_F(VirtualPads, PlayWhilePluggedInAndStopWhenPulledOut) {
  Pump();
  EXPECT_EQ(pads_.Count(), 0);
  EXPECT_EQ(Held(pads_.HeldKeys()), "");

  SDL_Joystick* pad = PlugIn();
  ASSERT_NE(pad, nullptr) << SDL_GetError();
  Pump();
  ASSERT_EQ(pads_.Count(), 1) << "the pad plugged in is not followed";
  EXPECT_EQ(Held(pads_.HeldKeys()), "");

  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, -20000);
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 1);
  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
  EXPECT_EQ(Pump(), std::vector<int>{});
  EXPECT_EQ(Held(pads_.HeldKeys()), "Up Left Space");

  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 4000);  // resting off centre
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0);
  // The pad's trigger is a whole joystick axis: at rest at its low end.
  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
  Pump();
  EXPECT_EQ(Held(pads_.HeldKeys()), "Space");
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);

  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 1);
  EXPECT_EQ(Pump(), std::vector<int>{VK_ESCAPE}) << "Back is pressed once";
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 0);
  EXPECT_EQ(Pump(), std::vector<int>{}) << "releasing Back presses nothing";

  SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, 32767);
  Pump();
  EXPECT_EQ(Held(pads_.HeldKeys()), "Right");
  PullOut(pad);
  Pump();
  EXPECT_EQ(pads_.Count(), 0) << "the pad pulled out is still followed";
  EXPECT_EQ(Held(pads_.HeldKeys()), "") << "a pad pulled out leaves its keys held";

  // Plugged in again, it plays again; two pads add up.
  SDL_Joystick* first = PlugIn();
  SDL_Joystick* second = PlugIn();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  SDL_JoystickSetVirtualButton(first, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
  SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1);
  Pump();
  EXPECT_EQ(pads_.Count(), 2);
  EXPECT_EQ(Held(pads_.HeldKeys()), "Down Right");
  PullOut(first);
  Pump();
  EXPECT_EQ(Held(pads_.HeldKeys()), "Right");
}

// Stopped, the pads' subsystem can be started again; a second stop leaves alone what
// others still hold of it.
TEST_F(VirtualPads, AStoppedSubsystemStartsAgainAndASecondStopQuitsNothing) {
  pads_.Stop();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u);
  ASSERT_TRUE(pads_.Start());
  EXPECT_NE(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();  // another holder
  pads_.Stop();
  pads_.Stop();
  EXPECT_NE(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u);
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

TEST(Gamepads, WithoutTheirSubsystemFollowNothing) {
  TGamepads pads;
  SDL_Event added{};
  added.type = SDL_CONTROLLERDEVICEADDED;
  SDL_Event back{};
  back.type = SDL_CONTROLLERBUTTONDOWN;
  back.cbutton.button = SDL_CONTROLLER_BUTTON_BACK;
  EXPECT_EQ(pads.HandleEvent(added), 0);
  EXPECT_EQ(pads.HandleEvent(back), 0);
  EXPECT_EQ(pads.Count(), 0);
  EXPECT_EQ(Held(pads.HeldKeys()), "");
}

}  // namespace
}  // namespace orr
