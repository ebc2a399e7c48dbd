# Build helpers shared by the stand-in packages under compat/: finding the
# installed ROS 2 packages (KestrelFindRosPackage.cmake), building one
# type-support family library, and writing a package's CMake config.
include_guard(DIRECTORY)
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/KestrelFindRosPackage.cmake)

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
    ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/KestrelFindRosPackage.cmake
    DESTINATION ${CMAKE_INSTALL_DATADIR}/${pkg}/cmake)
endfunction()

# kestrel_message_package(<pkg> VERSION v [DEPENDS ...] [PACKAGES ...])
# A stand-in message package: its seven family folders, every one required,
# then its CMake config (arguments as for kestrel_package_config).
function(kestrel_message_package pkg)
  foreach(family rosidl_generator_c rosidl_typesupport_fastrtps_c
                 rosidl_typesupport_introspection_c rosidl_generator_cpp
                 rosidl_typesupport_introspection_cpp rosidl_typesupport_fastrtps_cpp
                 rosidl_generator_py)
    add_subdirectory(${family})
  endforeach()
  kestrel_package_config(${pkg} ${ARGN})
endfunction()
