# GoogleTest is built from the sources Debian ships, so every preset (native,
# sanitized, MinGW) links a copy compiled with its own flags.
function(tessalin_find_gtest)
  set(TESSALIN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${TESSALIN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(tessalin_gtest INTERFACE)
  target_link_libraries(tessalin_gtest INTERFACE gmock gtest)
endfunction()

# One test executable per area: every .cpp in the folder, with gtest's main.
# ctest runs it (under Wine for the Windows build) and keeps its XML result,
# which scripts/check adds up.
function(tessalin_test_suite name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest_main)
  # Expected values are written as designated initializers that leave the other
  # members at their defaults on purpose.
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${name} PRIVATE -Wno-missing-field-initializers)
  endif()
  if(MINGW)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  set(results ${CMAKE_BINARY_DIR}/test-results)
  file(MAKE_DIRECTORY ${results})
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:test-results/${name}.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT 1200)
  if(TESSALIN_SANITIZE)
    # Also for the programs a test runs, which inherit it.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/support/lsan.supp")
  endif()
  if(WIN32)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "WINEDEBUG=-all;WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDLLOVERRIDES=mscoree,mshtml=")
  endif()
endfunction()

# A static library of the given sources that passes its dependencies on.
function(tessalin_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()
