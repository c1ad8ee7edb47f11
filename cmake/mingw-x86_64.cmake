# Cross-build for Windows with the MinGW-w64 x86_64 toolchain (x86_64-w64-mingw32-gcc, -g++, -windres,
# -dlltool). Used by the windows-x64 preset; any configure can name it with -DCMAKE_TOOLCHAIN_FILE.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUORIX_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)
