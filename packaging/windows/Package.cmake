# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows packages, made by cpack in the build folder (scripts/build-windows does it):
#
#   cpack -G ZIP    Orrindel-<version>-windows-x64.zip: a folder to unpack and run
#   cpack -G NSIS   Orrindel-<version>-windows-x64.exe: an installer for the current user
#
# Both hold the same folder:
#
#   orrindel.exe, orx.exe, orrindel-sim.exe, orrindel-play.exe, orrindel-watch.exe
#   Episodes\Test\Promo4.orx, Graphics\...        the game's data
#   Fonts\                                        the fallback fonts (below)
#   README.md, COPYING.txt, docs\
#
# The programs need only Windows' own DLLs. The game writes log.txt beside itself, or in
# %LOCALAPPDATA%\Orrindel\ when its folder is not writable.

install(DIRECTORY ${ORR_GAME_DIR}/Episodes ${ORR_GAME_DIR}/Graphics DESTINATION .)

# A font name that no font in the Windows Fonts folder carries falls back to these, as
# fontconfig falls back on Linux (Wine's Fonts folder is empty): the same files, from the
# same Debian packages, with their licences.
set(ORR_FALLBACK_FONTS
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  /usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf
  /usr/share/fonts/truetype/liberation/LiberationMono-Bold.ttf)
foreach(font ${ORR_FALLBACK_FONTS})
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} is missing: scripts/build-windows installs it")
  endif()
endforeach()
install(FILES ${ORR_FALLBACK_FONTS} DESTINATION Fonts)
# build-win/game/ is the same runnable folder.
file(COPY ${ORR_FALLBACK_FONTS} DESTINATION ${ORR_GAME_DIR}/Fonts)
install(FILES /usr/share/doc/fonts-dejavu-core/copyright DESTINATION Fonts RENAME DejaVu-copyright.txt)
install(FILES /usr/share/doc/fonts-liberation/copyright DESTINATION Fonts RENAME Liberation-copyright.txt)

install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/copyright DESTINATION . RENAME COPYING.txt)
install(FILES ${CMAKE_SOURCE_DIR}/docs/orx.md ${CMAKE_SOURCE_DIR}/docs/map-format.md ${CMAKE_SOURCE_DIR}/docs/windows.md
  DESTINATION docs)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Orrindel)
set(CPACK_PACKAGE_VENDOR Orrindel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "top-down 3D action role-playing game")
set(CPACK_PACKAGE_FILE_NAME Orrindel-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Orrindel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Orrindel)
set(CPACK_OUTPUT_FILE_PREFIX packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/copyright)
# The zip unpacks into a folder of its own.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

# The installer: per user, no administrator rights, into %LOCALAPPDATA%\Programs\Orrindel,
# a Start-menu entry with the game's icon, an uninstaller listed under Apps.
set(ORR_ICON_FILE ${CMAKE_BINARY_DIR}/src/app/orrindel.ico)
set(CPACK_NSIS_PACKAGE_NAME Orrindel)
set(CPACK_NSIS_DISPLAY_NAME Orrindel)
set(CPACK_NSIS_INSTALL_ROOT "$LOCALAPPDATA\\\\Programs")
set(CPACK_NSIS_MUI_ICON ${ORR_ICON_FILE})
set(CPACK_NSIS_MUI_UNIICON ${ORR_ICON_FILE})
set(CPACK_NSIS_INSTALLED_ICON_NAME orrindel.exe)
set(CPACK_PACKAGE_EXECUTABLES orrindel Orrindel)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MODIFY_PATH OFF)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_URL_INFO_ABOUT "https://orrindel.example/")

# CMake's installer script, made per user: it asks for the user's rights only, keeps its
# shortcuts and its registry entries in the user's part (SetShellVarContext current, HKCU).
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in template)
string(REPLACE "RequestExecutionLevel admin" "RequestExecutionLevel user" template "${template}")
string(REPLACE "SetShellVarContext all" "SetShellVarContext current" template "${template}")
string(REPLACE "HKLM \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" "HKCU \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" template "${template}")
# A 64-bit installer for the 64-bit game: the 32-bit one would need WoW64 (wine32 under Wine).
# (after the first line: the template begins with a byte-order mark)
string(FIND "${template}" "\n" first_line_end)
math(EXPR first_line_end "${first_line_end} + 1")
string(SUBSTRING "${template}" 0 ${first_line_end} first_line)
string(SUBSTRING "${template}" ${first_line_end} -1 rest)
set(template "${first_line}Target amd64-unicode\n${rest}")
string(FIND "${template}" "RequestExecutionLevel user" found)
if(found EQUAL -1)
  message(FATAL_ERROR "CMake's NSIS template changed: the installer would ask for administrator rights")
endif()
set(ORR_NSIS_TEMPLATE_DIR ${CMAKE_CURRENT_BINARY_DIR}/nsis)
file(WRITE ${ORR_NSIS_TEMPLATE_DIR}/NSIS.template.in "${template}")
set(CPACK_MODULE_PATH ${ORR_NSIS_TEMPLATE_DIR})

include(CPack)
