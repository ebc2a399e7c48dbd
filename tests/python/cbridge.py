"""ctypes access to the C data model and the Camera conversion functions.

The libraries are named by the environment the test registration sets
(KESTREL_IFACES_C_LIB, KESTREL_IFACES_PY_LIB). The conversions are loaded with
PyDLL, so they run with the interpreter lock held and a Python exception they
leave set is raised by ctypes.
"""

import contextlib
import ctypes
import os

_c = ctypes.CDLL(os.environ['KESTREL_IFACES_C_LIB'])
_py = ctypes.PyDLL(os.environ['KESTREL_IFACES_PY_LIB'])


def _bind(lib, name, restype, argtypes):
    function = getattr(lib, name)
    function.restype = restype
    function.argtypes = argtypes
    return function


_PREFIX = {'request': 'kestrel_ifaces__srv__Camera_Request',
           'response': 'kestrel_ifaces__srv__Camera_Response'}

_create = {k: _bind(_c, p + '__create', ctypes.c_void_p, []) for k, p in _PREFIX.items()}
_destroy = {k: _bind(_c, p + '__destroy', None, [ctypes.c_void_p]) for k, p in _PREFIX.items()}

request_from_py = _bind(_py, 'kestrel_ifaces__srv__camera__request__convert_from_py',
                        ctypes.c_bool, [ctypes.py_object, ctypes.c_void_p])
request_to_py = _bind(_py, 'kestrel_ifaces__srv__camera__request__convert_to_py',
                      ctypes.py_object, [ctypes.c_void_p])
response_from_py = _bind(_py, 'kestrel_ifaces__srv__camera__response__convert_from_py',
                         ctypes.c_bool, [ctypes.py_object, ctypes.c_void_p])
response_to_py = _bind(_py, 'kestrel_ifaces__srv__camera__response__convert_to_py',
                       ctypes.py_object, [ctypes.c_void_p])


@contextlib.contextmanager
def c_message(kind):
    """Address of a new C 'request' or 'response', destroyed on leaving."""
    address = _create[kind]()
    assert address, f'{kind} create failed'
    try:
        yield address
    finally:
        _destroy[kind](address)


def angle_of(address):
    """The angle member of the C request at address (its only member)."""
    return ctypes.c_int16.from_address(address)
