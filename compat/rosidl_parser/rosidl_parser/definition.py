"""The type descriptions of ROS interface fields, as message classes list them.

A minimal stand-in: the classes and attributes that the Python message
classes use in their ``SLOT_TYPES`` and that the command-line tools read
(``isinstance`` checks on the abstract classes, ``typename``, ``namespaces``
and ``name``, ``value_type``, ``maximum_size``). Types compare equal when they
describe the same type.
"""

BASIC_TYPES = (
    'short', 'unsigned short', 'long', 'unsigned long', 'long long', 'unsigned long long',
    'float', 'double', 'long double', 'char', 'wchar', 'boolean', 'octet',
    'int8', 'uint8', 'int16', 'uint16', 'int32', 'uint32', 'int64', 'uint64',
)


class AbstractType:
    """Base of every type description."""

    __slots__ = ()

    def _key(self):
        return ()

    def __eq__(self, other):
        return type(other) is type(self) and other._key() == self._key()

    def __hash__(self):
        return hash((type(self).__name__, self._key()))

    def __repr__(self):
        return f'{type(self).__name__}{self._key()!r}'


class AbstractNestableType(AbstractType):
    """A type that may be the element type of an array or a sequence."""

    __slots__ = ()


class BasicType(AbstractNestableType):
    """A primitive type named by ``typename`` (one of ``BASIC_TYPES``)."""

    __slots__ = ('typename',)

    def __init__(self, typename):
        if typename not in BASIC_TYPES:
            raise ValueError(f'not a basic type: {typename!r}')
        self.typename = typename

    def _key(self):
        return (self.typename,)


class NamedType(AbstractNestableType):
    """A type known by a name only."""

    __slots__ = ('name',)

    def __init__(self, name):
        self.name = name

    def _key(self):
        return (self.name,)


class NamespacedType(AbstractNestableType):
    """A message type: ``namespaces`` such as ``['sensor_msgs', 'msg']`` and ``name``."""

    __slots__ = ('namespaces', 'name')

    def __init__(self, namespaces, name):
        self.namespaces = list(namespaces)
        self.name = name

    def namespaced_name(self):
        return (*self.namespaces, self.name)

    def _key(self):
        return (tuple(self.namespaces), self.name)


class AbstractGenericString(AbstractNestableType):
    """A string of any character width, with or without an upper bound."""

    __slots__ = ()

    def has_maximum_size(self):
        return False


class AbstractString(AbstractGenericString):
    """A string of 8-bit characters."""

    __slots__ = ()


class UnboundedString(AbstractString):
    __slots__ = ()


class BoundedString(AbstractString):
    __slots__ = ('maximum_size',)

    def __init__(self, maximum_size):
        self.maximum_size = maximum_size

    def has_maximum_size(self):
        return True

    def _key(self):
        return (self.maximum_size,)


class AbstractNestedType(AbstractType):
    """An array or sequence of ``value_type`` elements."""

    __slots__ = ('value_type',)

    def __init__(self, value_type):
        if not isinstance(value_type, AbstractNestableType):
            raise TypeError(f'not an element type: {value_type!r}')
        self.value_type = value_type

    def has_maximum_size(self):
        return False

    def _key(self):
        return (self.value_type,)


class Array(AbstractNestedType):
    """A fixed number ``size`` of elements."""

    __slots__ = ('size',)

    def __init__(self, value_type, size):
        super().__init__(value_type)
        self.size = size

    def has_maximum_size(self):
        return True

    def _key(self):
        return (self.value_type, self.size)


class AbstractSequence(AbstractNestedType):
    __slots__ = ()


class UnboundedSequence(AbstractSequence):
    __slots__ = ()


class BoundedSequence(AbstractSequence):
    __slots__ = ('maximum_size',)

    def __init__(self, value_type, maximum_size):
        super().__init__(value_type)
        self.maximum_size = maximum_size

    def has_maximum_size(self):
        return True

    def _key(self):
        return (self.value_type, self.maximum_size)
