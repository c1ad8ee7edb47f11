# Cross-build for Windows with the MinGW-w64 i686 toolchain (i686-w64-mingw32-gcc, -g++, -windres,
# -dlltool). Used by the windows-x86 preset; any configure can name it with -DCMAKE_TOOLCHAIN_FILE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QUORIX_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORIX_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORIX_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${QUORIX_MINGW_TRIPLET}-windres)

# Headers and libraries come from the toolchain's own tree only; programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
