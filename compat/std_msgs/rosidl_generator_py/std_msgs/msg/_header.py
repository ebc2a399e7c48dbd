"""std_msgs/Header: time stamp and coordinate frame of the data that follows."""

from builtin_interfaces._message_base import MessageBase, check_str, check_type
from builtin_interfaces.msg import Time
from rosidl_parser.definition import NamespacedType, UnboundedString


class Header(MessageBase):
    __slots__ = ('_stamp', '_frame_id')
    _fields_and_field_types = {'stamp': 'builtin_interfaces/Time', 'frame_id': 'string'}
    SLOT_TYPES = (NamespacedType(['builtin_interfaces', 'msg'], 'Time'), UnboundedString())

    def __init__(self, *, stamp=None, frame_id=''):
        if stamp is not None:
            self.stamp = stamp
        self.frame_id = frame_id

    @property
    def stamp(self):
        try:
            return self._stamp
        except AttributeError:  # the default is made on first use
            self._stamp = Time()
            return self._stamp

    @stamp.setter
    def stamp(self, value):
        self._stamp = check_type('Header', 'stamp', value, Time)

    @property
    def frame_id(self):
        return self._frame_id

    @frame_id.setter
    def frame_id(self, value):
        self._frame_id = check_str('Header', 'frame_id', value)
