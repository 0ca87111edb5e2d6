# Every warning on for the project's own targets; third-party headers come in as system includes.
# Warnings become errors only with LMP_WERROR (CI turns it on), so that a compiler's new false positive
# never breaks a user's or a packager's build.
option(LMP_WERROR "Treat warnings in the project's own code as errors" OFF)

function(lmp_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor -Wold-style-cast
      -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
    if(LMP_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive-)
    if(LMP_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  endif()
endfunction()
