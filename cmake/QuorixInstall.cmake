# Installation and packages: the module with its public header, the host-log stand-in it links against,
# the converter with its manual page, a CMake package (find_package(quorix_marker) gives the imported
# target quorix_marker::quorix_marker), a pkg-config file and the documentation. CPack makes three Debian
# packages on Linux and a zip of the DLL, its import library, the converter, the header, the README, the
# licence, the documentation and the bundled examples from the Windows presets.
#
# Install components, one Debian package each:
#   runtime      libquorix-marker1      the module, and libvqlog.so in the module's private folder
#   development  libquorix-marker-dev   the header, the link name, the CMake package, the pkg-config file
#   converter    quorix-import          the converter and its manual page
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorix_marker)
# The module links against the host's logging library by its plain name libvqlog.so. The stand-in is no
# library for other programs, so it is not put into the system's library folder, where the dynamic linker
# of every program would find it: it stays in a folder of the module's own, which the module names in its
# RUNPATH.
set(QUORIX_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quorix_marker)
target_include_directories(quorix_marker INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
if(NOT WIN32)
    # The same RUNPATH in the build tree (src/CMakeLists.txt puts the stand-in in src/quorix_marker there
    # too), so that installing never rewrites it: CMake pads a RUNPATH that it will rewrite with empty
    # entries, and an empty entry makes the dynamic linker search the current folder.
    set_target_properties(quorix_marker PROPERTIES INSTALL_RPATH "$ORIGIN/quorix_marker"
                          BUILD_WITH_INSTALL_RPATH ON)
endif()

set(QUORIX_DEB_RUNTIME libquorix-marker${PROJECT_VERSION_MAJOR})
set(QUORIX_DEB_DEVELOPMENT libquorix-marker-dev)
set(QUORIX_DEB_CONVERTER quorix-import)

install(TARGETS quorix_marker EXPORT quorix_marker_targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
# On Windows the host brings its own vqlog.dll, which a package must never replace.
if(NOT WIN32)
    install(TARGETS vqlog EXPORT quorix_marker_targets
            LIBRARY DESTINATION ${QUORIX_PRIVATE_LIBDIR} COMPONENT runtime)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/src/entry/ImportQuorixFile.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorix_marker COMPONENT development)

# Files compressed as Debian keeps them (gzip -9n: no name, no time stamp, so the same bytes every build).
find_program(QUORIX_GZIP gzip)
function(quorix_install_gzipped source destination component)
    get_filename_component(name ${source} NAME)
    if(NOT QUORIX_GZIP)
        install(FILES ${source} DESTINATION ${destination} COMPONENT ${component})
        return()
    endif()
    set(compressed ${PROJECT_BINARY_DIR}/compressed/${component}/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/compressed/${component}
        COMMAND ${QUORIX_GZIP} -9n -c ${source} > ${compressed}
        DEPENDS ${source}
        VERBATIM)
    add_custom_target(quorix_gzip_${component}_${name} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${destination} COMPONENT ${component})
endfunction()

if(TARGET quorix-import)
    install(TARGETS quorix-import RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT converter)
endif()
if(TARGET quorix-import AND NOT WIN32)
    # The manual page as cli/ makes it when it fills in the version, else as it is in the sources.
    set(manual ${PROJECT_BINARY_DIR}/cli/quorix-import.1)
    if(NOT EXISTS ${manual})
        set(manual ${PROJECT_SOURCE_DIR}/cli/quorix-import.1)
    endif()
    quorix_install_gzipped(${manual} ${CMAKE_INSTALL_MANDIR}/man1 converter)
endif()

install(EXPORT quorix_marker_targets NAMESPACE quorix_marker:: DESTINATION ${QUORIX_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quorix_markerConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/quorix_markerConfig.cmake INSTALL_DESTINATION ${QUORIX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quorix_markerConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quorix_markerConfig.cmake ${PROJECT_BINARY_DIR}/quorix_markerConfigVersion.cmake
        DESTINATION ${QUORIX_CMAKE_DIR} COMPONENT development)
# The pkg-config file. In the Windows zip it finds the prefix from its own place, so the unpacked tree can
# stand anywhere. Elsewhere it names the prefix installed to, filled in when it is installed (a package's
# /usr, or cmake --install --prefix), so that pkg-config prints plain paths, never ".../pkgconfig/../..".
if(WIN32)
    file(RELATIVE_PATH quorix_pc_to_prefix /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
    set(QUORIX_PC_PREFIX "\${pcfiledir}/${quorix_pc_to_prefix}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/quorix_marker.pc.in ${PROJECT_BINARY_DIR}/quorix_marker.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/quorix_marker.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
            COMPONENT development)
else()
    set(QUORIX_PC_PREFIX "@QUORIX_PC_PREFIX@") # kept for the install step below
    configure_file(${PROJECT_SOURCE_DIR}/cmake/quorix_marker.pc.in ${PROJECT_BINARY_DIR}/quorix_marker.pc.in @ONLY)
    # Made in a folder of its own per prefix: two installs of one build into different prefixes at the same
    # time (the install and documentation tests) must not write the same file.
    install(CODE "
        get_filename_component(QUORIX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
        string(MD5 quorix_pc_folder \"\${QUORIX_PC_PREFIX}\")
        set(quorix_pc \"${PROJECT_BINARY_DIR}/pkgconfig/\${quorix_pc_folder}/quorix_marker.pc\")
        configure_file(\"${PROJECT_BINARY_DIR}/quorix_marker.pc.in\" \"\${quorix_pc}\" @ONLY)
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\" TYPE FILE
             FILES \"\${quorix_pc}\")"
        COMPONENT development)
endif()

# The licence, the change log and the documentation. Each Debian package carries the machine-readable
# copyright file, the change log, the README and the pages its users read in its documentation folder, the
# pages in docs/ below it so that the README's links hold. The Windows zip holds the README, the licence,
# the pages and the bundled examples at its top, so that the examples of --help and of the pages run from
# there.
set(quorix_docs ${PROJECT_SOURCE_DIR}/docs)
set(quorix_docs_runtime "")
set(quorix_docs_development ${quorix_docs}/library.md ${quorix_docs}/file-formats.md)
set(quorix_docs_converter ${quorix_docs}/converter.md ${quorix_docs}/file-formats.md)
if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT runtime)
    install(FILES ${quorix_docs}/windows.md ${quorix_docs}/converter.md ${quorix_docs}/file-formats.md
                  ${quorix_docs}/library.md
            DESTINATION docs COMPONENT runtime)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/lays ${PROJECT_SOURCE_DIR}/examples/markers
                      ${PROJECT_SOURCE_DIR}/examples/styles ${PROJECT_SOURCE_DIR}/examples/expected
            DESTINATION examples COMPONENT runtime)
else()
    foreach(component runtime development converter)
        string(TOUPPER ${component} upper)
        if(component STREQUAL "converter" AND NOT TARGET quorix-import)
            continue()
        endif()
        set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QUORIX_DEB_${upper}})
        install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright ${PROJECT_SOURCE_DIR}/README.md
                DESTINATION ${docdir} COMPONENT ${component})
        if(quorix_docs_${component})
            install(FILES ${quorix_docs_${component}} DESTINATION ${docdir}/docs COMPONENT ${component})
        endif()
        quorix_install_gzipped(${PROJECT_SOURCE_DIR}/packaging/deb/changelog ${docdir} ${component})
    endforeach()
endif()

set(CPACK_PACKAGE_NAME quorix-marker)
set(CPACK_PACKAGE_VENDOR "quorix_marker developers")
set(CPACK_PACKAGE_CONTACT "quorix_marker developers <developers@quorix-marker.invalid>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Import module for Quorix lay and marker files")
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME quorix_marker-${PROJECT_VERSION}-win${CMAKE_SIZEOF_VOID_P}0)
    string(REPLACE "win40" "win32" CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
    string(REPLACE "win80" "win64" CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
else()
    # Each package's description below starts with its own synopsis line. CPackDeb puts the package summary
    # before it unless the summary is CPack's default, so the default is kept.
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL runtime development)
    if(TARGET quorix-import)
        list(APPEND CPACK_COMPONENTS_ALL converter)
    endif()
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SOURCE quorix-marker)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # Dependencies on the system's libraries are those that dpkg-shlibdeps finds in the binaries, with the
    # least versions the binaries need.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR}/quorix_marker)

    # The runtime package tells dpkg-shlibdeps of packages built against the module which package and
    # version to depend on (shlibs, symbols), and has the dynamic linker's cache renewed (triggers).
    set(control ${PROJECT_BINARY_DIR}/deb-control/runtime)
    file(CONFIGURE OUTPUT ${control}/shlibs CONTENT
         "libquorix_marker ${PROJECT_VERSION_MAJOR} ${QUORIX_DEB_RUNTIME} (>= ${PROJECT_VERSION})\n")
    # Both exports have been there since the first version.
    file(CONFIGURE OUTPUT ${control}/symbols CONTENT
         "libquorix_marker.so.${PROJECT_VERSION_MAJOR} ${QUORIX_DEB_RUNTIME} #MINVER#\n* Build-Depends-Package: ${QUORIX_DEB_DEVELOPMENT}\n ImportQuorixFile@Base 1.0.0\n quorix_import@Base 1.0.0\n")
    file(CONFIGURE OUTPUT ${control}/triggers CONTENT "activate-noawait ldconfig\n")
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${QUORIX_DEB_RUNTIME})
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${control}/shlibs ${control}/symbols ${control}/triggers)
    set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "import module for Quorix lay and marker files
The module that a pattern-design CAD host loads to import the files of
the Quorix CAD system: binary LAY-Y lay files, and text marker definition
files with their style files. Its one function, ImportQuorixFile, writes
the host's definition file and position file.
.
This package holds the shared library and, in a private folder, the
stand-in of the host's logging library that the module is linked against.")

    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${QUORIX_DEB_DEVELOPMENT})
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
    set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${QUORIX_DEB_RUNTIME} (= ${PROJECT_VERSION})")
    set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "import module for Quorix lay and marker files - development files
The header of the import module's function ImportQuorixFile, the link
name of the library, a CMake package (find_package(quorix_marker) gives
the target quorix_marker::quorix_marker) and a pkg-config file
(quorix_marker).")

    set(CPACK_DEBIAN_CONVERTER_PACKAGE_NAME ${QUORIX_DEB_CONVERTER})
    set(CPACK_DEBIAN_CONVERTER_DESCRIPTION "converter of Quorix lay and marker files
quorix-import runs the import of the Quorix import module on the command
line: it writes a CAD host's definition file and position file from a
LAY-Y lay file or a marker definition file into a chosen folder, converts
many files at once, and shows what a lay holds as JSON or as an SVG
picture.")
endif()
include(CPack)
