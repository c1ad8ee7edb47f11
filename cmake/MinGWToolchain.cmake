# The settings shared by the MinGW-w64 toolchain files: the compilers of QUORIX_MINGW_TRIPLET, and headers
# and libraries from the toolchain's own tree only (programs run on the build machine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUORIX_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORIX_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${QUORIX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
