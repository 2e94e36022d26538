# The Debian packages, one per install component: `cpack -G DEB` in the build
# folder (make package) writes lumagrab-cli_VERSION_ARCH.deb and
# lumagrab_VERSION_ARCH.deb. Their library dependencies are read from the
# programs (dpkg-shlibdeps), so lumagrab-cli, which has no Qt, pulls in none.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumagrab)
set(CPACK_PACKAGE_VENDOR "The GPS Lumagrab developers")
set(CPACK_PACKAGE_CONTACT "${LUMAGRAB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(TARGET lumagrab)
  list(APPEND CPACK_COMPONENTS_ALL app)
endif()
set(CPACK_DEBIAN_CLI_PACKAGE_NAME lumagrab-cli)
set(CPACK_DEBIAN_APP_PACKAGE_NAME lumagrab)
# lumagrab depends on lumagrab-cli of its own version.
set(CPACK_COMPONENT_APP_DEPENDS cli)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# The summary, then paragraphs (CPack indents them as Debian wants).
set(about [=[
GPS Lumagrab captures the screen of a handheld GPS receiver over a serial
line (RS-232 or a USB-serial adapter) and stores it as a bitmap or PNG file.
It finds the receiver on a port and at whatever bit rate it runs, identifies
it from a built-in catalogue of products and moves the link to a faster rate
for the download.]=])
set(CPACK_DEBIAN_CLI_DESCRIPTION [=[
capture the screen of a handheld GPS receiver (command line)
@about@

This package holds the command-line front end for scripts, SSH sessions and
repeated captures (lumagrab-cli) and a virtual receiver on a pseudo-terminal
for trying it without hardware (lumagrab-sim). It needs no graphical
libraries.]=])
set(CPACK_DEBIAN_APP_DESCRIPTION [=[
capture the screen of a handheld GPS receiver (window program)
@about@

This package holds the window program (lumagrab), with its desktop entry,
icons and AppStream metadata.]=])
foreach(component CLI APP)
  string(CONFIGURE "${CPACK_DEBIAN_${component}_DESCRIPTION}" CPACK_DEBIAN_${component}_DESCRIPTION
         @ONLY)
endforeach()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
