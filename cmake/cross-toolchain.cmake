# Cross-building for an ARM print server with Debian's own toolchains:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/cross-toolchain.cmake -DVELTA_TARGET=aarch64-linux-gnu
# (or arm-linux-gnueabihf for 32-bit Raspberry Pi OS). Libraries come from the
# multiarch -dev packages (libcups2-dev:arm64 ...); programs run under
# qemu-user with the target's root in /usr/<triple>.
set(VELTA_TARGET "aarch64-linux-gnu" CACHE STRING "GNU triple of the target")
set(CMAKE_SYSTEM_NAME Linux)
if(VELTA_TARGET MATCHES "^aarch64")
  set(CMAKE_SYSTEM_PROCESSOR aarch64)
  set(VELTA_QEMU qemu-aarch64)
else()
  set(CMAKE_SYSTEM_PROCESSOR arm)
  set(VELTA_QEMU qemu-arm)
endif()
set(CMAKE_C_COMPILER ${VELTA_TARGET}-gcc)
set(CMAKE_CXX_COMPILER ${VELTA_TARGET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${VELTA_TARGET})
set(CMAKE_FIND_ROOT_PATH /usr/${VELTA_TARGET} /usr/lib/${VELTA_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTA_QEMU} -L /usr/${VELTA_TARGET})
# pkg-config looks only at the target's .pc files, so Little CMS and libexif
# are the target's, not the build machine's. The compiler checks run this
# file again in projects of their own: they get the same target, and leave
# the process's environment alone.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELTA_TARGET)
if(NOT CMAKE_IN_TRY_COMPILE)
  set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${VELTA_TARGET}/pkgconfig:/usr/share/pkgconfig)
endif()
