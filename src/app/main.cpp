// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UProgram.h"

int main() { return orr::RunProgram(orr::CreateSdlBackend(), orr::GameCreationSteps()); }
