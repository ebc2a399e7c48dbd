"""sensor_msgs/Image: an uncompressed image, row by row."""

import array

from builtin_interfaces._message_base import MessageBase, check_int, check_str, check_type
from rosidl_parser.definition import BasicType, NamespacedType, UnboundedSequence, UnboundedString
from std_msgs.msg import Header

_UINT32_MAX = (1 << 32) - 1


def _as_byte_array(value):
    """The pixel bytes of ``value`` as an ``array.array('B')``.

    An ``array('B')`` is kept as it is (no copy); other bytes-like objects are
    copied in one block; any other iterable must yield ints in [0, 255].
    """
    if isinstance(value, array.array):
        if value.typecode != 'B':
            raise TypeError(f"Image.data array must have typecode 'B', not '{value.typecode}'")
        return value
    if isinstance(value, (bytes, bytearray, memoryview)):
        data = array.array('B')
        data.frombytes(value)
        return data
    if isinstance(value, str) or not hasattr(value, '__iter__'):
        raise TypeError(f'Image.data must be bytes-like or a sequence of ints, '
                        f'not {type(value).__name__}')
    try:
        return array.array('B', value)
    except OverflowError as error:
        raise ValueError(f'Image.data values must be in [0, 255]: {error}') from None
    except TypeError as error:
        raise TypeError(f'Image.data values must be ints: {error}') from None


class Image(MessageBase):
    # The integer setters take a plain in-range int at once and leave every
    # other value to check_int, which accepts int subclasses or raises.
    __slots__ = ('_header', '_height', '_width', '_encoding', '_is_bigendian', '_step', '_data')
    _fields_and_field_types = {
        'header': 'std_msgs/Header',
        'height': 'uint32',
        'width': 'uint32',
        'encoding': 'string',
        'is_bigendian': 'uint8',
        'step': 'uint32',
        'data': 'sequence<uint8>',
    }
    SLOT_TYPES = (
        NamespacedType(['std_msgs', 'msg'], 'Header'),
        BasicType('uint32'),
        BasicType('uint32'),
        UnboundedString(),
        BasicType('uint8'),
        BasicType('uint32'),
        UnboundedSequence(BasicType('uint8')),
    )

    def __init__(self, *, header=None, height=0, width=0, encoding='', is_bigendian=0, step=0,
                 data=()):
        if header is not None:
            self.header = header
        self.height = height
        self.width = width
        self.encoding = encoding
        self.is_bigendian = is_bigendian
        self.step = step
        self.data = data

    @property
    def header(self):
        try:
            return self._header
        except AttributeError:  # the default is made on first use
            self._header = Header()
            return self._header

    @header.setter
    def header(self, value):
        self._header = check_type('Image', 'header', value, Header)

    @property
    def height(self):
        return self._height

    @height.setter
    def height(self, value):
        if type(value) is not int or not 0 <= value <= _UINT32_MAX:
            value = check_int('Image', 'height', value, 32, signed=False)
        self._height = value

    @property
    def width(self):
        return self._width

    @width.setter
    def width(self, value):
        if type(value) is not int or not 0 <= value <= _UINT32_MAX:
            value = check_int('Image', 'width', value, 32, signed=False)
        self._width = value

    @property
    def encoding(self):
        return self._encoding

    @encoding.setter
    def encoding(self, value):
        self._encoding = check_str('Image', 'encoding', value)

    @property
    def is_bigendian(self):
        return self._is_bigendian

    @is_bigendian.setter
    def is_bigendian(self, value):
        if type(value) is not int or not 0 <= value <= 255:
            value = check_int('Image', 'is_bigendian', value, 8, signed=False)
        self._is_bigendian = value

    @property
    def step(self):
        return self._step

    @step.setter
    def step(self, value):
        if type(value) is not int or not 0 <= value <= _UINT32_MAX:
            value = check_int('Image', 'step', value, 32, signed=False)
        self._step = value

    @property
    def data(self):
        return self._data

    @data.setter
    def data(self, value):
        self._data = _as_byte_array(value)
