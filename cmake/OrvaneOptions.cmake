# Compiler settings shared by every target of the project.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra)
if(ORVANE_WERROR)
  add_compile_options(-Werror)
endif()

if(ORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ORVANE_TSAN)
  if(ORVANE_SANITIZE OR ORVANE_FUZZ)
    message(FATAL_ERROR "ORVANE_TSAN cannot be combined with ORVANE_SANITIZE or ORVANE_FUZZ")
  endif()
  # The run-time picked vector clones (target_clones) are chosen by resolvers that the
  # dynamic loader calls before the sanitizer's run time is set up; an instrumented function
  # entry there crashes at start. Without entry and exit hooks every access is still checked,
  # and reports show the frames inlined at the access.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer
                      --param=tsan-instrument-func-entry-exit=0)
  add_link_options(-fsanitize=thread)
endif()

# Every target of ours is built with this helper so that the settings above stay in one place.
function(orvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
