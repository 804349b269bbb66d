// SPDX-License-Identifier: GPL-3.0-or-later
// The digest of the running game's state that replays check: the random generator, the
// local player (place, state, inventory), its camera and view size, and every map entity
// in order, each part hashed on its own so that a difference can be named.
#pragma once

#include "core/Replay.h"

namespace orr {

TStateDigest GameStateDigest();

}  // namespace orr
