"""serialize / deserialize of Camera messages and the extension's capsules."""

import ctypes
import mmap
import random
import struct
import unittest

import _camera_c
import cbridge
from cbridge import angle_of, c_message
from kestrel_ifaces import kestrel_ifaces_s__rosidl_typesupport_c as extension
from kestrel_ifaces.serialization import deserialize, serialize
from kestrel_ifaces.srv import Camera
from kestrel_ifaces.srv._camera import Camera_Request, Camera_Response
from sensor_msgs.msg import Image

HEADER_LE = b'\x00\x01\x00\x00'  # plain CDR, little-endian, no options


def rgb8_response(height=480, width=640):
    image = Image(height=height, width=width, encoding='rgb8', step=width * 3,
                  data=bytes((i * 7) % 256 for i in range(height * width * 3)))
    image.header.frame_id = 'kinect_rgb'
    image.header.stamp.sec = 1_700_000_000
    image.header.stamp.nanosec = 123_456_789
    return Camera_Response(image=image)


def c_encoding(response):
    """What the C type support writes for the same response built in C."""
    image = response.image
    with c_message('response') as c:
        _camera_c.fill_response(c, image.height, image.width, image.encoding.encode(),
                                image.is_bigendian, image.step, image.data.tobytes(),
                                image.header.frame_id.encode(), image.header.stamp.sec,
                                image.header.stamp.nanosec)
        return _camera_c.cdr('response', c)


class RequestSerializationTest(unittest.TestCase):

    def test_request_encodes_as_little_endian_int16_after_the_header(self):
        for angle, payload in ((258, b'\x02\x01'), (-1, b'\xff\xff'), (-32768, b'\x00\x80')):
            with self.subTest(angle=angle):
                data = serialize(Camera_Request(angle=angle))
                self.assertEqual(data, HEADER_LE + payload)
                with c_message('request') as c:
                    angle_of(c).value = angle
                    self.assertEqual(data, _camera_c.cdr('request', c))
                self.assertEqual(deserialize(data, Camera_Request), Camera_Request(angle=angle))

    def test_both_byte_orders_and_any_bytes_like_input_are_read(self):
        for data in (b'\x00\x01\x00\x00\x02\x01', b'\x00\x00\x00\x00\x01\x02',
                     bytearray(b'\x00\x01\x00\x00\x02\x01'),
                     memoryview(b'\x00\x01\x00\x00\x02\x01')):
            with self.subTest(data=bytes(data)):
                self.assertEqual(deserialize(data, Camera.Request).angle, 258)

    def test_padding_to_four_bytes_is_accepted_other_trailing_bytes_are_not(self):
        self.assertEqual(deserialize(HEADER_LE + b'\x02\x01\x00\x00', Camera_Request).angle, 258)
        for data in (HEADER_LE + b'\x02\x01\x00', HEADER_LE + b'\x02\x01' + bytes(4)):
            with self.subTest(data=data), self.assertRaises(ValueError):
                deserialize(data, Camera_Request)

    def test_truncated_or_foreign_input_raises_value_error(self):
        for data in (b'', b'\x00\x01', HEADER_LE, HEADER_LE + b'\x02',
                     b'\x01\x01\x00\x00\x02\x01',   # not a CDR encapsulation
                     b'\x00\x03\x00\x00\x02\x01',   # parameter list, little-endian
                     b'\x00\x11\x00\x00\x02\x01'):  # an XCDR2 kind
            with self.subTest(data=data), self.assertRaises(ValueError):
                deserialize(data, Camera_Request)


