# Helpers shared by the stand-in packages under compat/ and by kestrel_ifaces:
# finding the installed ROS 2 packages, building one type-support family
# library, and writing a package's CMake config. This file is also installed
# next to each package config so that consumers can use the first helper.
include_guard(DIRECTORY)
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

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

# kestrel_family_library(<pkg> <family> SOURCES ... [PUBLIC_LIBS ...]
#                        [PRIVATE_LIBS ...])
# Builds lib<pkg>__<family>.so from the calling folder, with hidden symbols
# except those marked by the export macros (the macro
# <FAMILY>_BUILDING_DLL_<pkg> is defined while building), and the alias
# <pkg>::<pkg>__<family>. Installs the library and the headers found under the
# calling folder's <pkg>/ directory into include/<pkg>/, and the export file
# share/<pkg>/cmake/<pkg>__<family>Export.cmake that the package config loads.
function(kestrel_family_library pkg family)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  set(target ${pkg}__${family})
  add_library(${target} SHARED ${ARG_SOURCES})
  add_library(${pkg}::${target} ALIAS ${target})
  string(TOUPPER ${family} family_upper)
  target_compile_definitions(${target} PRIVATE ${family_upper}_BUILDING_DLL_${pkg})
  # Installed family libraries find each other beside themselves.
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON INSTALL_RPATH "$ORIGIN")
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/${pkg}>)
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  install(TARGETS ${target} EXPORT ${target}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${pkg}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${pkg}
    FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
  install(EXPORT ${target} NAMESPACE ${pkg}::
    FILE ${target}Export.cmake
    DESTINATION ${CMAKE_INSTALL_DATADIR}/${pkg}/cmake)
endfunction()

# kestrel_package_config(<pkg> VERSION v [DEPENDS ros_pkg...]
#                        [PACKAGES stand_in_pkg...])
# Installs share/<pkg>/cmake/<pkg>Config.cmake (and its version file). The
# config finds the ROS 2 packages named in DEPENDS and the packages named in
# PACKAGES, then loads <pkg>Export.cmake and every <pkg>__*Export.cmake
# installed beside it, so a family added later needs no change here.
function(kestrel_package_config pkg)
  cmake_parse_arguments(ARG "" "VERSION" "DEPENDS;PACKAGES" ${ARGN})
  set(PACKAGE_NAME ${pkg})
  set(PACKAGE_ROS_DEPENDS "${ARG_DEPENDS}")
  set(PACKAGE_DEPENDS "${ARG_PACKAGES}")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/package_config)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/PackageConfig.cmake.in
    ${dir}/${pkg}Config.cmake @ONLY)
  write_basic_package_version_file(${dir}/${pkg}ConfigVersion.cmake
    VERSION ${ARG_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${dir}/${pkg}Config.cmake ${dir}/${pkg}ConfigVersion.cmake
    ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/KestrelRosPackage.cmake
    DESTINATION ${CMAKE_INSTALL_DATADIR}/${pkg}/cmake)
endfunction()
