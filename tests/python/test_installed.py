"""The installed packages, used as the ROS 2 Python client library uses them.

The packages are installed into a temporary prefix; a fresh interpreter
imports them from there alone and loads the type-support families by name
from the prefix's library folder.
"""

import os
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR = os.environ['KESTREL_BUILD_DIR']
CMAKE = os.environ['KESTREL_CMAKE_COMMAND']
SITE = os.environ['KESTREL_PYTHON_INSTALL_DIR']  # relative to the prefix

# The packages the Python side needs at run time, in dependency order.
PACKAGE_DIRS = ('compat/rosidl_parser', 'compat/rosidl_typesupport_fastrtps_c',
                'compat/rosidl_typesupport_fastrtps_cpp', 'compat/rosidl_typesupport_c',
                'compat/builtin_interfaces', 'compat/std_msgs', 'compat/sensor_msgs',
                'kestrel_ifaces')

AS_RCLPY = '''
import ctypes

import kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c as extension
from kestrel_ifaces.serialization import deserialize, serialize
from kestrel_ifaces.srv import Camera
from sensor_msgs.msg import Image
assert extension.__file__.startswith(PREFIX), extension.__file__


class Handle(ctypes.Structure):  # rosidl_{message,service}_type_support_t
    pass


Handle._fields_ = [('typesupport_identifier', ctypes.c_char_p), ('data', ctypes.c_void_p),
                   ('func', ctypes.CFUNCTYPE(ctypes.POINTER(Handle), ctypes.POINTER(Handle),
                                             ctypes.c_char_p))]


class ServiceCallbacks(ctypes.Structure):  # service_type_support_callbacks_t
    _fields_ = [('service_namespace', ctypes.c_char_p), ('service_name', ctypes.c_char_p),
                ('request_members', ctypes.POINTER(Handle)),
                ('response_members', ctypes.POINTER(Handle))]


def pointer(capsule):
    get = ctypes.pythonapi.PyCapsule_GetPointer
    get.restype = ctypes.c_void_p
    get.argtypes = [ctypes.py_object, ctypes.c_char_p]
    return get(capsule, None)


def dispatch_handle(capsule):
    handle = Handle.from_address(pointer(capsule))
    assert handle.typesupport_identifier == b'rosidl_typesupport_c', handle.typesupport_identifier
    return handle


def family(handle, identifier):
    found = handle.func(ctypes.pointer(handle), identifier)
    assert found, identifier
    assert found.contents.typesupport_identifier == identifier
    return found.contents


# rclpy: check_for_type_support, then the service's handle.
assert Camera.__class__._TYPE_SUPPORT is None
Camera.__class__.__import_type_support__()
service = dispatch_handle(Camera.__class__._TYPE_SUPPORT)
cdr_service = family(service, b'rosidl_typesupport_fastrtps_c')
callbacks = ServiceCallbacks.from_address(cdr_service.data)
assert (callbacks.service_namespace, callbacks.service_name) == (b'kestrel_ifaces::srv', b'Camera')
assert family(service, b'rosidl_typesupport_introspection_c')

# The same call filled the messages' metaclasses; their capsules make,
# convert and destroy C messages.
request = Camera.Request(angle=-3)
response = Camera.Response(image=Image(height=1, width=2, encoding='mono8', step=2, data=b'ab'))
for message, members in ((request, callbacks.request_members),
                         (response, callbacks.response_members)):
    meta = type(type(message))
    cdr = family(dispatch_handle(meta._TYPE_SUPPORT), b'rosidl_typesupport_fastrtps_c')
    assert ctypes.addressof(cdr) == ctypes.addressof(members.contents)
    create = ctypes.CFUNCTYPE(ctypes.c_void_p)(pointer(meta._CREATE_ROS_MESSAGE))
    destroy = ctypes.CFUNCTYPE(None, ctypes.c_void_p)(pointer(meta._DESTROY_ROS_MESSAGE))
    from_py = ctypes.PYFUNCTYPE(ctypes.c_bool, ctypes.py_object, ctypes.c_void_p)(
        pointer(meta._CONVERT_FROM_PY))
    to_py = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.c_void_p)(pointer(meta._CONVERT_TO_PY))
    c_message = create()
    assert c_message
    try:
        assert from_py(message, c_message)
        assert to_py(c_message) == message
    finally:
        destroy(c_message)
    assert deserialize(serialize(message), type(message)) == message

# ros2 service call pairs SLOT_TYPES with __slots__, nested messages included.
from rosidl_parser.definition import AbstractNestedType, NamespacedType
pending = [Camera.Request, Camera.Response]
while pending:
    cls = pending.pop()
    fields = cls.get_fields_and_field_types()
    assert [slot[1:] for slot in cls.__slots__] == list(fields), cls
    assert len(cls.SLOT_TYPES) == len(fields), cls
    for slot_type, type_name in zip(cls.SLOT_TYPES, fields.values()):
        if isinstance(slot_type, AbstractNestedType):
            slot_type = slot_type.value_type
        if isinstance(slot_type, NamespacedType):
            assert '/'.join((slot_type.namespaces[0], slot_type.name)) == type_name, type_name
            module = __import__('.'.join(slot_type.namespaces), fromlist=[slot_type.name])
            pending.append(getattr(module, slot_type.name))
        else:
            assert getattr(slot_type, 'typename', 'string') in type_name, (cls, type_name)
'''


class InstalledPackagesTest(unittest.TestCase):

    def test_packages_serve_the_python_client_library_from_the_install_prefix(self):
        with tempfile.TemporaryDirectory() as prefix:
            for package in PACKAGE_DIRS:
                script = os.path.join(BUILD_DIR, package, 'cmake_install.cmake')
                if not os.path.exists(script):
                    continue  # a real ROS 2 package is used instead of the stand-in
                subprocess.run([CMAKE, f'-DCMAKE_INSTALL_PREFIX={prefix}', '-P', script],
                               check=True, stdout=subprocess.DEVNULL)
            # PYTHONPATH and the library path (on which the dispatch finds the
            # family libraries by name) come only from the package's hook.
            env = {k: v for k, v in os.environ.items()
                   if k not in ('PYTHONPATH', 'LD_LIBRARY_PATH')}
            setup = os.path.join(prefix, 'share', 'kestrel_ifaces', 'local_setup.sh')
            program = f'PREFIX = {prefix!r}\n' + AS_RCLPY
            result = subprocess.run(['/bin/sh', '-c', '. "$0" && exec "$1" -c "$2"',
                                     setup, sys.executable, program],
                                    env=env, cwd=prefix, capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == '__main__':
    unittest.main()
