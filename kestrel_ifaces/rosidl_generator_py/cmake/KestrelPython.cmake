# The Python side of the message packages: finding the interpreter, and
# laying a package's Python sources out in the build tree and the install.
#
# Build tree: every package lands under KESTREL_PYTHON_BUILD_DIR
# (<build>/python), the PYTHONPATH for running from the build.
# Install: KESTREL_PYTHON_INSTALL_DIR under the prefix
# (lib/python3.<minor>/site-packages, as a ROS 2 install lays it out).
include_guard(DIRECTORY)

# One interpreter builds the extensions and runs the tests. Debian's is
# preferred over another found earlier on PATH (a pyenv shim, say), whose
# ABI may not match the installed Python headers; -DPython3_EXECUTABLE=...
# picks another.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python 3 interpreter")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)

set(KESTREL_PYTHON_BUILD_DIR ${CMAKE_BINARY_DIR}/python)
set(KESTREL_PYTHON_INSTALL_DIR
    lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/site-packages
    CACHE STRING "Install folder of the Python packages, relative to the prefix")

# kestrel_python_package(<pkg>)
# Copies the Python package <pkg>/ of the calling folder (every .py file in
# it) into the build tree and installs it.
function(kestrel_python_package pkg)
  file(GLOB_RECURSE sources RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${pkg}/*.py)
  foreach(source IN LISTS sources)
    configure_file(${source} ${KESTREL_PYTHON_BUILD_DIR}/${source} COPYONLY)
    get_filename_component(dir ${source} DIRECTORY)
    install(FILES ${source} DESTINATION ${KESTREL_PYTHON_INSTALL_DIR}/${dir})
  endforeach()
endfunction()

# kestrel_python_conversion_library(<pkg> SOURCES ... [PUBLIC_LIBS ...])
# The package's C conversion library lib<pkg>__rosidl_generator_py.so. It
# uses the Python C API but does not link libpython: it is only ever loaded
# into a Python process.
function(kestrel_python_conversion_library pkg)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS" ${ARGN})
  kestrel_family_library(${pkg} rosidl_generator_py
    SOURCES ${ARG_SOURCES}
    PUBLIC_LIBS ${ARG_PUBLIC_LIBS}
    PRIVATE_LIBS Python3::Module)
  set_target_properties(${pkg}__rosidl_generator_py PROPERTIES INSTALL_RPATH "$ORIGIN")
endfunction()
