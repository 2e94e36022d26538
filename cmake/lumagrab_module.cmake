# lumagrab_module(TARGET FOLDER [SOURCES ...] [DEPENDS ...])
#
# One folder of the tree as one static library that links only the modules
# it names. A module's headers are reachable only through an include
# directory that holds that folder alone (a link to it), and a library sees
# the include directories of what it links and no others: an include of a
# module that is not beneath it finds no file, so a dependency that runs
# upward fails to build instead of creeping in.
function(lumagrab_module target folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  set(root ${PROJECT_BINARY_DIR}/modules/${folder})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
endfunction()
