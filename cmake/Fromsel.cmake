# Build helpers shared by every module.
#
# A module folder holds foo.h/foo.cpp pairs and foo_test.cpp files beside
# them. fromsel_library() turns the non-test sources into a static library,
# fromsel_module_tests() the *_test.cpp files into one GoogleTest program.

# A macro, not a function: include(GoogleTest) must define its helpers at
# the top level for gtest_discover_tests to work.
macro(fromsel_find_gtest)
  if(CMAKE_CROSSCOMPILING)
    # Debian ships only native GoogleTest binaries; build it from source.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # googletest's own CMake defines the GTest::gtest and GTest::gtest_main aliases.
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endmacro()

# fromsel_collect_sources(VAR dir...) : the non-test .cpp files of the folders.
function(fromsel_collect_sources var)
  set(all)
  foreach(dir IN LISTS ARGN)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
    list(APPEND all ${sources})
  endforeach()
  set(${var} ${all} PARENT_SCOPE)
endfunction()

# fromsel_library(NAME DIR DEPS dep...) : static library fromsel_NAME of a folder.
function(fromsel_library name dir)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  fromsel_collect_sources(sources ${dir})
  add_library(fromsel_${name} STATIC ${sources})
  target_include_directories(fromsel_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(fromsel_${name} PUBLIC ${M_DEPS})
endfunction()

# fromsel_module_tests(NAME [DIR dir] DEPS dep...) : test executable
# NAME_tests from the *_test.cpp files of this folder (or of its subfolder
# DIR), registered with ctest (run under the cross-compiling emulator,
# scripts/wine-run.sh, in the Windows builds: one entry per program,
# win32.NAME or win64.NAME).
function(fromsel_module_tests name)
  if(NOT FROMSEL_TESTS)
    return()
  endif()
  cmake_parse_arguments(M "" "DIR" "DEPS" ${ARGN})
  set(folder ${CMAKE_CURRENT_SOURCE_DIR})
  if(M_DIR)
    set(folder ${CMAKE_CURRENT_SOURCE_DIR}/${M_DIR})
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${folder}/*_test.cpp)
  if(NOT tests)
    return()
  endif()
  add_executable(${name}_tests ${tests})
  target_link_libraries(${name}_tests PRIVATE ${M_DEPS} GTest::gtest_main)
  target_compile_definitions(${name}_tests PRIVATE
    FROMSEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # One ctest entry per executable: starting wine per test case costs too much.
    add_test(NAME ${FROMSEL_WINDOWS_BUILD}.${name} COMMAND ${name}_tests)
  else()
    gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
