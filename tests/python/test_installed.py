"""The installed Python packages import and work from the install prefix alone."""

import os
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR = os.environ['KESTREL_BUILD_DIR']
CMAKE = os.environ['KESTREL_CMAKE_COMMAND']
SITE = os.environ['KESTREL_PYTHON_INSTALL_DIR']  # relative to the prefix

# The packages the Python side needs at run time, in dependency order.
PACKAGE_DIRS = ('compat/rosidl_typesupport_fastrtps_c', 'compat/rosidl_typesupport_fastrtps_cpp',
                'compat/builtin_interfaces', 'compat/std_msgs', 'compat/sensor_msgs',
                'kestrel_ifaces')

ROUND_TRIP = '''
import kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c as extension
from kestrel_ifaces.serialization import deserialize, serialize
from kestrel_ifaces.srv import Camera
from sensor_msgs.msg import Image
assert extension.__file__.startswith(PREFIX), extension.__file__
response = Camera.Response(image=Image(height=1, width=2, encoding='mono8', step=2, data=b'ab'))
assert deserialize(serialize(response), Camera.Response) == response
assert deserialize(serialize(Camera.Request(angle=-3)), Camera.Request).angle == -3
'''


class InstalledPackagesTest(unittest.TestCase):

    def test_round_trip_runs_from_the_install_prefix_without_the_build_tree(self):
        with tempfile.TemporaryDirectory() as prefix:
            for package in PACKAGE_DIRS:
                script = os.path.join(BUILD_DIR, package, 'cmake_install.cmake')
                if not os.path.exists(script):
                    continue  # a real ROS 2 package is used instead of the stand-in
                subprocess.run([CMAKE, f'-DCMAKE_INSTALL_PREFIX={prefix}', '-P', script],
                               check=True, stdout=subprocess.DEVNULL)
            env = {k: v for k, v in os.environ.items()
                   if k not in ('PYTHONPATH', 'LD_LIBRARY_PATH')}
            env['PYTHONPATH'] = os.path.join(prefix, SITE)
            result = subprocess.run([sys.executable, '-c', f'PREFIX = {prefix!r}\n' + ROUND_TRIP],
                                    env=env, cwd=prefix, capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == '__main__':
    unittest.main()
