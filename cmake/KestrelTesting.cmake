# Test registration shared by every folder.
#
# All tests carry a prefix naming the build flavour ("asan." or "tsan."; none
# for the plain build) so that one CTest run can include the sanitizer builds'
# tests beside the plain ones without name clashes.
#
# In the ThreadSanitizer build only tests marked TSAN are registered: that
# build exists to race-check the threaded code, not to rerun everything.

include(CTest)
find_package(GTest REQUIRED)
include(GoogleTest)

if(KESTREL_SANITIZE STREQUAL "address")
  set(KESTREL_TEST_PREFIX "asan.")
elseif(KESTREL_SANITIZE STREQUAL "thread")
  set(KESTREL_TEST_PREFIX "tsan.")
else()
  set(KESTREL_TEST_PREFIX "")
endif()

# kestrel_should_register(<out-var> [TSAN]) tells whether a test belongs in
# this flavour.
function(kestrel_should_register out)
  cmake_parse_arguments(ARG "TSAN" "" "" ${ARGN})
  if(KESTREL_SANITIZE STREQUAL "thread" AND NOT ARG_TSAN)
    set(${out} FALSE PARENT_SCOPE)
  else()
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

# kestrel_gtest(<target> SOURCES ... [LIBS ...] [ENV VAR=value ...]
#               [LABELS ...] [TIMEOUT s] [TSAN] [SERIAL])
# Builds a GoogleTest executable and registers each of its tests with CTest.
function(kestrel_gtest target)
  cmake_parse_arguments(ARG "TSAN;SERIAL" "TIMEOUT"
                        "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  set(tsan_flag)
  if(ARG_TSAN)
    set(tsan_flag TSAN)
  endif()
  kestrel_should_register(register ${tsan_flag})
  if(NOT register)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_ENV)
    list(APPEND props ENVIRONMENT "${ARG_ENV}")
  endif()
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(ARG_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${KESTREL_TEST_PREFIX}${target}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES ${props})
endfunction()

# kestrel_add_test(NAME <name> COMMAND ... [TSAN] [ENV ...] [LABELS ...]
#                  [TIMEOUT s] [WORKING_DIRECTORY dir])
# Registers a plain command (a Python unittest module, a script) as a test.
function(kestrel_add_test)
  cmake_parse_arguments(ARG "TSAN" "NAME;TIMEOUT;WORKING_DIRECTORY"
                        "COMMAND;ENV;LABELS" ${ARGN})
  set(tsan_flag)
  if(ARG_TSAN)
    set(tsan_flag TSAN)
  endif()
  kestrel_should_register(register ${tsan_flag})
  if(NOT register)
    return()
  endif()
  set(name "${KESTREL_TEST_PREFIX}${ARG_NAME}")
  if(ARG_WORKING_DIRECTORY)
    add_test(NAME ${name} COMMAND ${ARG_COMMAND}
             WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
  else()
    add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
  endif()
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# Extra build folders (the sanitizer builds) whose tests join this build's
# CTest run: KESTREL_EXTRA_TEST_DIRS is a list of absolute build paths.
set(KESTREL_EXTRA_TEST_DIRS "" CACHE STRING
    "Build folders whose tests run in this folder's ctest")
if(KESTREL_EXTRA_TEST_DIRS)
  set(extra_file ${CMAKE_BINARY_DIR}/KestrelExtraTests.cmake)
  set(content "")
  foreach(dir ${KESTREL_EXTRA_TEST_DIRS})
    string(APPEND content "if(EXISTS \"${dir}/CTestTestfile.cmake\")\n  subdirs(\"${dir}\")\nendif()\n")
  endforeach()
  file(WRITE ${extra_file} "${content}")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${extra_file})
endif()
