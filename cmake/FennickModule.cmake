# fennick_shown_headers(OUT TARGET...)
# The headers the given targets show their users (their FENNICK_VISIBLE_HEADERS); targets
# that are not modules (Qt, GTest) show none.
function(fennick_shown_headers out)
  set(_all "")
  foreach(_dep IN LISTS ARGN)
    if(TARGET ${_dep})
      get_target_property(_shown ${_dep} FENNICK_VISIBLE_HEADERS)
      if(_shown)
        list(APPEND _all ${_shown})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES _all)
  set(${out} "${_all}" PARENT_SCOPE)
endfunction()

# fennick_interface(NAME MODULE...)
# One library of several modules, showing its users what they show.
function(fennick_interface name)
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE ${ARGN})
  fennick_shown_headers(_shown ${ARGN})
  set_target_properties(${name} PROPERTIES FENNICK_VISIBLE_HEADERS "${_shown}")
endfunction()

# fennick_module(NAME DIR [DEPS ...] [PUBLIC HEADER ...])
# One static library per module, built from every .cpp in DIR. Headers are included by path
# from the source root ("engine/cfb/compound_file.h"), but a module compiles against an include
# root of its own (see fennick_include_root): every header of its folder, and of the modules it
# depends on only their public headers. A module's public headers are those named after PUBLIC
# and the headers of its folder that they include.
function(fennick_module name dir)
  cmake_parse_arguments(PARSE_ARGV 2 M "" "" "PUBLIC")
  set(deps ${M_UNPARSED_ARGUMENTS})
  set(public "")
  set(queue ${M_PUBLIC})
  while(queue)
    list(POP_FRONT queue header)
    if(header IN_LIST public)
      continue()
    endif()
    if(NOT EXISTS "${CMAKE_SOURCE_DIR}/${dir}/${header}")
      message(FATAL_ERROR "${name}: public header ${dir}/${header} does not exist")
    endif()
    list(APPEND public ${header})
    file(STRINGS "${CMAKE_SOURCE_DIR}/${dir}/${header}" _includes REGEX "^#include \"${dir}/[^\"]+\"")
    foreach(_line IN LISTS _includes)
      string(REGEX REPLACE "^#include \"${dir}/([^\"]+)\".*" "\\1" _included "${_line}")
      list(APPEND queue ${_included})
    endforeach()
  endwhile()
  list(TRANSFORM public PREPEND "${dir}/")

  file(GLOB _srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_link_libraries(${name} PUBLIC ${deps})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${deps})
  endif()
  # What a user of this module may include: its public headers and what its dependencies show.
  fennick_shown_headers(_shown ${deps})
  set(_visible ${public} ${_shown})
  list(REMOVE_DUPLICATES _visible)
  set_target_properties(${name} PROPERTIES FENNICK_VISIBLE_HEADERS "${_visible}")
  if(_srcs)
    fennick_include_root(${name} DIRS ${dir} DEPS ${deps})
  endif()
endfunction()

# fennick_include_root(TARGET DIRS DIR... DEPS DEP...)
# Gives TARGET an include root of its own, build/include/TARGET, holding links to every header
# of DIRS (and their subfolders) and to the headers the modules in DEPS show their users. An
# include of anything else fails to compile, so the layering and the public surface hold by
# construction.
function(fennick_include_root target)
  cmake_parse_arguments(PARSE_ARGV 1 R "" "" "DIRS;DEPS")
  set(_headers "")
  foreach(_dir IN LISTS R_DIRS)
    file(GLOB_RECURSE _own RELATIVE "${CMAKE_SOURCE_DIR}" CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${_dir}/*.h")
    list(APPEND _headers ${_own})
  endforeach()
  fennick_shown_headers(_shown ${R_DEPS})
  list(APPEND _headers ${_shown})
  list(REMOVE_DUPLICATES _headers)
  set(_root "${CMAKE_BINARY_DIR}/include/${target}")
  file(REMOVE_RECURSE "${_root}")
  foreach(_header IN LISTS _headers)
    get_filename_component(_folder "${_root}/${_header}" DIRECTORY)
    file(MAKE_DIRECTORY "${_folder}")
    file(CREATE_LINK "${CMAKE_SOURCE_DIR}/${_header}" "${_root}/${_header}" SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE "${_root}")
endfunction()

# fennick_tests(NAME DIR [DEPS ...])
# One GoogleTest executable from every .cpp in tests/DIR, registered with CTest. Tests see the
# whole source tree: they check the insides of modules too.
function(fennick_tests name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp")
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARGN} fennick_testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;FENNICK_FIXTURES=${FENNICK_FIXTURES}"
    DISCOVERY_TIMEOUT 60)
endfunction()
