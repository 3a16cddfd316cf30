# A library shows what links it only the headers it names PUBLIC. Each header
# is linked (symbolically) under build/include/<target>/ at its repository path
# ("app/bars/StatusBar.h"): the public ones in public/, the library's own
# include directory for what links it, and all of them in own/, for the
# library itself. The repository root is no include directory of any library,
# so an include that points past what a library links (a bar including the
# frame, the ribbon widget set including the program) fails to compile.
function(ostrel_headers target)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/public ${root}/own)
  foreach(scope PUBLIC PRIVATE)
    foreach(header ${ARG_${scope}})
      get_filename_component(source ${header} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${source})
      set(places own)
      if(scope STREQUAL "PUBLIC")
        list(APPEND places public)
      endif()
      foreach(place ${places})
        get_filename_component(parent ${root}/${place}/${rel} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${source} ${root}/${place}/${rel} SYMBOLIC)
      endforeach()
    endforeach()
  endforeach()
  target_include_directories(${target} PUBLIC ${root}/public PRIVATE ${root}/own)
endfunction()
