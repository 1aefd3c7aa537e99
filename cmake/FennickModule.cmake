# fennick_module(NAME DIR [DEPS ...])
# One static library per module, built from every .cpp in DIR. Headers are included
# by path from the source root ("engine/cfb/compound_file.h").
function(fennick_module name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}")
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()

# fennick_tests(NAME DIR [DEPS ...])
# One GoogleTest executable from every .cpp in tests/DIR, registered with CTest.
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
