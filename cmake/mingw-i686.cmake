# Cross-build for Windows with the MinGW-w64 i686 toolchain (i686-w64-mingw32-gcc, -g++, -windres,
# -dlltool). Used by the windows-x86 preset; any configure can name it with -DCMAKE_TOOLCHAIN_FILE.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUORIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
