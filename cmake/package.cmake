# The player's package: one folder, unpacked anywhere and played from there.
#
#   orlimar-<version>-<os>-<cpu>/   (linux-x86_64, linux-aarch64, windows-x86_64)
#     orlimar, orlimar-check       (.exe on Windows)
#     orlimar-joueur.html          the web page's player, for orlimar-check --publier
#     stories/*.txt                the sample stories; saves are written beside them
#     docs/guide-joueur.md         the player's guide
#     docs/guide-auteur.md         the authors' guide
#
# The game looks for ./stories in the folder it is started from, so the
# programs sit at the top, beside stories/. Included by the top-level
# CMakeLists.txt when ORLIMAR_PACKAGE_LAYOUT is on; the package presets build
# with it and write the archive and its SHA-256 checksum to build/package/.

# The programs are linked fully statically, C library included, so that the
# folder runs on any Linux distribution (kernel 3.2 or later), whatever its C
# library's version, and on a machine without a compiler. The MinGW toolchain
# file already links everything statically.
if(NOT WIN32)
  foreach(program IN ITEMS orlimar orlimar_check)
    target_link_options(${program} PRIVATE -static)
  endforeach()
endif()

install(TARGETS orlimar orlimar_check RUNTIME DESTINATION .)

# The web page's player, which orlimar-check --publier fills with stories,
# found beside it. It is built by the web preset (Emscripten), the same page
# for every system: the Windows cross build ships the one built there too.
set(ORLIMAR_PLAYER_PAGE "${PROJECT_SOURCE_DIR}/build/web/orlimar-joueur.html"
    CACHE FILEPATH "The web page's player to ship beside orlimar-check")
if(NOT EXISTS "${ORLIMAR_PLAYER_PAGE}")
  message(FATAL_ERROR "The packages ship the web page's player, ${ORLIMAR_PLAYER_PAGE}, which is missing: "
                      "build it first with `cmake --workflow --preset web` (needs Emscripten).")
endif()
install(FILES "${ORLIMAR_PLAYER_PAGE}" DESTINATION .)
# Only the stories: save files left beside them by a local game stay out.
install(DIRECTORY stories/ DESTINATION stories FILES_MATCHING PATTERN "*.txt")
install(FILES docs/guide-joueur.md docs/guide-auteur.md DESTINATION docs)

string(TOLOWER "${CMAKE_SYSTEM_NAME}" orlimar_package_os)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" orlimar_package_cpu)
if(orlimar_package_cpu STREQUAL "amd64")
  set(orlimar_package_cpu x86_64)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "Orlimar")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Interactive-fiction engine for the text console")
set(CPACK_PACKAGE_FILE_NAME
    "${PROJECT_NAME}-${PROJECT_VERSION}-${orlimar_package_os}-${orlimar_package_cpu}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
