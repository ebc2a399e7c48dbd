from sensor_msgs.msg._image import Image  # noqa: F401
