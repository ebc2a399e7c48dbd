"""builtin_interfaces/Time: a point in time as seconds and nanoseconds."""

from builtin_interfaces._message_base import MessageBase, check_int


class Time(MessageBase):
    __slots__ = ('_sec', '_nanosec')
    _fields_and_field_types = {'sec': 'int32', 'nanosec': 'uint32'}

    def __init__(self, *, sec=0, nanosec=0):
        self.sec = sec
        self.nanosec = nanosec

    @property
    def sec(self):
        return self._sec

    @sec.setter
    def sec(self, value):
        self._sec = check_int('Time', 'sec', value, 32, signed=True)

    @property
    def nanosec(self):
        return self._nanosec

    @nanosec.setter
    def nanosec(self, value):
        self._nanosec = check_int('Time', 'nanosec', value, 32, signed=False)
