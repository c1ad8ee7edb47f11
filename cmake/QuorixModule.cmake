# quorix_add_module(NAME [IMPORT_DIR FOLDER])
#
# The import module as a shared library made from the core: the exported function ImportQuorixFile (the
# Windows DLL's only export) and, on other systems, quorix_import; everything else hidden (the core's
# symbols too), and every symbol resolved when it is linked. IMPORT_DIR builds it with another folder for the import files than the shipped module's (the
# host tests' twin of the module, which must not write into the system's folder).
function(quorix_add_module name)
    cmake_parse_arguments(arg "" "IMPORT_DIR" "" ${ARGN})
    set(entry ${PROJECT_SOURCE_DIR}/src/entry)
    add_library(${name} SHARED ${entry}/ImportQuorixFile.cpp)
    if(NOT WIN32)
        target_sources(${name} PRIVATE ${entry}/QuorixImport.cpp)
    endif()
    if(arg_IMPORT_DIR)
        # Its own copy of the fixed paths, taken before the core's.
        target_sources(${name} PRIVATE ${entry}/ImportPaths.cpp)
        target_compile_definitions(${name} PRIVATE QUORIX_IMPORT_DIR="${arg_IMPORT_DIR}")
    endif()
    if(WIN32)
        target_link_libraries(${name} PRIVATE quorix_core) # vqlog.dll comes in through its import list
    else()
        target_link_libraries(${name} PRIVATE quorix_core vqlog)
        target_link_options(${name} PRIVATE "LINKER:--version-script=${entry}/quorix_marker.map"
                            "LINKER:--exclude-libs,ALL" "LINKER:--no-undefined")
        set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${entry}/quorix_marker.map)
    endif()
endfunction()
