# The Windows packages, from the mingw-w64 build: `cpack` in that build folder
# (make windows-package) writes GPSLumagrab-VERSION-win64.exe, an installer,
# and GPSLumagrab-VERSION-win64.zip, the same programs to unpack and run
# anywhere.
#
# The installer installs per machine, into Program Files, with its entry in
# HKLM's list of installed programs: CPack's NSIS script asks for
# administrator rights in any case, so a per-user install would still raise
# the elevation prompt; and programs under Program Files cannot be replaced
# by anything that runs without those rights. Everything a user keeps, the
# settings (HKCU) and the pictures, is per user already and stays on
# uninstall.

# Whichever of the two programs this build makes, side by side at the top of
# the installation, with the README and the licence as text files.
foreach(target lumagrab lumagrab-cli)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION .)
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

include(licence.cmake)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES TRUE)
# The values below reach the NSIS script as written (backslashes and quotes
# included), not read a second time by CMake.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME GPSLumagrab)
set(CPACK_PACKAGE_FILE_NAME GPSLumagrab-${PROJECT_VERSION}-win64)
# The publisher. It must not be "Orvane": the uninstaller deletes
# Software\VENDOR\REGISTRY_KEY, and Software\Orvane\GPSLumagrab holds the
# user's settings.
set(CPACK_PACKAGE_VENDOR "The GPS Lumagrab developers")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "GPS Lumagrab")
# No version in the key, so that a newer installer replaces the entry.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY GPSLumagrab)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_NSIS_PACKAGE_NAME "GPS Lumagrab")
set(CPACK_NSIS_DISPLAY_NAME "GPS Lumagrab")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The Start-menu shortcut and the list's icon are the window program's; a
# build without it shows the command-line program's.
if(TARGET lumagrab)
  set(CPACK_PACKAGE_EXECUTABLES lumagrab "GPS Lumagrab")
  set(CPACK_NSIS_INSTALLED_ICON_NAME lumagrab.exe)
else()
  set(CPACK_NSIS_INSTALLED_ICON_NAME lumagrab-cli.exe)
endif()

# A 64-bit installer for 64-bit programs: it runs where they run (also on a
# Wine without 32-bit support) and writes the registry's 64-bit view. Then
# the installer's own version resource, and the size the list of installed
# programs shows (EstimatedSize, in KiB, which CPack's script leaves out).
set(uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
set(CPACK_NSIS_DEFINES "
  Target amd64-unicode
  !include FileFunc.nsh
  VIProductVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0
  VIAddVersionKey /LANG=1033 ProductName \"GPS Lumagrab\"
  VIAddVersionKey /LANG=1033 ProductVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=1033 FileVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=1033 FileDescription \"GPS Lumagrab ${PROJECT_VERSION} Setup\"
  VIAddVersionKey /LANG=1033 CompanyName \"${CPACK_PACKAGE_VENDOR}\"
  VIAddVersionKey /LANG=1033 LegalCopyright \"Copyright (c) ${LUMAGRAB_COPYRIGHT}\"")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  !insertmacro GetSizeCall \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  IntFmt $0 \"0x%08X\" $0
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"EstimatedSize\" \"$0\"")
include(CPack)
