# vantorin_add_subdirectories(): adds every folder below the current one that
# holds a CMakeLists.txt, so a new stand-in or test folder joins by existing.
function(vantorin_add_subdirectories)
  file(GLOB dirs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir ${dirs})
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# Tests are Windows programs, registered with CTest in the build folder of either
# target and run under Wine through the folder's generated wine-run, in the
# folder's own prefix: x86_64 programs by the 64-bit loader, i686 ones (the
# release) by the 32-bit one.
if(VANTORIN_RUN_TESTS)
  enable_testing()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-gtest.in ${CMAKE_BINARY_DIR}/wine-gtest @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

# vantorin_add_service(name COMMAND ...)
# A local stand-in server that tests can require by name. It is started before
# the first such test with "--port-file bin/<name>.port" appended, binds
# 127.0.0.1 on a free port, writes the port there, and is stopped after the last.
function(vantorin_add_service name)
  cmake_parse_arguments(S "" "" "COMMAND" ${ARGN})
  if(NOT VANTORIN_RUN_TESTS)
    return()
  endif()
  set(ctl ${PROJECT_SOURCE_DIR}/scripts/service)
  add_test(NAME ${name}_start COMMAND ${ctl} start ${name} ${CMAKE_BINARY_DIR}/bin ${S_COMMAND})
  add_test(NAME ${name}_stop COMMAND ${ctl} stop ${name} ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name}_start PROPERTIES FIXTURES_SETUP ${name})
  set_tests_properties(${name}_stop PROPERTIES FIXTURES_CLEANUP ${name})
endfunction()

# The headers every test compiles again and again (the system's, the test
# framework's, the standard library's commonest) are compiled once, into a
# precompiled header that every test reuses. The Windows headers come through
# the project's prelude, as in every source; the tests define no macros of
# their own before their includes, so the prelude's are the only ones the
# header sees.
set(vantorin_test_pch_source ${CMAKE_BINARY_DIR}/vantorin_test_pch.cpp)
if(NOT EXISTS ${vantorin_test_pch_source})
  file(WRITE ${vantorin_test_pch_source} "// The precompiled header of the tests is built with this empty source.\n")
endif()
function(vantorin_use_test_pch name)
  if(NOT TARGET vantorin_test_pch)
    add_library(vantorin_test_pch STATIC ${vantorin_test_pch_source})
    target_link_libraries(vantorin_test_pch PRIVATE Vantorin::gtest)
    target_precompile_headers(vantorin_test_pch PRIVATE
      ${PROJECT_SOURCE_DIR}/foundation/Win32Prelude.h <gtest/gtest.h>
      <algorithm> <cstdint> <cstdio> <cstring> <cwchar> <memory> <string> <vector>)
    vantorin_let_ccache_use_pch(vantorin_test_pch)
  endif()
  target_precompile_headers(${name} REUSE_FROM vantorin_test_pch)
  vantorin_let_ccache_use_pch(${name})
endfunction()

# ccache compiles a source that uses a precompiled header only when told to
# overlook the header's macros and time stamps; otherwise every test object
# would bypass the cache.
function(vantorin_let_ccache_use_pch name)
  if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set_target_properties(${name} PROPERTIES CXX_COMPILER_LAUNCHER
      "${CMAKE_COMMAND};-E;env;CCACHE_SLOPPINESS=pch_defines,time_macros;${CMAKE_CXX_COMPILER_LAUNCHER}")
  endif()
endfunction()

# vantorin_add_test(name SOURCES ... [LIBS ...] [TIMEOUT s] [ISOLATED] [DESKTOP] [DEPENDS target...] [SERVICES name...])
# Tests share one Wine prefix and so one user profile (the settings folder, Temp,
# the log): they run one at a time unless ISOLATED says a test touches none of it.
# They also share one desktop: tests whose windows take the focus or the
# foreground say DESKTOP and run one at a time among themselves.
function(vantorin_add_test name)
  cmake_parse_arguments(T "ISOLATED;DESKTOP" "TIMEOUT" "SOURCES;LIBS;DEPENDS;SERVICES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Vantorin::gmock Vantorin::gtest_main)
  vantorin_use_test_pch(${name})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(NOT VANTORIN_RUN_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${CMAKE_BINARY_DIR}/wine-gtest $<TARGET_FILE:${name}>
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  set(locks "")
  if(NOT T_ISOLATED)
    list(APPEND locks wine_profile)
  endif()
  if(T_DESKTOP)
    list(APPEND locks wine_desktop)
  endif()
  if(locks)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
  if(T_SERVICES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_SERVICES}")
  endif()
endfunction()
