// Game time: the world advances in fixed steps of StepSeconds, each running a list of step
// handlers (the render module keeps the game's list).
#pragma once

namespace orr {

// Seconds of one game step. The step accumulator is single precision, but it is compared
// with and reduced by this exact hundredth, each result rounded to single precision again:
// a float holding 0.01 s (0.0099999998) is not yet a whole step.
constexpr double StepSeconds = 0.01;
// The step as the single-precision timers of the game rules count it: each timer adds or
// takes this float once per step, so its sums are those of single arithmetic.
constexpr float StepSecondsF = static_cast<float>(StepSeconds);
static_assert(StepSecondsF == 0.01f);

// A parameterless operation bound to one object, run once per step. Two handlers are equal
// when both the function and the object are the same; an entry without a function is
// skipped.
struct TStepHandler {
  using TCode = void (*)(void* object);
  TCode Code = nullptr;
  void* Data = nullptr;
  void operator()() const { Code(Data); }
  bool operator==(const TStepHandler&) const = default;
};

// The handler that calls object->*Method(); the same method and object always give an
// equal handler.
template <auto Method, class T>
TStepHandler StepHandlerOf(T* object) {
  return {[](void* o) { (static_cast<T*>(o)->*Method)(); }, object};
}

}  // namespace orr
