# Headers are included from the repository root ("core/Describe.h", "gui/main/MainForm.h"), but a target
# sees only the folders of the libraries it links: each folder is exposed through a directory of the
# build tree that holds nothing but a link to it, so that core cannot include a header of gui, nor a
# lower layer of the window a header of a higher one. folder may be nested ("gui/desktop").
function(lmp_headers target folder)
  set(scope PUBLIC)
  if(ARGC GREATER 2)
    set(scope ${ARGV2})
  endif()
  string(REPLACE "/" "_" stageName ${folder})
  set(stage ${PROJECT_BINARY_DIR}/include/${stageName})
  get_filename_component(parent ${stage}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${stage}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${stage}>)
endfunction()
