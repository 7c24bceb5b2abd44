# The Debian package: `cpack -G DEB` in a configured build folder (scripts/package.sh builds the
# release preset and runs it). Its files are the install rules' (data/CMakeLists.txt) under /usr.
#
# The desktop database, the icon cache and the manual page index are refreshed by the dpkg
# triggers that desktop-file-utils, gtk-update-icon-cache and man-db declare on their folders, so
# the maintainer scripts only reload udev for the bridge's rule.

set(CPACK_PACKAGE_NAME halvern)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvern developers")
set(CPACK_PACKAGE_CONTACT "Halvern developers <dev@halvern.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configuration tool for the Model 40100 meteorological display")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvern developers <dev@halvern.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://halvern.org/")
# The libraries' packages, found by dpkg-shlibdeps (Debian dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The report's face "Arial" resolves to its metric-compatible stand-in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
# The logo's and the screens' font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "udev")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Halvern configures and maintains the Model 40100 meteorological display and
translator through its USB-to-serial bridge: the setup, the eight display
screens and the user program, the logged records, the instrument's tests and
its calibration.
.
The package holds the window (halvern), the same operations from a terminal or
a script (halvern-cli, with a connection doctor), a simulated instrument on a
pseudo-terminal (halvern-sim), and a udev rule that gives the user at the seat
access to the bridge, names it /dev/zelka40100-<serial>, keeps ModemManager
away from it and sets its latency timer to 1 ms.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Compressed manual pages and the changelog, in the staged tree only: `cmake --install` keeps
# the plain pages.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/finish_staging.cmake)
# The release date, for the changelog (CPack passes on only CPACK_ variables).
set(CPACK_HALVERN_RELEASE_DATE "Tue, 08 Dec 2026 00:00:00 +0000")

include(CPack)
