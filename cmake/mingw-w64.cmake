# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread).
# The libraries come from a prefix built by scripts/build-windows-deps, named by
# ORR_WINDOWS_DEPS (a cache variable or the environment). Every program is linked
# statically: it needs only Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORR_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORR_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORR_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORR_MINGW}-windres)
set(CMAKE_AR ${ORR_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ORR_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT ORR_WINDOWS_DEPS AND DEFINED ENV{ORR_WINDOWS_DEPS})
  set(ORR_WINDOWS_DEPS "$ENV{ORR_WINDOWS_DEPS}")
endif()
set(ORR_WINDOWS_DEPS "${ORR_WINDOWS_DEPS}" CACHE PATH "Prefix of the Windows libraries (scripts/build-windows-deps)")
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORR_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${ORR_MINGW} ${ORR_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: a library found must not pull a DLL along.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# pkg-config answers from the prefix only, with the libraries a static link needs.
set(ENV{PKG_CONFIG_LIBDIR} "${ORR_WINDOWS_DEPS}/lib/pkgconfig:${ORR_WINDOWS_DEPS}/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine when the build or its tests run them, in the
# project's own Wine prefix (scripts/wine-run).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(ORR_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORR_WINE_RUN})
endif()
