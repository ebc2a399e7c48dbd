# The Python interpreter and folders shared by the whole tree: the stand-ins
# and kestrel_ifaces build their Python packages with it, the Python tests
# and benchmarks run with it. The choice is the interface package's own (it
# configures on its own too): Debian's interpreter unless
# -DPython3_EXECUTABLE=... names another; KESTREL_PYTHON_BUILD_DIR and
# KESTREL_PYTHON_INSTALL_DIR name the build tree's and the install's folders.
include(${PROJECT_SOURCE_DIR}/kestrel_ifaces/cmake/KestrelIfacesPython.cmake)
