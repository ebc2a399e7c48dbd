"""The C conversions of the Camera messages, called directly through ctypes."""

import array
import ctypes
import gc
import os
import sys
import unittest

import _camera_c
from cbridge import (angle_of, c_message, request_from_py, request_to_py, response_from_py,
                     response_to_py)
from kestrel_ifaces.srv._camera import Camera_Request, Camera_Response
from sensor_msgs.msg import Image

# Preconditions are assertions in a debug build (they stop the process) and
# refused calls otherwise.
ASSERTS_ENABLED = os.environ.get('KESTREL_ASSERTS') == '1'


def camera_class(name, bases=(), **attributes):
    """A class that claims a full name inside kestrel_ifaces.srv._camera."""
    return type(name, bases, {'__module__': 'kestrel_ifaces.srv._camera', **attributes})


def live(cls):
    return sum(1 for obj in gc.get_objects() if type(obj) is cls)


def sample_image(height=480, width=640):
    image = Image(height=height, width=width, encoding='rgb8', is_bigendian=0, step=width * 3,
                  data=bytes(i % 251 for i in range(height * width * 3)))
    image.header.frame_id = 'kinect_rgb'
    image.header.stamp.sec = -17
    image.header.stamp.nanosec = 999_999_999
    return image


class RefcountMixin:

    def assertRefcountsUnchanged(self, objects, call):
        before = [sys.getrefcount(o) for o in objects]
        result = call()
        self.assertEqual([sys.getrefcount(o) for o in objects], before)
        return result


class RequestConversionTest(RefcountMixin, unittest.TestCase):

    def test_angle_survives_both_directions(self):
        for angle in (-3, 0, 1, 32767, -32768):
            with self.subTest(angle=angle), c_message('request') as c:
                self.assertTrue(request_from_py(Camera_Request(angle=angle), c))
                self.assertEqual(angle_of(c).value, angle)
                self.assertEqual(request_to_py(c), Camera_Request(angle=angle))

    def test_c_angle_minus_32768_reaches_python_sign_extended(self):
        with c_message('request') as c:
            angle_of(c).value = -32768
            self.assertEqual(request_to_py(c).angle, -32768)

    def test_int_outside_int16_keeps_its_low_16_bits(self):
        # The setter refuses such values; writing the slot bypasses it.
        for value, stored in ((40000, -25536), (-40000, 25536), (65536 + 7, 7), (2**40 - 1, -1)):
            request = Camera_Request()
            request._angle = value
            with self.subTest(value=value), c_message('request') as c:
                self.assertTrue(request_from_py(request, c))
                self.assertEqual(angle_of(c).value, stored)

    def test_int_beyond_c_long_fails_and_leaves_message_unchanged(self):
        request = Camera_Request()
        request._angle = 2**70
        with c_message('request') as c:
            angle_of(c).value = 7
            with self.assertRaises(OverflowError):
                request_from_py(request, c)
            self.assertEqual(angle_of(c).value, 7)

    def test_longer_class_name_beginning_with_the_expected_one_passes(self):
        longer = camera_class('Camera_RequestWithMore', (Camera_Request,), __slots__=())
        with c_message('request') as c:
            self.assertTrue(request_from_py(longer(angle=12), c))
            self.assertEqual(angle_of(c).value, 12)

    def test_missing_angle_fails_with_attribute_error_and_leaves_message_unchanged(self):
        unset = Camera_Request.__new__(Camera_Request)  # slot never assigned
        bare = camera_class('Camera_Request')()
        for obj in (unset, bare):
            with self.subTest(obj=type(obj)), c_message('request') as c:
                angle_of(c).value = 7
                with self.assertRaises(AttributeError):
                    self.assertRefcountsUnchanged([obj, type(obj)],
                                                  lambda: request_from_py(obj, c))
                self.assertEqual(angle_of(c).value, 7)

    @unittest.skipIf(ASSERTS_ENABLED, 'a debug build stops on a broken precondition')
    def test_wrong_object_fails_cleanly_when_assertions_are_compiled_out(self):
        fake_angle = camera_class('Camera_Request')
        fake_angle.angle = 3.5
        cases = (Camera_Response(), camera_class('Camera_Reques')(), 42, fake_angle())
        for obj in cases:
            with self.subTest(obj=obj), c_message('request') as c:
                angle_of(c).value = 7
                with self.assertRaises(TypeError):
                    request_from_py(obj, c)
                self.assertEqual(angle_of(c).value, 7)

    def test_from_python_leaves_every_reference_count_as_it_was(self):
        request = Camera_Request(angle=1000)
        value = request.angle
        cls = type(request)
        with c_message('request') as c:
            self.assertTrue(self.assertRefcountsUnchanged(
                [request, value, cls, cls.__name__, cls.__module__],
                lambda: request_from_py(request, c)))
            overflowing = Camera_Request()
            overflowing._angle = big = 2**70
            with self.assertRaises(OverflowError):
                self.assertRefcountsUnchanged([overflowing, big],
                                              lambda: request_from_py(overflowing, c))

    def test_to_python_hands_over_exactly_one_reference(self):
        with c_message('request') as c:
            angle_of(c).value = 1000
            obj = request_to_py(c)
            self.assertEqual(sys.getrefcount(obj), 2)  # obj and the call's argument
            self.assertEqual(sys.getrefcount(obj.angle), 2)  # only the slot holds it


