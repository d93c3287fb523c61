# Helpers shared by the project's CMake files.

# albumkit_dll(target OUTPUT_NAME name [SUFFIX .DLL]): a shared library named
# exactly as the host and the album component load it, without "lib".
function(albumkit_dll target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;SUFFIX" "" ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${ARG_OUTPUT_NAME})
  if(ARG_SUFFIX)
    set_target_properties(${target} PROPERTIES SUFFIX ${ARG_SUFFIX})
  endif()
  set_target_properties(${target} PROPERTIES IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
endfunction()

# GoogleTest, built from Debian's source package with this toolchain.
set(ALBUMKIT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
function(albumkit_use_gtest)
  if(TARGET gtest)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ALBUMKIT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# albumkit_test(name sources... LIBS libs...): one test executable, one ctest
# test (every Wine process start costs time).
function(albumkit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
