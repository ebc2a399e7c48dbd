"""sensor_msgs/Image: an uncompressed image, row by row."""

import array

from builtin_interfaces._message_base import MessageBase, check_int, check_str, check_type
from std_msgs.msg import Header


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

    def __init__(self, *, header=None, height=0, width=0, encoding='', is_bigendian=0, step=0,
                 data=()):
        self.header = Header() if header is None else header
        self.height = height
        self.width = width
        self.encoding = encoding
        self.is_bigendian = is_bigendian
        self.step = step
        self.data = data

    @property
    def header(self):
        return self._header

    @header.setter
    def header(self, value):
        self._header = check_type('Image', 'header', value, Header)

    @property
    def height(self):
        return self._height

    @height.setter
    def height(self, value):
        self._height = check_int('Image', 'height', value, 32, signed=False)

    @property
    def width(self):
        return self._width

    @width.setter
    def width(self, value):
        self._width = check_int('Image', 'width', value, 32, signed=False)

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
        self._is_bigendian = check_int('Image', 'is_bigendian', value, 8, signed=False)

    @property
    def step(self):
        return self._step

    @step.setter
    def step(self, value):
        self._step = check_int('Image', 'step', value, 32, signed=False)

    @property
    def data(self):
        return self._data

    @data.setter
    def data(self, value):
        self._data = _as_byte_array(value)
