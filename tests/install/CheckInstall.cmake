# Installs the build into a scratch prefix, then builds and runs a small user project against it twice:
# through find_package and through pkg-config.
#   -DBUILD=<build folder> -DSOURCE=<source folder> -DSCRATCH=<folder> -DLAY=<lay file> -DCC=<C compiler>
file(REMOVE_RECURSE "${SCRATCH}")
set(prefix "${SCRATCH}/prefix")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}")
foreach(installed lib/libquorix_marker.so lib/libvqlog.so bin/quorix-import include/quorix_marker/ImportQuorixFile.h
        lib/cmake/quorix_marker/quorix_markerConfig.cmake lib/pkgconfig/quorix_marker.pc)
    if(NOT EXISTS "${prefix}/${installed}")
        message(FATAL_ERROR "not installed: ${installed}")
    endif()
endforeach()

run(${CMAKE_COMMAND} -S "${SOURCE}/tests/install/consumer" -B "${SCRATCH}/consumer" -G Ninja
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_C_COMPILER=${CC}")
run(${CMAKE_COMMAND} --build "${SCRATCH}/consumer")
run("${SCRATCH}/consumer/consumer" "${LAY}")
if(NOT out STREQUAL "result 1 name W12-LAY\n")
    message(FATAL_ERROR "find_package consumer printed: ${out}")
endif()

set(ENV{PKG_CONFIG_PATH} "${prefix}/lib/pkgconfig")
run(pkg-config --cflags --libs quorix_marker)
separate_arguments(flags UNIX_COMMAND "${out}")
run("${CC}" "${SOURCE}/tests/install/consumer/main.c" ${flags} -o "${SCRATCH}/pc-consumer")
set(ENV{LD_LIBRARY_PATH} "${prefix}/lib")
run("${SCRATCH}/pc-consumer" "${LAY}")
if(NOT out STREQUAL "result 1 name W12-LAY\n")
    message(FATAL_ERROR "pkg-config consumer printed: ${out}")
endif()
message(STATUS "installed package used through find_package and pkg-config")
