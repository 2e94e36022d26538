# The holder and the terms of the licence, from LICENSE, for the copyright
# file of the Debian packages and the version resource of the Windows
# installer:
#   LUMAGRAB_COPYRIGHT     "YEARS HOLDER", from its "Copyright (c)" line
#   LUMAGRAB_LICENSE_TEXT  the terms below it, as a DEP-5 field's continuation
#                          lines (each starts with a blank, an empty one is " .")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n+(.+)$")
  message(FATAL_ERROR "LICENSE has no \"Copyright (c)\" line followed by the licence's terms")
endif()
set(LUMAGRAB_COPYRIGHT "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
set(LUMAGRAB_LICENSE_TEXT " ${terms}")
