// Game time: the world advances in fixed steps of StepSeconds.
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

}  // namespace orr
