// SPDX-License-Identifier: GPL-3.0-or-later
// Game time: the world advances in fixed steps of StepSeconds, each running a list of step
// handlers (core/GameSteps.h keeps the game's list and runs it).
#pragma once

#include <type_traits>

#include "platform/Keyboard.h"

namespace orr {

// Seconds of one game step. The step accumulator is single precision, but it is compared
// with and reduced by this exact hundredth, each result rounded to single precision again:
// a float holding 0.01 s (0.0099999998) is not yet a whole step.
constexpr double StepSeconds = 0.01;
// The step as the single-precision timers of the game rules count it: each timer adds or
// takes this float once per step, so its sums are those of single arithmetic.
constexpr float StepSecondsF = static_cast<float>(StepSeconds);
static_assert(StepSecondsF == 0.01f);

// An operation bound to one object, run once per step with the keys of that step. Two
// handlers are equal when both the function and the object are the same; an entry without
// a function is skipped.
struct TStepHandler {
  using TCode = void (*)(void* object, const TKeySnapshot& keys);
  TCode Code = nullptr;
  void* Data = nullptr;
  void operator()(const TKeySnapshot& keys) const { Code(Data, keys); }
  bool operator==(const TStepHandler&) const = default;
};

// The handler that calls object->*Method(keys), or object->*Method() for a method that
// takes no keys; the same method and object always give an equal handler.
template <auto Method, class T>
TStepHandler StepHandlerOf(T* object) {
  if constexpr (std::is_invocable_v<decltype(Method), T*, const TKeySnapshot&>)
    return {[](void* o, const TKeySnapshot& keys) { (static_cast<T*>(o)->*Method)(keys); }, object};
  else return {[](void* o, const TKeySnapshot&) { (static_cast<T*>(o)->*Method)(); }, object};
}

}  // namespace orr
