# The package's own build helpers, kept inside it so that kestrel_ifaces
# configures on its own: one shared library per type-support family, and the
# install of what ROS 2 tools, colcon and CMake consumers read (ament index,
# environment hooks, CMake config).
include_guard(GLOBAL)
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

# kestrel_ifaces_export(<pkg> <target>)
# Installs <target> with its own export set, as
# share/<pkg>/cmake/<target>Export.cmake in namespace <pkg>::, and records it
# for the package config.
function(kestrel_ifaces_export pkg target)
  install(TARGETS ${target} EXPORT ${target}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # On a ROS 2 install ament_export_targets() installs the export file itself.
  if(NOT KESTREL_IFACES_WITH_AMENT)
    install(EXPORT ${target} NAMESPACE ${pkg}:: FILE ${target}Export.cmake
      DESTINATION ${CMAKE_INSTALL_DATADIR}/${pkg}/cmake)
  endif()
  set_property(GLOBAL APPEND PROPERTY KESTREL_IFACES_EXPORTS ${target})
endfunction()

# kestrel_ifaces_family_library(<pkg> <family> SOURCES ... [PUBLIC_LIBS ...]
#                        [PRIVATE_LIBS ...])
# Builds lib<pkg>__<family>.so from the calling folder with hidden symbols
# except those marked by the export macros (<FAMILY>_BUILDING_DLL_<pkg> is
# defined while building), alias <pkg>::<pkg>__<family>. Installs the library,
# its export file and the headers under the calling folder's <pkg>/ into
# include/<pkg>/.
function(kestrel_ifaces_family_library pkg family)
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
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${pkg}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${pkg}
    FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
  kestrel_ifaces_export(${pkg} ${target})
endfunction()

# The run dependencies named in package.xml (<depend> and <exec_depend>).
function(kestrel_ifaces_run_dependencies out)
  file(READ ${PROJECT_SOURCE_DIR}/package.xml xml)
  string(REGEX MATCHALL "<(depend|exec_depend)>[^<]+</" tags "${xml}")
  set(names)
  foreach(tag IN LISTS tags)
    string(REGEX REPLACE "^<[a-z_]+>([^<]+)</$" "\\1" name "${tag}")
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# kestrel_ifaces_install_package()
# Without ament (a host with the stand-ins): installs package.xml, the ament
# index resources, the environment hooks and the CMake config that
# ament_package() would. Call it last: it reads the exports recorded so far.
function(kestrel_ifaces_install_package)
  set(share ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME})
  set(templates ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/templates)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/package)
  set(libdir ${CMAKE_INSTALL_LIBDIR})
  set(pythondir ${KESTREL_PYTHON_INSTALL_DIR})
  get_property(exports GLOBAL PROPERTY KESTREL_IFACES_EXPORTS)
  install(FILES package.xml DESTINATION ${share})

  # The ament index: one file per resource type, named after the package.
  set(index ${generated}/ament_index/resource_index)
  file(WRITE ${index}/packages/${PROJECT_NAME} "")
  file(WRITE ${index}/rosidl_interfaces/${PROJECT_NAME} "srv/Camera.idl\nsrv/Camera.srv\n")
  kestrel_ifaces_run_dependencies(run_dependencies)
  file(WRITE ${index}/package_run_dependencies/${PROJECT_NAME} "${run_dependencies}")
  # The prefixes the dependencies came from, as AMENT_PREFIX_PATH lists them.
  set(parents $ENV{AMENT_PREFIX_PATH} $ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" parents "${parents}")
  list(APPEND parents ${CMAKE_PREFIX_PATH})
  list(REMOVE_DUPLICATES parents)
  list(REMOVE_ITEM parents "${CMAKE_INSTALL_PREFIX}" "")
  string(REPLACE ";" ":" parents "${parents}")
  file(WRITE ${index}/parent_prefix_path/${PROJECT_NAME} "${parents}")
  install(DIRECTORY ${generated}/ament_index DESTINATION ${CMAKE_INSTALL_DATADIR})

  # Environment hooks: package.dsv for colcon, local_setup.* for a shell.
  # local_setup.sh names the prefix it is installed to, so it is written at
  # install time; local_setup.bash finds its prefix from its own path.
  foreach(file package.dsv local_setup.dsv local_setup.bash)
    configure_file(${templates}/${file}.in ${generated}/${file} @ONLY)
    install(FILES ${generated}/${file} DESTINATION ${share})
  endforeach()
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(libdir \"${libdir}\")
    set(pythondir \"${pythondir}\")
    configure_file(\"${templates}/local_setup.sh.in\"
                   \"${generated}/for_install/local_setup.sh\" @ONLY)
    file(INSTALL \"${generated}/for_install/local_setup.sh\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${share}\")")

  # The CMake config: the dependencies, every family's target file, and the
  # variables ament packages give.
  set(targets)
  set(libraries)
  foreach(target IN LISTS exports)
    list(APPEND targets ${PROJECT_NAME}::${target})
    # The libraries a C or C++ program links: not the header-only types,
    # nor the Python conversions, which only a Python process can load.
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY" AND NOT target MATCHES "__rosidl_generator_py$")
      list(APPEND libraries ${PROJECT_NAME}::${target})
    endif()
  endforeach()
  set(includedir ${CMAKE_INSTALL_INCLUDEDIR}/${PROJECT_NAME})
  configure_file(${templates}/Config.cmake.in ${generated}/${PROJECT_NAME}Config.cmake @ONLY)
  write_basic_package_version_file(${generated}/${PROJECT_NAME}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${generated}/${PROJECT_NAME}Config.cmake
                ${generated}/${PROJECT_NAME}ConfigVersion.cmake
                ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/KestrelIfacesDependencies.cmake
    DESTINATION ${share}/cmake)
endfunction()
