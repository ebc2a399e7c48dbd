"""CDR serialization of Camera messages without a ROS 2 client library.

``serialize(msg)`` gives the bytes a ROS 2 middleware would send for a
``Camera_Request`` or ``Camera_Response`` (CDR, little-endian, after the
4-byte encapsulation header 00 01 00 00); ``deserialize(data, cls)`` reads
them back into a new object of ``cls``. Both go straight between the objects
and the bytes, which equal what the package's CDR type support writes. Invalid
bytes, a string holding a NUL and an encoding past 4 GiB raise ``ValueError``,
objects or classes other than the two messages ``TypeError``.
"""

from kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c import deserialize, serialize

__all__ = ['deserialize', 'serialize']
