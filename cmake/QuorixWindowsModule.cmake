# The Windows side of quorix_marker.dll, included from src/CMakeLists.txt after the targets exist:
#  - exports: exactly ImportQuorixFile, by its plain name, from entry/quorix_marker.def;
#  - imports: dll_vq_log_error from the host's vqlog.dll, through an import library made from
#    platform/vqlog/vqlog.def at build time (the module never links against the stand-in);
#  - resources: the string table and version resource, generated from platform/MessageTexts.h, with the
#    licence's copyright line;
#  - the C++ runtime linked in, so that the module needs nothing but system libraries and vqlog.dll.
enable_language(RC)

if(NOT CMAKE_DLLTOOL)
    string(REGEX REPLACE "g\\+\\+(-[a-z0-9]+)?(\\.exe)?$" "dlltool" quorix_dlltool_guess "${CMAKE_CXX_COMPILER}")
    find_program(CMAKE_DLLTOOL NAMES "${quorix_dlltool_guess}" dlltool REQUIRED)
endif()

set(quorix_vqlog_def ${CMAKE_CURRENT_SOURCE_DIR}/platform/vqlog/vqlog.def)
set(quorix_vqlog_imports ${CMAKE_CURRENT_BINARY_DIR}/hostlibs/libvqlog-imports.a)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(quorix_dlltool_machine i386)
else()
    set(quorix_dlltool_machine i386:x86-64)
endif()
add_custom_command(
    OUTPUT ${quorix_vqlog_imports}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/hostlibs
    COMMAND ${CMAKE_DLLTOOL} --machine ${quorix_dlltool_machine} --kill-at --input-def ${quorix_vqlog_def}
            --dllname vqlog.dll --output-lib ${quorix_vqlog_imports}
    DEPENDS ${quorix_vqlog_def}
    COMMENT "Making the import library of vqlog.dll"
    VERBATIM)
add_custom_target(quorix_vqlog_imports DEPENDS ${quorix_vqlog_imports})

set(quorix_resource_script ${CMAKE_CURRENT_BINARY_DIR}/generated/quorix_marker.rc)
add_custom_command(
    OUTPUT ${quorix_resource_script}
    COMMAND ${CMAKE_COMMAND}
            -DMESSAGE_TABLE=${CMAKE_CURRENT_SOURCE_DIR}/platform/MessageTexts.h
            -DOUTPUT=${quorix_resource_script}
            -DVERSION=${PROJECT_VERSION}
            -DMODULE_NAME=quorix_marker
            "-DDESCRIPTION=${PROJECT_DESCRIPTION}"
            -DLICENSE_FILE=${PROJECT_SOURCE_DIR}/LICENSE
            -P ${PROJECT_SOURCE_DIR}/cmake/MessageResource.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/MessageTexts.h ${PROJECT_SOURCE_DIR}/cmake/MessageResource.cmake
            ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Generating the string table and version resource"
    VERBATIM)

target_sources(quorix_marker PRIVATE entry/quorix_marker.def ${quorix_resource_script})
add_dependencies(quorix_marker quorix_vqlog_imports)
target_link_libraries(quorix_marker PRIVATE ${quorix_vqlog_imports})
set_target_properties(quorix_marker PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".dll.a")
target_link_options(quorix_marker PRIVATE
    -static-libgcc -static-libstdc++ -static
    "LINKER:--kill-at" "LINKER:--exclude-all-symbols" "LINKER:--no-undefined")
set_property(TARGET quorix_marker APPEND PROPERTY LINK_DEPENDS ${quorix_vqlog_imports})
