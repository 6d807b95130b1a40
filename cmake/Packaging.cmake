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
set(CPACK_PACKAGE_CONTACT "harbor-lights developers <harbor-lights@localhost>")
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

include(CPack)
