# SPDX-License-Identifier: GPL-3.0-or-later
# What the web build (cmake/emscripten.cmake) adds to the Linux one: no threads, no X11, no
# fontconfig (the fonts come with the game's data, Fonts/), OpenGL from emscripten's own
# library, and the tools built for node, reading and writing the host's files with ordinary
# paths (NODERAWFS), so that `node build-web/bin/orrindel-sim.js OPTIONS` behaves as the
# native simulator does.

# No pthreads: a page without cross-origin isolation has no shared memory. What would be
# a thread runs in the program's one thread on the web.
add_library(Threads::Threads INTERFACE IMPORTED)
# emscripten links its OpenGL library itself; GLU has no web side.
add_library(OpenGL::GL INTERFACE IMPORTED)
add_library(OpenGL::GLU INTERFACE IMPORTED)

# C++ exceptions are caught (emscripten leaves them out unless told); the memory grows as
# a large map needs it.
add_compile_options(-fexceptions)
add_link_options(-fexceptions -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1)

# The programs end in .js (beside their .wasm), run with node.
set(CMAKE_EXECUTABLE_SUFFIX .js)
set(ORR_EXE_SUFFIX .js)

# orr_web_node_tool(TARGET): a command-line program for node: the host's files, its
# command line, its exit status, stdout and stderr as a native program has them.
function(orr_web_node_tool target)
  target_link_options(${target} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node)
endfunction()

set(ORR_TESTS OFF CACHE BOOL "" FORCE)
set(ORR_BENCH OFF CACHE BOOL "" FORCE)
