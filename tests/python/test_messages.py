"""The Python message classes: construction, validation, equality, repr."""

import array
import copy
import unittest

from builtin_interfaces.msg import Time
from kestrel_ifaces.srv import Camera
from kestrel_ifaces.srv._camera import Camera_Request, Camera_Response
from sensor_msgs.msg import Image
from std_msgs.msg import Header


class CameraMessagesTest(unittest.TestCase):

    def test_service_names_its_request_and_response_and_cannot_be_instantiated(self):
        self.assertIs(Camera.Request, Camera_Request)
        self.assertIs(Camera.Response, Camera_Response)
        with self.assertRaises(NotImplementedError):
            Camera()

    def test_construction_defaults_and_keywords(self):
        self.assertEqual(Camera_Request().angle, 0)
        self.assertEqual(Camera_Request(angle=-32768).angle, -32768)
        self.assertEqual(Camera_Response().image, Image())
        image = Image(width=2)
        self.assertIs(Camera_Response(image=image).image, image)
        for cls, kwargs in ((Camera_Request, {'tilt': 1}), (Camera_Response, {'img': None})):
            with self.subTest(cls=cls.__name__), self.assertRaises(TypeError):
                cls(**kwargs)
        with self.assertRaises(TypeError):
            Camera_Request(5)  # fields are keyword-only

    def test_angle_setter_refuses_non_ints_and_values_outside_int16(self):
        request = Camera_Request()
        for value in (32767, -32768, 0):
            request.angle = value
            self.assertEqual(request.angle, value)
        for value, error in ((32768, ValueError), (-32769, ValueError), (40000, ValueError),
                             (1.0, TypeError), ('3', TypeError), (True, TypeError),
                             (None, TypeError)):
            with self.subTest(value=value), self.assertRaises(error):
                request.angle = value
        self.assertEqual(request.angle, 0)

    def test_image_setter_refuses_other_types(self):
        with self.assertRaises(TypeError):
            Camera_Response(image=Header())
        with self.assertRaises(TypeError):
            Camera_Response().image = None

    def test_slots_refuse_unknown_attributes(self):
        with self.assertRaises(AttributeError):
            Camera_Request().tilt = 3

    def test_equality_compares_class_and_fields(self):
        self.assertEqual(Camera_Request(angle=5), Camera_Request(angle=5))
        self.assertNotEqual(Camera_Request(angle=5), Camera_Request(angle=6))
        self.assertNotEqual(Camera_Request(angle=0), 0)
        self.assertNotEqual(Camera_Request(), Camera_Response())
        response = Camera_Response(image=Image(data=b'\x01\x02', encoding='mono8'))
        self.assertEqual(response, copy.deepcopy(response))
        other = copy.deepcopy(response)
        other.image.header.stamp.nanosec = 1
        self.assertNotEqual(response, other)

    def test_repr_is_readable_and_shortens_long_pixel_data(self):
        self.assertEqual(repr(Camera_Request(angle=-3)), 'kestrel_ifaces.srv.Camera_Request(angle=-3)')
        text = repr(Camera_Response(image=Image(data=bytes(640 * 480 * 3))))
        self.assertIn('kestrel_ifaces.srv.Camera_Response(image=sensor_msgs.msg.Image(', text)
        self.assertIn('<921600 bytes:', text)
        self.assertLess(len(text), 400)

    def test_field_types_are_listed(self):
        self.assertEqual(Camera_Request.get_fields_and_field_types(), {'angle': 'int16'})
        self.assertEqual(Camera_Response.get_fields_and_field_types(),
                         {'image': 'sensor_msgs/Image'})


class StandInMessagesTest(unittest.TestCase):

    def test_image_data_accepts_bytes_like_values_and_int_sequences(self):
        expected = array.array('B', [1, 2, 255])
        for value in (b'\x01\x02\xff', bytearray(b'\x01\x02\xff'), memoryview(b'\x01\x02\xff'),
                      array.array('B', [1, 2, 255]), [1, 2, 255], (1, 2, 255)):
            with self.subTest(value=value):
                data = Image(data=value).data
                self.assertIsInstance(data, array.array)
                self.assertEqual(data, expected)

    def test_image_data_keeps_a_byte_array_without_copying_and_copies_bytes(self):
        pixels = array.array('B', b'abc')
        self.assertIs(Image(data=pixels).data, pixels)
        source = bytearray(b'abc')
        image = Image(data=source)
        source[0] = 0
        self.assertEqual(image.data.tobytes(), b'abc')

    def test_image_data_refuses_wrong_values(self):
        for value, error in (([0, 256], ValueError), ([-1], ValueError), (['a'], TypeError),
                             ('abc', TypeError), (array.array('H', [1]), TypeError),
                             (5, TypeError), (None, TypeError)):
            with self.subTest(value=value), self.assertRaises(error):
                Image(data=value)

    def test_integer_fields_are_range_checked(self):
        cases = ((Image, 'height', 2**32 - 1, 2**32), (Image, 'width', 0, -1),
                 (Image, 'step', 2**32 - 1, 2**32), (Image, 'is_bigendian', 255, 256),
                 (Time, 'sec', -2**31, -2**31 - 1), (Time, 'sec', 2**31 - 1, 2**31),
                 (Time, 'nanosec', 2**32 - 1, -1))
        for cls, field, good, bad in cases:
            with self.subTest(cls=cls.__name__, field=field):
                msg = cls(**{field: good})
                self.assertEqual(getattr(msg, field), good)
                with self.assertRaises(ValueError):
                    setattr(msg, field, bad)
                with self.assertRaises(TypeError):
                    setattr(msg, field, float(good))

    def test_nested_and_string_fields_are_type_checked(self):
        for cls, field, value in ((Image, 'header', Time()), (Image, 'encoding', b'rgb8'),
                                  (Header, 'stamp', 0), (Header, 'frame_id', None)):
            with self.subTest(cls=cls.__name__, field=field), self.assertRaises(TypeError):
                cls(**{field: value})

    def test_defaults_match_an_empty_message(self):
        image = Image()
        self.assertEqual((image.height, image.width, image.encoding, image.is_bigendian,
                          image.step, len(image.data)), (0, 0, '', 0, 0, 0))
        self.assertEqual(image.header, Header(stamp=Time(sec=0, nanosec=0), frame_id=''))


if __name__ == '__main__':
    unittest.main()
