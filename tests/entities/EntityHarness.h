// SPDX-License-Identifier: GPL-3.0-or-later
// The entity tests' fixture: the shared headless entity world (tests/support/EntityWorld.h).
#pragma once

#include <gtest/gtest.h>

#include "../support/EntityWorld.h"

namespace orr {

class EntityWorld : public ::testing::Test, public test::TEntityWorld {};

}  // namespace orr
