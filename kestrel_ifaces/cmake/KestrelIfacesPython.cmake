# The Python interpreter and folders of the package's Python side. The Kestrel
# tree takes the same (cmake/KestrelPython.cmake includes this file), so one
# interpreter builds every extension and runs the tests.
#
# Debian's interpreter is preferred over one found earlier on PATH (a pyenv
# shim, say): ament_cmake runs its own Python modules, which Debian installs
# for its interpreter only, and the extension must match the installed Python
# headers. -DPython3_EXECUTABLE=... picks another. Found before ament_cmake,
# whose CMake then runs this interpreter (it looks for one only when
# Python3::Interpreter does not exist yet).
#
# Build tree: every Python package lands under KESTREL_PYTHON_BUILD_DIR
# (<build>/python), the PYTHONPATH for running from the build. Install:
# KESTREL_PYTHON_INSTALL_DIR under the prefix (lib/python3.<minor>/
# site-packages, as a ROS 2 install lays it out).
include_guard(GLOBAL)
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python 3 interpreter")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)

set(KESTREL_PYTHON_BUILD_DIR ${CMAKE_BINARY_DIR}/python)
set(KESTREL_PYTHON_INSTALL_DIR
    lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/site-packages
    CACHE STRING "Install folder of the Python packages, relative to the prefix")
