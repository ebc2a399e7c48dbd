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

# kestrel_should_register(<out-var> <tsan>) tells whether a test, marked for
# the ThreadSanitizer build when <tsan> is true, belongs in this flavour.
function(kestrel_should_register out tsan)
  if(KESTREL_SANITIZE STREQUAL "thread" AND NOT tsan)
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
  set_property(GLOBAL APPEND PROPERTY KESTREL_TEST_TARGETS ${target})
  kestrel_should_register(register "${ARG_TSAN}")
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
  kestrel_should_register(register "${ARG_TSAN}")
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

# kestrel_tests_built_stamp() is called once, after every folder: it writes
# tests_built.stamp in the build folder once all test programs are linked, so
# a build folder that is configured but not built is recognised as such.
function(kestrel_tests_built_stamp)
  get_property(targets GLOBAL PROPERTY KESTREL_TEST_TARGETS)
  add_custom_target(kestrel_tests_built ALL
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/tests_built.stamp)
  add_dependencies(kestrel_tests_built ${targets})
endfunction()

# Extra build folders (the sanitizer builds) whose tests join this build's
# CTest run: KESTREL_EXTRA_TEST_DIRS is a list of absolute build paths. A
# folder that is missing or not built yet shows as one failing test naming it,
# never as fewer tests.
set(KESTREL_EXTRA_TEST_DIRS "" CACHE STRING
    "Build folders whose tests run in this folder's ctest")
if(KESTREL_EXTRA_TEST_DIRS)
  set(extra_file ${CMAKE_BINARY_DIR}/KestrelExtraTests.cmake)
  set(content "")
  foreach(dir ${KESTREL_EXTRA_TEST_DIRS})
    get_filename_component(name ${dir} NAME)
    string(APPEND content
      "if(EXISTS \"${dir}/tests_built.stamp\")\n"
      "  subdirs(\"${dir}\")\n"
      "else()\n"
      "  add_test(${name}.not_built /bin/sh -c \"echo '${dir} is not built: run ./kestrel test' >&2; exit 1\")\n"
      "endif()\n")
  endforeach()
  file(WRITE ${extra_file} "${content}")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${extra_file})
endif()
