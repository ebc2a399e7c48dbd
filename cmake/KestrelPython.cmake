# The Python interpreter and folders shared by the whole tree: the stand-ins
# and kestrel_ifaces build their Python packages with it, the Python tests
# and benchmarks run with it.
#
# Build tree: every package lands under KESTREL_PYTHON_BUILD_DIR
# (<build>/python), the PYTHONPATH for running from the build. Install:
# KESTREL_PYTHON_INSTALL_DIR under the prefix (lib/python3.<minor>/
# site-packages, as a ROS 2 install lays it out).
#
# One interpreter builds the extensions and runs the tests. Debian's is
# preferred over another found earlier on PATH (a pyenv shim, say), whose ABI
# may not match the installed Python headers; -DPython3_EXECUTABLE=... picks
# another.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python 3 interpreter")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)

set(KESTREL_PYTHON_BUILD_DIR ${CMAKE_BINARY_DIR}/python)
set(KESTREL_PYTHON_INSTALL_DIR
    lib/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/site-packages
    CACHE STRING "Install folder of the Python packages, relative to the prefix")
