#include "app/UProgram.h"

int main() { return orr::RunProgram(orr::CreateSdlBackend(), orr::GameCreationSteps()); }