class ResponseSerializationTest(unittest.TestCase):

    def test_640_by_480_rgb8_response_matches_the_c_type_support_and_round_trips(self):
        response = rgb8_response()
        data = serialize(response)
        self.assertEqual(data, c_encoding(response))
        self.assertEqual(deserialize(data, Camera_Response), response)

    def test_alignment_gaps_are_zero_whatever_memory_the_bytes_reuse(self):
        # String lengths 0 to 4 leave every size of gap before the next
        # 4-byte field; freeing a block of 0xff bytes of the output's size
        # just before makes the output likely to land on dirty memory.
        for length in range(5):
            with self.subTest(length=length):
                response = rgb8_response(2, 3)
                response.image.header.frame_id = 'f' * length
                response.image.encoding = 'e' * length
                expected = c_encoding(response)
                for _ in range(20):
                    junk = b'\xff' * len(expected)
                    del junk
                    self.assertEqual(serialize(response), expected)

    def test_big_endian_response_is_read(self):
        # 00 00 00 00, then the fields big-endian: stamp, frame_id 'f' (2
        # bytes with its zero, 2 gap bytes), height, width, encoding 'mono8'
        # (6 with its zero), is_bigendian, 1 gap byte, step, 2 data bytes.
        data = (b'\x00\x00\x00\x00' + struct.pack('>iI', -5, 7) + struct.pack('>I', 2) + b'f\x00'
                + bytes(2) + struct.pack('>II', 1, 2) + struct.pack('>I', 6) + b'mono8\x00'
                + b'\x01' + bytes(1) + struct.pack('>II', 2, 2) + b'\x08\x09')
        image = Image(height=1, width=2, encoding='mono8', is_bigendian=1, step=2,
                      data=b'\x08\x09')
        image.header.frame_id = 'f'
        image.header.stamp.sec = -5
        image.header.stamp.nanosec = 7
        self.assertEqual(deserialize(data, Camera_Response), Camera_Response(image=image))

    def test_empty_response_round_trips(self):
        response = Camera_Response()
        self.assertEqual(serialize(response), c_encoding(response))
        self.assertEqual(deserialize(serialize(response), Camera_Response), response)

    def test_every_truncation_raises_value_error(self):
        data = serialize(rgb8_response(2, 2))
        for size in range(len(data)):
            with self.subTest(size=size), self.assertRaises(ValueError):
                deserialize(data[:size], Camera_Response)
        big = serialize(rgb8_response())
        with self.assertRaises(ValueError):
            deserialize(big[:-1], Camera_Response)

    def test_huge_length_fields_raise_value_error_without_a_huge_allocation(self):
        data = bytearray(serialize(rgb8_response(2, 2)))
        # frame_id length, right after the stamp (4 + 4 + 4 bytes in).
        frame_id_length = 4 + 8
        # data length: the last 4-byte field before the 12 pixel bytes.
        data_length = len(data) - 12 - 4
        self.assertEqual(struct.unpack_from('<I', data, data_length)[0], 12)
        for offset in (frame_id_length, data_length):
            for length in (0xFFFFFFFF, 0x7FFFFFFF, len(data)):
                corrupted = bytearray(data)
                struct.pack_into('<I', corrupted, offset, length)
                with self.subTest(offset=offset, length=length), self.assertRaises(ValueError):
                    deserialize(bytes(corrupted), Camera_Response)

    def test_random_corruption_decodes_or_raises_value_error(self):
        data = serialize(rgb8_response(2, 3))
        rng = random.Random(20261208)
        for _ in range(3000):
            corrupted = bytearray(data)
            for _ in range(rng.randint(1, 4)):
                corrupted[rng.randrange(len(corrupted))] = rng.randrange(256)
            try:
                result = deserialize(bytes(corrupted), Camera_Response)
            except ValueError:
                continue
            self.assertIs(type(result), Camera_Response)

    def test_request_bytes_are_not_a_response_and_vice_versa(self):
        with self.assertRaises(ValueError):
            deserialize(serialize(Camera_Request(angle=3)), Camera_Response)
        with self.assertRaises(ValueError):
            deserialize(serialize(rgb8_response(2, 2)), Camera_Request)


class RefusedMessageTest(unittest.TestCase):

    def test_string_with_a_nul_is_refused_not_cut(self):
        for field in ('encoding', 'frame_id'):
            response = rgb8_response(2, 2)
            target = response.image if field == 'encoding' else response.image.header
            setattr(target, field, 'rgb\x008')
            with self.subTest(field=field), self.assertRaisesRegex(ValueError, 'NUL'):
                serialize(response)

    def test_encoding_past_4_gib_is_refused_before_anything_is_copied(self):
        # Pixels in untouched anonymous memory (reserved by nothing, so the
        # test costs no RAM): a length that does not fit in 32 bits, and one
        # that fits while the whole encoding does not.
        flags = mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS | getattr(mmap, 'MAP_NORESERVE', 0x4000)
        for size in (1 << 32, (1 << 32) - 8):
            pixels = mmap.mmap(-1, size, flags=flags)
            response = rgb8_response(2, 2)
            response.image._data = pixels  # bypasses the setter's copy
            with self.subTest(size=size), self.assertRaisesRegex(ValueError, '4 GiB'):
                serialize(response)
            pixels.close()


