# Installation and packages: the module with its public header, the host-log stand-in it links against,
# the converter with its manual page, a CMake package (find_package(quorix_marker) gives the imported
# target quorix_marker::quorix_marker) and a pkg-config file. CPack makes a Debian package on Linux and a
# zip of the DLL, its import library and the header from the Windows presets.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorix_marker)
target_include_directories(quorix_marker INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
if(NOT WIN32)
    # The module finds the host-log library installed beside it.
    set_target_properties(quorix_marker PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

# On Linux the module is linked against the stand-in host-log library and needs it beside it; on Windows the
# host brings its own vqlog.dll, which a package must never replace.
set(quorix_installed_libraries quorix_marker)
if(NOT WIN32)
    list(APPEND quorix_installed_libraries vqlog)
endif()
install(TARGETS ${quorix_installed_libraries} EXPORT quorix_marker_targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/src/entry/ImportQuorixFile.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorix_marker COMPONENT development)
if(TARGET quorix-import)
    install(TARGETS quorix-import RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
    if(EXISTS ${PROJECT_BINARY_DIR}/cli/quorix-import.1)
        install(FILES ${PROJECT_BINARY_DIR}/cli/quorix-import.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
                COMPONENT runtime)
    endif()
endif()

install(EXPORT quorix_marker_targets NAMESPACE quorix_marker:: DESTINATION ${QUORIX_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quorix_markerConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/quorix_markerConfig.cmake INSTALL_DESTINATION ${QUORIX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quorix_markerConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quorix_markerConfig.cmake ${PROJECT_BINARY_DIR}/quorix_markerConfigVersion.cmake
        DESTINATION ${QUORIX_CMAKE_DIR} COMPONENT development)
# The pkg-config file finds the prefix from its own place, so the installed tree can be moved.
file(RELATIVE_PATH QUORIX_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorix_marker.pc.in ${PROJECT_BINARY_DIR}/quorix_marker.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quorix_marker.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

set(CPACK_PACKAGE_NAME quorix-marker)
set(CPACK_PACKAGE_VENDOR "quorix_marker developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Import module for Quorix lay and marker files")
set(CPACK_PACKAGE_CONTACT "quorix_marker developers <maintainers@localhost>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME quorix_marker-${PROJECT_VERSION}-win${CMAKE_SIZEOF_VOID_P}0)
    string(REPLACE "win40" "win32" CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
    string(REPLACE "win80" "win64" CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
    set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
endif()
include(CPack)