class ResponseConversionTest(RefcountMixin, unittest.TestCase):

    def test_image_fields_reach_the_c_message(self):
        image = sample_image()
        with c_message('response') as c:
            self.assertTrue(response_from_py(Camera_Response(image=image), c))
            fields = _camera_c.response_fields(c)
        self.assertEqual(fields, {
            'height': 480, 'width': 640, 'encoding': b'rgb8', 'is_bigendian': 0, 'step': 1920,
            'data': image.data.tobytes(), 'frame_id': b'kinect_rgb', 'sec': -17,
            'nanosec': 999_999_999})

    def test_c_image_reaches_python_as_an_image_object(self):
        pixels = bytes(range(256)) * 3
        with c_message('response') as c:
            _camera_c.fill_response(c, 16, 16, b'mono8', 1, 48, pixels, b'frame', 5, 6)
            response = response_to_py(c)
        image = response.image
        self.assertIs(type(image), Image)
        self.assertEqual((image.height, image.width, image.encoding, image.is_bigendian,
                          image.step, image.header.frame_id, image.header.stamp.sec,
                          image.header.stamp.nanosec), (16, 16, 'mono8', 1, 48, 'frame', 5, 6))
        self.assertEqual(image.data, array.array('B', pixels))

    def test_round_trip_of_a_640_by_480_rgb8_image(self):
        response = Camera_Response(image=sample_image())
        with c_message('response') as c:
            self.assertTrue(response_from_py(response, c))
            self.assertEqual(response_to_py(c), response)

    def test_conversion_into_a_used_message_replaces_its_contents(self):
        with c_message('response') as c:
            self.assertTrue(response_from_py(Camera_Response(image=sample_image()), c))
            small = Camera_Response(image=Image(encoding='mono16', data=b'\x01\x02'))
            self.assertTrue(response_from_py(small, c))
            self.assertEqual(response_to_py(c), small)

    def test_rejected_image_fails_and_releases_it(self):
        bad_data = Image()
        bad_data._data = [1, 300]  # bypasses the setter
        bad_height = Image()
        bad_height._height = -1
        cases = ((bad_data, ValueError), (bad_height, ValueError), (object(), AttributeError))
        for image, error in cases:
            response = Camera_Response()
            response._image = image
            with self.subTest(image=image), c_message('response') as c:
                with self.assertRaises(error):
                    self.assertRefcountsUnchanged([response, image],
                                                  lambda: response_from_py(response, c))

    def test_string_with_a_nul_is_refused_not_cut(self):
        for field in ('encoding', 'frame_id'):
            response = Camera_Response(image=Image(encoding='rgb8', data=b'\x01'))
            target = response.image if field == 'encoding' else response.image.header
            setattr(target, field, 'rgb\x008')
            with self.subTest(field=field), c_message('response') as c:
                with self.assertRaisesRegex(ValueError, 'NUL'):
                    response_from_py(response, c)

    def test_image_data_accepts_any_byte_buffer_in_the_slot(self):
        for data in (b'\x05\x06', bytearray(b'\x05\x06'), [5, 6], memoryview(b'\x05\x06')):
            image = Image()
            image._data = data
            with self.subTest(data=data), c_message('response') as c:
                self.assertTrue(response_from_py(Camera_Response(image=image), c))
                self.assertEqual(_camera_c.response_fields(c)['data'], b'\x05\x06')

    def test_from_python_leaves_every_reference_count_as_it_was(self):
        response = Camera_Response(image=sample_image(4, 4))
        image = response.image
        objects = [response, image, image.data, image.header, image.encoding,
                   image.header.frame_id, type(response), type(response).__name__]
        with c_message('response') as c:
            self.assertTrue(self.assertRefcountsUnchanged(
                objects, lambda: response_from_py(response, c)))

    def test_to_python_hands_over_exactly_one_reference(self):
        with c_message('response') as c:
            response = response_to_py(c)
        self.assertEqual(sys.getrefcount(response), 2)
        self.assertEqual(sys.getrefcount(response.image), 2)  # only the slot holds it

    def test_failed_to_python_conversion_releases_the_half_built_objects(self):
        with c_message('response') as c:
            _camera_c.fill_response(c, 1, 1, b'\xff\xfe', 0, 1, b'\x00', b'', 0, 0)
            before = (live(Camera_Response), live(Image))
            with self.assertRaises(UnicodeDecodeError):
                response_to_py(c)
            gc.collect()
            self.assertEqual((live(Camera_Response), live(Image)), before)


class _MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in (
        'arena', 'ordblks', 'smblks', 'hblks', 'hblkhd', 'usmblks', 'fsmblks', 'uordblks',
        'fordblks', 'keepcost')]


def heap_in_use():
    """Bytes the C allocator has handed out and not had back (0 if unknown)."""
    mallinfo2 = ctypes.CDLL(None).mallinfo2
    mallinfo2.restype = _MallInfo2
    info = mallinfo2()
    return info.uordblks + info.hblkhd


class HeapTest(unittest.TestCase):

    def test_repeated_round_trips_of_a_full_frame_do_not_grow_the_heap(self):
        # Under AddressSanitizer the C allocator is replaced and reports
        # nothing; there the sanitizer itself watches the memory.
        response = Camera_Response(image=sample_image())
        frame = len(response.image.data)

        def round_trips(count):
            for _ in range(count):
                with c_message('response') as c:
                    response_from_py(response, c)
                    response_to_py(c)

        round_trips(3)
        gc.collect()
        before = heap_in_use()
        if before == 0:
            self.skipTest('heap statistics unavailable')
        round_trips(40)
        gc.collect()
        self.assertLess(heap_in_use() - before, frame)


if __name__ == '__main__':
    unittest.main()