class RepeatedCallTest(unittest.TestCase):
    """Nothing may leak from one call to the next, nor into a call made during another."""

    def test_messages_of_changing_size_each_encode_as_alone(self):
        for height, width in ((480, 640), (2, 2), (0, 0), (3, 5), (480, 640)):
            response = rgb8_response(height, width)
            with self.subTest(size=(height, width)):
                data = serialize(response)
                self.assertEqual(data, c_encoding(response))
                self.assertEqual(deserialize(data, Camera_Response), response)

    def test_a_failed_call_leaves_nothing_for_the_next(self):
        broken = rgb8_response(2, 2)
        broken.image._data = [1, 300]  # fails in the middle of the conversion
        with self.assertRaises(ValueError):
            serialize(broken)
        truncated = serialize(rgb8_response(4, 4))[:-5]
        with self.assertRaises(ValueError):
            deserialize(truncated, Camera_Response)
        small = Camera_Response(image=Image(encoding='mono8', data=b'\x07'))
        self.assertEqual(serialize(small), c_encoding(small))
        self.assertEqual(deserialize(serialize(small), Camera_Response), small)

    def test_a_call_made_during_a_conversion_gets_its_own_message(self):
        inner = Camera_Response(image=Image(encoding='mono8', data=b'\x01'))
        inner.image.header.frame_id = 'another_frame'
        inner_bytes = []

        class ImageThatSerializes:  # passes for an Image in the C conversion
            def __init__(self, image):
                self._image = image

            def __getattr__(self, name):
                if name == 'data':
                    inner_bytes.append(serialize(inner))
                return getattr(self._image, name)

        outer = rgb8_response(3, 3)
        expected = serialize(outer)
        disguised = Camera_Response()
        disguised._image = ImageThatSerializes(outer.image)
        self.assertEqual(serialize(disguised), expected)
        self.assertEqual(inner_bytes, [serialize(inner)])


class ArgumentCheckTest(unittest.TestCase):

    def test_only_the_two_camera_classes_are_accepted(self):
        sub = type('Camera_RequestSub', (Camera_Request,), {'__slots__': ()})
        for msg in (Image(), sub(angle=1), 3, None):
            with self.subTest(msg=msg), self.assertRaises(TypeError):
                serialize(msg)
        for cls in (Image, sub, Camera, int):
            with self.subTest(cls=cls), self.assertRaises(TypeError):
                deserialize(HEADER_LE + b'\x00\x00', cls)
        for data in ('abc', None, [0, 1, 0, 0, 0, 0]):
            with self.subTest(data=data), self.assertRaises(TypeError):
                deserialize(data, Camera_Request)
        with self.assertRaises(TypeError):
            extension.deserialize(HEADER_LE)

    def test_a_message_the_conversion_refuses_is_not_serialized(self):
        request = Camera_Request()
        request._angle = 2**70
        with self.assertRaises(OverflowError):
            serialize(request)


class CapsuleTest(unittest.TestCase):

    @staticmethod
    def pointer(capsule):
        get = ctypes.pythonapi.PyCapsule_GetPointer
        get.restype = ctypes.c_void_p
        get.argtypes = [ctypes.py_object, ctypes.c_char_p]
        return get(capsule, None)

    def test_metaclass_loads_the_conversion_capsules_of_each_message(self):
        for cls, from_py, to_py in (
                (Camera_Request, cbridge.request_from_py, cbridge.request_to_py),
                (Camera_Response, cbridge.response_from_py, cbridge.response_to_py)):
            with self.subTest(cls=cls.__name__):
                meta = type(cls)
                meta.__import_type_support__()
                address = ctypes.cast(from_py, ctypes.c_void_p).value
                self.assertEqual(self.pointer(meta._CONVERT_FROM_PY), address)
                address = ctypes.cast(to_py, ctypes.c_void_p).value
                self.assertEqual(self.pointer(meta._CONVERT_TO_PY), address)
                for name in ('_CREATE_ROS_MESSAGE', '_DESTROY_ROS_MESSAGE', '_TYPE_SUPPORT'):
                    self.assertTrue(self.pointer(getattr(meta, name)))

    def test_create_destroy_and_conversion_capsules_work_together(self):
        meta = type(Camera_Request)
        meta.__import_type_support__()
        create = ctypes.CFUNCTYPE(ctypes.c_void_p)(self.pointer(meta._CREATE_ROS_MESSAGE))
        destroy = ctypes.CFUNCTYPE(None, ctypes.c_void_p)(self.pointer(meta._DESTROY_ROS_MESSAGE))
        to_py = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.c_void_p)(
            self.pointer(meta._CONVERT_TO_PY))
        msg = create()
        try:
            angle_of(msg).value = -9
            self.assertEqual(to_py(msg), Camera_Request(angle=-9))
        finally:
            destroy(msg)

    def test_type_support_capsules_hold_the_c_dispatch_handles(self):
        for name in ('type_support_camera_request', 'type_support_camera_response',
                     'type_support_camera'):
            with self.subTest(name=name):
                handle = self.pointer(getattr(extension, name))
                identifier = ctypes.c_char_p.from_address(handle).value
                self.assertEqual(identifier, b'rosidl_typesupport_c')


if __name__ == '__main__':
    unittest.main()
