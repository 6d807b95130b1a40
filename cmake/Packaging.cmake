# The Debian package: harbor-lights_<version>_<arch>.deb from the install rules,
# with its library dependencies worked out by dpkg-shlibdeps.
#
# Paths are compiled in from the configured prefix (the dialog module's, for
# one), so the package installs under that same prefix: build it from a tree
# configured with -DCMAKE_INSTALL_PREFIX=/usr, as scripts/build-package.sh and
# make package do.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Packaging: the install prefix is ${CMAKE_INSTALL_PREFIX}; a Debian package wants /usr (make package)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME harbor-lights)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(HL_PACKAGE_MAINTAINER "Harbor Lights developers <harbor-lights@example.org>"
    CACHE STRING "The package's maintainer, as Name <address>")
set(CPACK_PACKAGE_CONTACT "${HL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OpenGL kaleidoscope screen saver")
set(CPACK_PACKAGE_DESCRIPTION "\
Large, slowly rotating squares carry four pictures that zoom out endlessly.
The scene is cut into a wedge and repeated around the centre by rotation and
mirroring, with a new number of wedges every minute. Runs as a display mode
of the xscreensaver daemon, or on its own in a window.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialog module is loaded at run time, but it is installed with the
# program, so dpkg-shlibdeps reads its GTK dependencies from it too.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xscreensaver)

# What Debian asks of every package beside its files: the copyright in the
# machine-readable format and the changelog, compressed without a name or a
# time stamp so that rebuilds give the same bytes. And a menu entry that opens
# the settings dialog.
set(HL_PROGRAM_INSTALL_PATH "${CMAKE_INSTALL_FULL_LIBEXECDIR}/xscreensaver/harbor-lights")
set(HL_PACKAGE_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/harbor-lights")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/harbor-lights-settings.desktop.in
               ${CMAKE_BINARY_DIR}/packaging/harbor-lights-settings.desktop @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${CMAKE_BINARY_DIR}/packaging/changelog
          ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(hl_package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${HL_PACKAGE_DOC_DIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/harbor-lights-settings.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

include(CPack)
