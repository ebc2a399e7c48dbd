# The Python side of the stand-in message packages: laying a package's Python
# sources out in the build tree and the install, and its C conversion library.
# The interpreter and the two folders (KESTREL_PYTHON_BUILD_DIR,
# KESTREL_PYTHON_INSTALL_DIR) come from the tree's cmake/KestrelPython.cmake.
include_guard(GLOBAL)

# kestrel_python_package(<pkg> [SHARED ...])
# Copies the Python package <pkg>/ of the calling folder (every .py file in
# it) into the build tree and installs it. SHARED names modules of
# compat/common to put into the package beside them.
function(kestrel_python_package pkg)
  cmake_parse_arguments(ARG "" "" "SHARED" ${ARGN})
  file(GLOB_RECURSE sources RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${pkg}/*.py)
  foreach(source IN LISTS sources)
    configure_file(${source} ${KESTREL_PYTHON_BUILD_DIR}/${source} COPYONLY)
    get_filename_component(dir ${source} DIRECTORY)
    install(FILES ${source} DESTINATION ${KESTREL_PYTHON_INSTALL_DIR}/${dir})
  endforeach()
  foreach(module IN LISTS ARG_SHARED)
    set(source ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../common/${module})
    configure_file(${source} ${KESTREL_PYTHON_BUILD_DIR}/${pkg}/${module} COPYONLY)
    install(FILES ${source} DESTINATION ${KESTREL_PYTHON_INSTALL_DIR}/${pkg})
  endforeach()
endfunction()

# kestrel_python_conversion_library(<pkg> SOURCES ... [PUBLIC_LIBS ...])
# The package's C conversion library lib<pkg>__rosidl_generator_py.so, built
# with the stand-ins' private headers (py_fields.h). It uses the Python C API
# but does not link libpython: it is only ever loaded into a Python process.
function(kestrel_python_conversion_library pkg)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS" ${ARGN})
  kestrel_family_library(${pkg} rosidl_generator_py
    SOURCES ${ARG_SOURCES}
    PUBLIC_LIBS ${ARG_PUBLIC_LIBS}
    PRIVATE_LIBS Python3::Module)
  target_include_directories(${pkg}__rosidl_generator_py PRIVATE
    ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../common)
endfunction()
