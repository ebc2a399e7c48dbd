"""The Camera service: a tilt angle in the request, one image in the response.

The C entry points of each message (create, destroy, the two conversions and
the C type-support dispatch handle) and the service's dispatch handle come
from the package's extension module. ``Camera.__class__.__import_type_support__()``
loads them all and keeps them as attributes of the metaclasses, where the
ROS 2 Python client looks for them; each message metaclass can also load its
own.
"""

import importlib

from rosidl_parser.definition import BasicType, NamespacedType
from sensor_msgs.msg import Image

_EXTENSION = 'kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c'

_INT16_MIN, _INT16_MAX = -(1 << 15), (1 << 15) - 1


class _CameraMessageMeta(type):
    """Metaclass of the Camera messages; each message gets its own subclass."""

    _CREATE_ROS_MESSAGE = None
    _DESTROY_ROS_MESSAGE = None
    _CONVERT_FROM_PY = None
    _CONVERT_TO_PY = None
    _TYPE_SUPPORT = None
    _EXTENSION_PREFIX = None  # name stem of the message's capsules in the extension

    @classmethod
    def __import_type_support__(mcs):
        extension = importlib.import_module(_EXTENSION)
        stem = mcs._EXTENSION_PREFIX
        mcs._CREATE_ROS_MESSAGE = getattr(extension, f'create_{stem}')
        mcs._DESTROY_ROS_MESSAGE = getattr(extension, f'destroy_{stem}')
        mcs._CONVERT_FROM_PY = getattr(extension, f'convert_from_py_{stem}')
        mcs._CONVERT_TO_PY = getattr(extension, f'convert_to_py_{stem}')
        mcs._TYPE_SUPPORT = getattr(extension, f'type_support_{stem}')


class Metaclass_Camera_Request(_CameraMessageMeta):
    _EXTENSION_PREFIX = 'camera_request'


class Metaclass_Camera_Response(_CameraMessageMeta):
    _EXTENSION_PREFIX = 'camera_response'


class _CameraMessage:
    """Equality, repr and field listing of the two Camera messages.

    ``__slots__``, ``_fields_and_field_types`` and ``SLOT_TYPES`` list the
    fields in the same order.
    """

    __slots__ = ()
    _fields_and_field_types = {}
    SLOT_TYPES = ()

    @classmethod
    def get_fields_and_field_types(cls):
        return dict(cls._fields_and_field_types)

    def __eq__(self, other):
        if type(other) is not type(self):
            return NotImplemented
        return all(getattr(self, f) == getattr(other, f) for f in self._fields_and_field_types)

    __hash__ = None  # mutable, so not hashable

    def __repr__(self):
        fields = ', '.join(f'{f}={getattr(self, f)!r}' for f in self._fields_and_field_types)
        return f'kestrel_ifaces.srv.{type(self).__name__}({fields})'


class Camera_Request(_CameraMessage, metaclass=Metaclass_Camera_Request):
    """Request of the Camera service: the tilt angle to set, in degrees."""

    __slots__ = ('_angle',)
    _fields_and_field_types = {'angle': 'int16'}
    SLOT_TYPES = (BasicType('int16'),)

    def __init__(self, *, angle=0):
        self.angle = angle

    @property
    def angle(self):
        return self._angle

    @angle.setter
    def angle(self, value):
        if not isinstance(value, int) or isinstance(value, bool):
            raise TypeError(f'Camera_Request.angle must be an int, not {type(value).__name__}')
        if not _INT16_MIN <= value <= _INT16_MAX:
            raise ValueError(f'Camera_Request.angle must be in [{_INT16_MIN}, {_INT16_MAX}] '
                             f'(int16), got {value}')
        self._angle = value


class Camera_Response(_CameraMessage, metaclass=Metaclass_Camera_Response):
    """Response of the Camera service: one camera image."""

    __slots__ = ('_image',)
    _fields_and_field_types = {'image': 'sensor_msgs/Image'}
    SLOT_TYPES = (NamespacedType(['sensor_msgs', 'msg'], 'Image'),)

    def __init__(self, *, image=None):
        if image is not None:
            self.image = image

    @property
    def image(self):
        # The default Image is made on first use: making one costs several
        # times more than the rest of a response, and a response built by
        # the C conversion gets its image assigned at once.
        try:
            return self._image
        except AttributeError:
            self._image = Image()
            return self._image

    @image.setter
    def image(self, value):
        if not isinstance(value, Image):
            raise TypeError(f'Camera_Response.image must be a sensor_msgs.msg.Image, '
                            f'not {type(value).__name__}')
        self._image = value


class Metaclass_Camera(type):
    """Metaclass of the Camera service: holds the service's type support."""

    _TYPE_SUPPORT = None  # capsule of the service's C dispatch handle

    @classmethod
    def __import_type_support__(mcs):
        extension = importlib.import_module(_EXTENSION)
        mcs._TYPE_SUPPORT = extension.type_support_camera
        Metaclass_Camera_Request.__import_type_support__()
        Metaclass_Camera_Response.__import_type_support__()


class Camera(metaclass=Metaclass_Camera):
    """The Camera service type; it only names its request and response classes."""

    Request = Camera_Request
    Response = Camera_Response

    def __init__(self):
        raise NotImplementedError('service classes cannot be instantiated')
