# find_package(rosidl_typesupport_cpp) from an install prefix.
include(CMakeFindDependencyMacro)
find_dependency(rosidl_runtime_c)
include(${CMAKE_CURRENT_LIST_DIR}/rosidl_typesupport_cppExport.cmake)
