"""builtin_interfaces/Time: a point in time as seconds and nanoseconds."""

from builtin_interfaces._message_base import MessageBase, check_int
from rosidl_parser.definition import BasicType

_INT32_MIN, _INT32_MAX = -(1 << 31), (1 << 31) - 1
_UINT32_MAX = (1 << 32) - 1


class Time(MessageBase):
    # The setters take a plain in-range int at once and leave every other
    # value to check_int, which accepts int subclasses or raises.
    __slots__ = ('_sec', '_nanosec')
    _fields_and_field_types = {'sec': 'int32', 'nanosec': 'uint32'}
    SLOT_TYPES = (BasicType('int32'), BasicType('uint32'))

    def __init__(self, *, sec=0, nanosec=0):
        self.sec = sec
        self.nanosec = nanosec

    @property
    def sec(self):
        return self._sec

    @sec.setter
    def sec(self, value):
        if type(value) is not int or not _INT32_MIN <= value <= _INT32_MAX:
            value = check_int('Time', 'sec', value, 32, signed=True)
        self._sec = value

    @property
    def nanosec(self):
        return self._nanosec

    @nanosec.setter
    def nanosec(self, value):
        if type(value) is not int or not 0 <= value <= _UINT32_MAX:
            value = check_int('Time', 'nanosec', value, 32, signed=False)
        self._nanosec = value
