# Run by CPack on the staged files before it writes the package: strips the programs of their symbols
# and of the sections that only record the compiler (.comment, .note), as Debian's packaging tools do.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
  message(FATAL_ERROR "Strip.cmake: no programs in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_LMP_STRIP} --remove-section=.comment --remove-section=.note ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
