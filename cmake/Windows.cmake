# SPDX-License-Identifier: GPL-3.0-or-later
# What the Windows build (cmake/mingw-w64.cmake) adds to the Linux one.

# windows.h without its rarely used parts and without the min/max macros; every program
# has its own main (SDL's replacement entry is not used).
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX SDL_MAIN_HANDLED _WIN32_WINNT=0x0601)

# SDL's static link line makes every program a windowed one (-mwindows) and brings SDL's
# own entry: the tools are console programs, and only the game asks for a window.
foreach(property INTERFACE_LINK_LIBRARIES INTERFACE_LINK_OPTIONS INTERFACE_COMPILE_OPTIONS)
  get_target_property(items PkgConfig::SDL2 ${property})
  if(items)
    list(FILTER items EXCLUDE REGEX "^(-mwindows|-lSDL2main|SDL2main|.*libSDL2main\\.a|-lmingw32|mingw32|-Dmain=SDL_main)$")
    set_target_properties(PkgConfig::SDL2 PROPERTIES ${property} "${items}")
  endif()
endforeach()

set(ORR_BENCH OFF CACHE BOOL "" FORCE)

# Test files that need what only Linux has (fork, sockets, signals, /proc, a shell): not
# built here. The rest of each test program is.
set(ORR_LINUX_ONLY_TEST_SOURCES CrashLog_test.cpp UProgram_test.cpp Builder_test.cpp UMapModule_test.cpp
  Folders_test.cpp
  # the decoder's peak memory is read with getrusage; orx is run and waited for as a child process
  JpegCodec_test.cpp Orx_test.cpp
  # the game's fonts resolve, under Wine, from the Fonts folder beside the game, which the
  # test programs have not (tests/windows/game.sh draws the game's text instead)
  GLBitmapFont_test.cpp)

# The game's folder as a player unpacks or installs it: orrindel.exe beside Episodes\ and
# Graphics\, the tools beside it (packaging/windows/).
set(ORR_INSTALL_GAME_DIR .)
set(ORR_INSTALL_DATA_DIR .)
set(ORR_INSTALL_TOOL_DIR .)
