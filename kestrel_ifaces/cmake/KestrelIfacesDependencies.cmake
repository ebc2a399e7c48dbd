# The packages kestrel_ifaces builds on, found the same way by the package's
# own CMakeLists.txt and by its installed CMake config (this file is installed
# beside the config).

# kestrel_ifaces_find(<package> <target>)
# Adds <package> to kestrel_ifaces_DEPENDENCIES and finds it with
# find_package(<package> REQUIRED) unless <target> already exists. Inside the
# Kestrel tree the stand-ins are targets of the same build, and on a Debian
# host an installed stand-in's config has already loaded the ROS 2 core
# packages it links (Debian's own configs of those need the ament CMake tools).
macro(kestrel_ifaces_find package target)
  list(APPEND kestrel_ifaces_DEPENDENCIES ${package})
  if(NOT TARGET ${target})
    find_package(${package} REQUIRED)
  endif()
endmacro()

# Message and type-support packages first: on Debian their stand-ins' configs
# define the targets of the core packages below.
kestrel_ifaces_find(sensor_msgs sensor_msgs::sensor_msgs__rosidl_generator_c)
kestrel_ifaces_find(rosidl_typesupport_fastrtps_c
                    rosidl_typesupport_fastrtps_c::rosidl_typesupport_fastrtps_c)
kestrel_ifaces_find(rosidl_typesupport_fastrtps_cpp
                    rosidl_typesupport_fastrtps_cpp::rosidl_typesupport_fastrtps_cpp)
kestrel_ifaces_find(rosidl_typesupport_cpp rosidl_typesupport_cpp::rosidl_typesupport_cpp)
kestrel_ifaces_find(rosidl_typesupport_c rosidl_typesupport_c::rosidl_typesupport_c)
kestrel_ifaces_find(fastcdr fastcdr)
kestrel_ifaces_find(rcutils rcutils::rcutils)
kestrel_ifaces_find(rosidl_runtime_c rosidl_runtime_c::rosidl_runtime_c)
kestrel_ifaces_find(rosidl_runtime_cpp rosidl_runtime_cpp::rosidl_runtime_cpp)
kestrel_ifaces_find(rosidl_typesupport_interface
                    rosidl_typesupport_interface::rosidl_typesupport_interface)
kestrel_ifaces_find(rosidl_typesupport_introspection_c
                    rosidl_typesupport_introspection_c::rosidl_typesupport_introspection_c)
kestrel_ifaces_find(rosidl_typesupport_introspection_cpp
                    rosidl_typesupport_introspection_cpp::rosidl_typesupport_introspection_cpp)
