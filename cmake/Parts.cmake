# lmp_part_option(VAR DOC NAME PACKAGE [SOURCES dir] [SHARED]): whether to build a part that needs a
# package, found by find_package(PACKAGE) or, when cross-building, taken from the sources in dir.
# Given (on the command line, and so in the cache), the choice holds, and ON with the package missing
# stops the configure, naming it. Not given, the part is ON at top level when the package is found and
# OFF with a message when it is not; that choice is not cached, so it is made again once the package
# is installed. Below another project the part is OFF unless given; a SHARED variable (BUILD_TESTING)
# belongs to that project there, so the part is OFF whatever it says. lmp_VAR_given is set when given.
function(lmp_part_option var doc name package)
  cmake_parse_arguments(PART "SHARED" "SOURCES" "" ${ARGN})
  if(NOT PROJECT_IS_TOP_LEVEL AND (PART_SHARED OR NOT DEFINED CACHE{${var}}))
    set(${var} OFF PARENT_SCOPE)
    return()
  endif()
  if(DEFINED CACHE{${var}})
    set(lmp_${var}_given TRUE PARENT_SCOPE)
    option(${var} "${doc}" OFF)
    if(NOT ${var})
      return()
    endif()
  endif()

  if(CMAKE_CROSSCOMPILING AND PART_SOURCES)
    set(found FALSE)
    if(EXISTS ${PART_SOURCES}/CMakeLists.txt)
      set(found TRUE)
    endif()
  else()
    find_package(${package} QUIET)
    set(found ${${package}_FOUND})
  endif()

  if(DEFINED CACHE{${var}})
    if(NOT found)
      message(FATAL_ERROR "${var} is ON, but ${name} was not found: install it, or set ${var}=OFF")
    endif()
  elseif(found)
    set(${var} ON PARENT_SCOPE)
  else()
    message(STATUS "${name} not found: ${var} is OFF")
    set(${var} OFF PARENT_SCOPE)
  endif()
endfunction()
