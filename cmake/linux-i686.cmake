# Build for 32-bit x86 Linux on an x86-64 Linux machine, with the machine's own GCC and its multilib files
# (Debian: g++-multilib). Floating-point arithmetic uses SSE2, as in the 32-bit Windows module, so that the
# numbers written match the other builds exactly. Programs built here run through qemu-i386 (Debian:
# qemu-user): a machine's kernel need not be able to start 32-bit programs. Used by the linux-x86 preset.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
# Libraries for this target live in the i386 multiarch and lib32 folders; never take the x86-64 ones.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(QUORIX_DEBIAN_ARCHITECTURE i386) # the architecture of the Debian packages of libraries for this target
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)

find_program(QUORIX_QEMU_I386 qemu-i386)
if(NOT QUORIX_QEMU_I386)
    message(FATAL_ERROR "qemu-i386 not found: install qemu-user (the tests of a 32-bit build run through it)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORIX_QEMU_I386})
