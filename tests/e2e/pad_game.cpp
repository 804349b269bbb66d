// SPDX-License-Identifier: GPL-3.0-or-later
// The game with a virtual gamepad for the gamepad test: it reads commands from its standard
// input, one per line, and carries each out on the game's main thread:
//   plug              plugs a pad in (an SDL virtual joystick laid out as a game controller)
//   unplug            pulls it out
//   axis A V          sets the pad's axis A (SDL's game-controller numbering) to V
//   button B 0|1      releases or presses its button B
// Built with the tests only, into build/bin: never installed, never in the game folder.
#include <SDL.h>

#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "app/UProgram.h"

namespace {

SDL_Joystick* Pad = nullptr;

void Run(const std::string& line) {
  std::istringstream in(line);
  std::string what;
  int a = 0, b = 0;
  in >> what >> a >> b;
  if (what == "plug" && Pad == nullptr) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Orrindel test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    Pad = index < 0 ? nullptr : SDL_JoystickOpen(index);
    if (Pad == nullptr) std::cerr << "pad: cannot plug in: " << SDL_GetError() << '\n';
  } else if (what == "unplug" && Pad != nullptr) {
    const SDL_JoystickID id = SDL_JoystickInstanceID(Pad);
    SDL_JoystickClose(Pad);
    Pad = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
  } else if (what == "axis" && Pad != nullptr) {
    SDL_JoystickSetVirtualAxis(Pad, a, static_cast<Sint16>(b));
  } else if (what == "button" && Pad != nullptr) {
    SDL_JoystickSetVirtualButton(Pad, a, static_cast<Uint8>(b));
  } else {
    std::cerr << "pad: cannot do \"" << line << "\" now\n";
  }
}

}  // namespace

int main() {
  auto steps = orr::GameCreationSteps();
  steps.push_back([](orr::TApplication& app) {
    std::thread([&app] {
      for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty()) app.Queue([line] { Run(line); });
      }
    }).detach();
  });
  return orr::RunProgram(orr::CreateSdlBackend(), steps);
}
