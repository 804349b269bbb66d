# SPDX-License-Identifier: GPL-3.0-or-later
# Building for the web with Debian's emscripten: its own CMake platform file, the libraries
# from a prefix built by scripts/build-web-deps, named by ORR_WEB_DEPS (a cache variable or
# the environment). Node runs what the build runs (the content builder, the map tool) and
# the tests, through scripts/web-node, which mends what node 20 changed under emscripten 3.1.6.
get_filename_component(ORR_WEB_NODE ${CMAKE_CURRENT_LIST_DIR}/../scripts/web-node ABSOLUTE)
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORR_WEB_NODE} CACHE FILEPATH "Runs the build's programs")
endif()
set(ENV{EM_NODE_JS} ${ORR_WEB_NODE})
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# The link runs emscripten's JavaScript compiler and optimiser under node: the same node.
foreach(lang C CXX)
  set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env EM_NODE_JS=${ORR_WEB_NODE})
endforeach()

if(NOT ORR_WEB_DEPS AND DEFINED ENV{ORR_WEB_DEPS})
  set(ORR_WEB_DEPS "$ENV{ORR_WEB_DEPS}")
endif()
set(ORR_WEB_DEPS "${ORR_WEB_DEPS}" CACHE PATH "Prefix of the web libraries (scripts/build-web-deps)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORR_WEB_DEPS)
list(APPEND CMAKE_FIND_ROOT_PATH ${ORR_WEB_DEPS})

# pkg-config answers from the prefix only.
set(ENV{PKG_CONFIG_LIBDIR} "${ORR_WEB_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
