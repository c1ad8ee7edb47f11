# Builds and runs a small user project against an installed module twice: through find_package and through
# pkg-config. Either installs a build into a scratch prefix first, or checks an installation already made
# (the Debian packages, by ci/packages.sh).
#   -DBUILD=<build folder>              install this build into <SCRATCH>/prefix, with the library folder lib
#   -DPREFIX=<prefix> -DLIBDIR=<folder> or use what is installed there (LIBDIR relative to PREFIX)
#   -DSOURCE=<source folder> -DSCRATCH=<folder> -DLAY=<lay file> -DCC=<C compiler>
file(REMOVE_RECURSE "${SCRATCH}")
if(DEFINED BUILD)
    set(PREFIX "${SCRATCH}/prefix")
    set(LIBDIR lib)
endif()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

if(DEFINED BUILD)
    run(${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}")
endif()
foreach(installed ${LIBDIR}/libquorix_marker.so ${LIBDIR}/quorix_marker/libvqlog.so bin/quorix-import
        share/doc/quorix-import/docs/converter.md share/doc/libquorix-marker-dev/docs/library.md
        include/quorix_marker/ImportQuorixFile.h ${LIBDIR}/cmake/quorix_marker/quorix_markerConfig.cmake
        ${LIBDIR}/pkgconfig/quorix_marker.pc)
    if(NOT EXISTS "${PREFIX}/${installed}")
        message(FATAL_ERROR "not installed: ${PREFIX}/${installed}")
    endif()
endforeach()
# The host-log stand-in stays out of the library folder, where every program's dynamic linker would find it.
if(EXISTS "${PREFIX}/${LIBDIR}/libvqlog.so")
    message(FATAL_ERROR "libvqlog.so is installed in the library folder ${PREFIX}/${LIBDIR}")
endif()

run(${CMAKE_COMMAND} -S "${SOURCE}/tests/install/consumer" -B "${SCRATCH}/consumer" -G Ninja
    "-DCMAKE_PREFIX_PATH=${PREFIX}" "-DCMAKE_C_COMPILER=${CC}")
run(${CMAKE_COMMAND} --build "${SCRATCH}/consumer")
# The users' programs run in the scratch folder, where the module creates its diagnostic log (removed below).
run(${CMAKE_COMMAND} -E chdir "${SCRATCH}" "${SCRATCH}/consumer/consumer" "${LAY}")
if(NOT out STREQUAL "result 1 name W12-LAY\n")
    message(FATAL_ERROR "find_package consumer printed: ${out}")
endif()

set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${LIBDIR}/pkgconfig")
run(pkg-config --cflags --libs quorix_marker)
# Plain paths: a user reading the flags sees where the files are.
if(out MATCHES "/\\.\\./|/\\./")
    message(FATAL_ERROR "pkg-config prints paths that are not normalised: ${out}")
endif()
separate_arguments(flags UNIX_COMMAND "${out}")
run("${CC}" "${SOURCE}/tests/install/consumer/main.c" ${flags} -o "${SCRATCH}/pc-consumer")
if(DEFINED BUILD) # a prefix outside the dynamic linker's folders
    set(ENV{LD_LIBRARY_PATH} "${PREFIX}/${LIBDIR}")
endif()
run(${CMAKE_COMMAND} -E chdir "${SCRATCH}" "${SCRATCH}/pc-consumer" "${LAY}")
if(NOT out STREQUAL "result 1 name W12-LAY\n")
    message(FATAL_ERROR "pkg-config consumer printed: ${out}")
endif()
message(STATUS "installed package used through find_package and pkg-config")
file(REMOVE "${SCRATCH}/Log.txt")

# No library search path that an attacker can fill: every RUNPATH and RPATH entry of every ELF file built
# or installed is absolute or relative to the file itself ($ORIGIN). An empty entry, or a relative one,
# makes the dynamic linker search the current folder of whoever runs the program.
find_program(READELF readelf REQUIRED)
if(DEFINED BUILD)
    # The programs and libraries built, not the tests' scratch folders, where a test's pipe would block the read.
    file(GLOB_RECURSE candidates LIST_DIRECTORIES false "${BUILD}/src/*" "${BUILD}/cli/*" "${PREFIX}/*")
else()
    set(candidates "${PREFIX}/${LIBDIR}/libquorix_marker.so" "${PREFIX}/${LIBDIR}/quorix_marker/libvqlog.so"
        "${PREFIX}/bin/quorix-import")
endif()
set(checked 0)
foreach(candidate ${candidates})
    if(IS_SYMLINK "${candidate}" OR candidate MATCHES "/CMakeFiles/")
        continue()
    endif()
    file(READ "${candidate}" magic LIMIT 4 HEX)
    if(NOT magic STREQUAL "7f454c46")
        continue()
    endif()
    run("${READELF}" -d "${candidate}")
    math(EXPR checked "${checked} + 1")
    string(REGEX MATCHALL "\\((RUNPATH|RPATH)\\)[^\n]*\\[[^]\n]*\\]" lines "${out}")
    foreach(line ${lines})
        string(REGEX REPLACE ".*\\[(.*)\\]" "\\1" entries "${line}")
        string(REPLACE ":" ";:;" entries ":${entries}:") # every entry, an empty one too, between two ":"
        set(previous "")
        foreach(entry ${entries})
            if(entry STREQUAL ":" AND previous STREQUAL ":")
                message(FATAL_ERROR "${candidate}: an empty search path entry (the current folder): ${line}")
            endif()
            if(NOT entry STREQUAL ":" AND NOT entry MATCHES "^(/|\\$ORIGIN)")
                message(FATAL_ERROR "${candidate}: a relative search path entry '${entry}': ${line}")
            endif()
            set(previous "${entry}")
        endforeach()
    endforeach()
endforeach()
if(checked EQUAL 0)
    message(FATAL_ERROR "no ELF file found to check the search paths of")
endif()
message(STATUS "search paths of ${checked} ELF files: absolute or \$ORIGIN only")
