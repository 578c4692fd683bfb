# Cross-compiles Windows binaries with mingw-w64 (posix thread model) for the
# architecture in QARN_ARCH: i686, the deliverables' (the default), or
# x86_64, used for the tests on machines that cannot run 32-bit code.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake -DQARN_ARCH=x86_64 ...
# CMake reads this file again in every try_compile project; the variable
# reaches those through CMAKE_TRY_COMPILE_PLATFORM_VARIABLES.
set(QARN_ARCH i686 CACHE STRING "Target architecture of the Windows binaries: i686 or x86_64")
if(NOT QARN_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "QARN_ARCH is '${QARN_ARCH}'; it must be i686 or x86_64")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QARN_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QARN_ARCH})

set(CMAKE_C_COMPILER   ${QARN_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QARN_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  ${QARN_ARCH}-w64-mingw32-windres)
set(CMAKE_AR           ${QARN_ARCH}-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${QARN_ARCH}-w64-mingw32-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QARN_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
