"""Common behaviour of the message classes of the stand-in message packages.

A message class lists its fields in ``_fields_and_field_types`` (field name to
ROS type name) and, in the same order, their ``rosidl_parser.definition`` types
in ``SLOT_TYPES``; it keeps each value in the slot ``_<field>`` (``__slots__``,
same order again) behind a property that validates what is assigned.
"""


class MessageBase:
    """Equality, repr and field listing shared by the message classes."""

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
        fields = ', '.join(f'{f}={_short_repr(getattr(self, f))}'
                           for f in self._fields_and_field_types)
        package = type(self).__module__.split('.')[0]
        return f'{package}.msg.{type(self).__name__}({fields})'


def _short_repr(value, limit=16):
    """Repr of a field value; long byte arrays show their length and first bytes only."""
    if hasattr(value, '__len__') and not isinstance(value, str) and len(value) > limit:
        head = ', '.join(str(v) for v in value[:limit])
        return f'<{len(value)} bytes: {head}, ...>'
    return repr(value)


def check_int(owner, name, value, bits, signed):
    """Return ``value`` if it is an int that fits the field's integer type, else raise."""
    if not isinstance(value, int) or isinstance(value, bool):
        raise TypeError(f'{owner}.{name} must be an int, not {type(value).__name__}')
    low, high = (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if signed else (0, (1 << bits) - 1)
    if not low <= value <= high:
        kind = f'{"" if signed else "u"}int{bits}'
        raise ValueError(f'{owner}.{name} must be in [{low}, {high}] ({kind}), got {value}')
    return value


def check_str(owner, name, value):
    """Return ``value`` if it is a str, else raise TypeError."""
    if not isinstance(value, str):
        raise TypeError(f'{owner}.{name} must be a str, not {type(value).__name__}')
    return value


def check_type(owner, name, value, cls):
    """Return ``value`` if it is an instance of ``cls``, else raise TypeError."""
    if not isinstance(value, cls):
        raise TypeError(f'{owner}.{name} must be a {cls.__module__}.{cls.__name__}, '
                        f'not {type(value).__name__}')
    return value
