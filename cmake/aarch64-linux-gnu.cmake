# Cross-build for 64-bit ARM Linux (Raspberry Pi 3/4/5 on a 64-bit system,
# ARM laptops) with Debian's GNU toolchain.
#
#   cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# Debian packages: g++-aarch64-linux-gnu (compiler), qemu-user-static (to run
# the programs on an x86-64 machine: qemu-aarch64-static).

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ORLIMAR_ARM64_TRIPLET aarch64-linux-gnu)

set(CMAKE_C_COMPILER   ${ORLIMAR_ARM64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ORLIMAR_ARM64_TRIPLET}-g++)

# Headers and libraries from the cross sysroot only, never the host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${ORLIMAR_ARM64_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ORLIMAR_QEMU_ARM64 NAMES qemu-aarch64-static qemu-aarch64 NO_CMAKE_FIND_ROOT_PATH)
  if(ORLIMAR_QEMU_ARM64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ORLIMAR_QEMU_ARM64})
  endif()
endif()
