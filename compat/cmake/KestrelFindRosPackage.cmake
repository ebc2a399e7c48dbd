# Finding an installed ROS 2 package without its ament CMake tools. Used by
# the stand-ins' build and installed beside each stand-in's package config,
# which uses it to find the core packages it builds on.
include_guard(GLOBAL)

# kestrel_find_ros_package(<name>)
# Makes the imported targets of an installed ROS 2 package visible to the
# whole build by loading the package's exported target file. The package's
# own config would need the ament CMake tools (and their Python modules for
# the interpreter CMake finds), which a Debian build host need not have; the
# target file defines the same targets on Debian and on a ROS 2 install.
function(kestrel_find_ros_package name)
  if(TARGET ${name}::${name})
    return()
  endif()
  find_path(${name}_EXPORT_DIR ${name}Export.cmake
    PATH_SUFFIXES ${CMAKE_LIBRARY_ARCHITECTURE}/cmake/${name} lib/cmake/${name}
                  share/${name}/cmake cmake/${name}
    PATHS /usr/lib /usr)
  if(NOT ${name}_EXPORT_DIR)
    message(FATAL_ERROR "ROS 2 package ${name} not found (no ${name}Export.cmake)")
  endif()
  get_directory_property(before IMPORTED_TARGETS)
  include(${${name}_EXPORT_DIR}/${name}Export.cmake)
  get_directory_property(after IMPORTED_TARGETS)
  if(before)
    list(REMOVE_ITEM after ${before})
  endif()
  # The target file does not load the packages its targets link; do that too.
  foreach(target IN LISTS after)
    set_target_properties(${target} PROPERTIES IMPORTED_GLOBAL TRUE)
    get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links)
      if(link MATCHES "^([A-Za-z0-9_]+)::" AND NOT TARGET ${link})
        kestrel_find_ros_package(${CMAKE_MATCH_1})
      endif()
    endforeach()
  endforeach()
endfunction()
