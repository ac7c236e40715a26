# Cross-build for 64-bit Windows with Debian's MinGW-w64 toolchain.
#
#   cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Debian packages: g++-mingw-w64-x86-64-posix (compiler), wine + wine64 (to run
# the .exe files, including the tests under ctest).
#
# The posix thread model is used because the win32 model of GCC 12 has no
# std::thread, std::mutex or std::this_thread::sleep_until.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORLIMAR_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${ORLIMAR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORLIMAR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${ORLIMAR_MINGW_TRIPLET}-windres)

# Look for headers and libraries only in the MinGW sysroot, never in the
# host's /usr (the Linux GTest or Google Benchmark must not be picked up).
# Programs (code generators and the like) still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ORLIMAR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the C and C++ runtimes and winpthread statically so that an .exe runs
# on its own, without libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Run the cross-built executables (ctest, gtest_discover_tests) under Wine.
# On Debian /usr/bin/wine is a launcher that picks /usr/lib/wine/wine64 when
# the 32-bit wine is not installed; there is no wine64 on the PATH.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ORLIMAR_WINE NAMES wine wine64 wine-stable
               PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(ORLIMAR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ORLIMAR_WINE})
  endif()
endif()
