# Headers are included from the repository root ("core/Describe.h", "gui/main/MainForm.h"), but a target
# sees only the folders of the libraries it links: each folder is exposed through a directory of the
# build tree that holds nothing but a link to it, so that core cannot include a header of gui.
function(lmp_headers target folder)
  set(scope PUBLIC)
  if(ARGC GREATER 2)
    set(scope ${ARGV2})
  endif()
  set(stage ${PROJECT_BINARY_DIR}/include/${folder})
  file(MAKE_DIRECTORY ${stage})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${stage}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${stage}>)
endfunction()
