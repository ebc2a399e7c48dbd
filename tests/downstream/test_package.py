"""kestrel_ifaces as ROS 2 tools and colcon see it: installed, and built in a workspace."""

import os
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR = os.environ['KESTREL_BUILD_DIR']
CMAKE = os.environ['KESTREL_CMAKE_COMMAND']
COLCON = os.environ['KESTREL_COLCON']
PACKAGE_DIR = os.environ['KESTREL_IFACES_DIR']
CONSUMER_DIR = os.environ['KESTREL_CONSUMER_DIR']
SITE = os.environ['KESTREL_PYTHON_INSTALL_DIR']  # relative to the prefix
INDEX = 'share/ament_index/resource_index'

# Runs in a fresh interpreter with the environment a sourced local_setup.sh
# gives: the package and the extension come from the prefix, and the C++
# dispatch finds the introspection family library by name on the library path.
RUNTIME_CHECK = '''
import ctypes
import sys
import kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c as extension
from kestrel_ifaces.serialization import deserialize, serialize
from kestrel_ifaces.srv import Camera
assert extension.__file__.startswith(sys.argv[1]), extension.__file__
assert deserialize(serialize(Camera.Request(angle=-3)), Camera.Request).angle == -3

class Handle(ctypes.Structure):
    pass
Lookup = ctypes.CFUNCTYPE(ctypes.POINTER(Handle), ctypes.POINTER(Handle), ctypes.c_char_p)
Handle._fields_ = [('typesupport_identifier', ctypes.c_char_p), ('data', ctypes.c_void_p),
                   ('func', Lookup)]
dispatch = ctypes.CDLL('libkestrel_ifaces__rosidl_typesupport_cpp.so')
getter = dispatch.rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request
getter.restype = ctypes.POINTER(Handle)
handle = getter()
found = handle.contents.func(handle, b'rosidl_typesupport_introspection_cpp')
assert found and found.contents.typesupport_identifier == b'rosidl_typesupport_introspection_cpp'
'''


def run(command, **kwargs):
    """Runs a command; its output goes into the failure message."""
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise AssertionError(f'{command} failed ({result.returncode}):\n'
                             f'{result.stdout}\n{result.stderr}')
    return result.stdout


def sourced_environment(shell, script, prefix=None):
    """The environment after sourcing script in shell, from an empty one."""
    env = {'PATH': '/usr/bin:/bin'}
    if prefix is not None:
        env['AMENT_CURRENT_PREFIX'] = prefix
    out = run([shell, '-c', f'. "{script}" && . "{script}" && env -0'], env=env)
    return dict(line.split('=', 1) for line in out.split('\0') if '=' in line)


def tree_listing(top):
    """Every path below top with its modification time."""
    listing = {}
    for folder, dirs, files in os.walk(top):
        for name in dirs + files:
            path = os.path.join(folder, name)
            listing[path] = os.lstat(path).st_mtime_ns
    return listing


class InstalledPrefixTest(unittest.TestCase):
    """What the ROS 2 command-line tools and a shell read from an install."""

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls.temp.name, 'prefix')
        run([CMAKE, '--install', BUILD_DIR, '--prefix', cls.prefix])

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def lookup(self, resource_type, name):
        """The prefix and content of a resource, found as ament_index does: in
        the first prefix of AMENT_PREFIX_PATH (from local_setup.sh) having it."""
        script = os.path.join(self.prefix, 'share', 'kestrel_ifaces', 'local_setup.sh')
        for prefix in sourced_environment('sh', script)['AMENT_PREFIX_PATH'].split(':'):
            path = os.path.join(prefix, INDEX, resource_type, name)
            if os.path.isfile(path):
                with open(path) as f:
                    return prefix, f.read()
        self.fail(f'no {resource_type} resource named {name} on AMENT_PREFIX_PATH')

    def test_index_lists_the_package_and_its_interface_files(self):
        prefix, _ = self.lookup('packages', 'kestrel_ifaces')
        prefix, content = self.lookup('rosidl_interfaces', 'kestrel_ifaces')
        interfaces = content.split()
        self.assertEqual(interfaces, ['srv/Camera.idl', 'srv/Camera.srv'])
        share = os.path.join(prefix, 'share', 'kestrel_ifaces')
        for interface in interfaces:
            self.assertTrue(os.path.isfile(os.path.join(share, interface)), interface)
        with open(os.path.join(share, 'srv', 'Camera.srv')) as f:
            self.assertEqual(f.read().split(), ['int16', 'angle', '---', 'sensor_msgs/Image', 'image'])
        with open(os.path.join(share, 'srv', 'Camera.idl')) as f:
            idl = f.read()
        for declaration in ('struct Camera_Request', 'int16 angle;', 'struct Camera_Response',
                            'sensor_msgs::msg::Image image;'):
            self.assertIn(declaration, idl)
        self.assertTrue(os.path.isfile(os.path.join(share, 'package.xml')))

    def test_index_names_the_run_dependencies_and_parent_prefixes(self):
        _, content = self.lookup('package_run_dependencies', 'kestrel_ifaces')
        for dependency in ('sensor_msgs', 'rosidl_typesupport_cpp', 'fastcdr'):
            self.assertIn(dependency, content.split(';'))
        self.lookup('parent_prefix_path', 'kestrel_ifaces')

    def test_local_setup_puts_the_prefix_on_the_three_paths_once(self):
        script = os.path.join(self.prefix, 'share', 'kestrel_ifaces', 'local_setup.sh')
        env = sourced_environment('sh', script)
        self.assertEqual(env['AMENT_PREFIX_PATH'], self.prefix)
        self.assertEqual(env['LD_LIBRARY_PATH'], os.path.join(self.prefix, 'lib'))
        self.assertEqual(env['PYTHONPATH'], os.path.join(self.prefix, SITE))
        result = subprocess.run([sys.executable, '-c', RUNTIME_CHECK, self.prefix],
                                env=env, cwd=self.temp.name, capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_local_setup_bash_finds_a_moved_prefix(self):
        moved = os.path.join(self.temp.name, 'moved')
        os.symlink(self.prefix, moved)
        env = sourced_environment('bash', os.path.join(moved, 'share', 'kestrel_ifaces',
                                                       'local_setup.bash'))
        self.assertEqual(env['AMENT_PREFIX_PATH'], moved)
        self.assertEqual(env['PYTHONPATH'], os.path.join(moved, SITE))

    def test_hooks_for_colcon_name_the_same_three_paths(self):
        share = os.path.join(self.prefix, 'share', 'kestrel_ifaces')
        with open(os.path.join(share, 'package.dsv')) as f:
            self.assertIn('source;share/kestrel_ifaces/local_setup.dsv', f.read().splitlines())
        with open(os.path.join(share, 'local_setup.dsv')) as f:
            hooks = f.read().splitlines()
        self.assertEqual(hooks, ['prepend-non-duplicate;AMENT_PREFIX_PATH;',
                                 'prepend-non-duplicate;LD_LIBRARY_PATH;lib',
                                 f'prepend-non-duplicate;PYTHONPATH;{SITE}'])


class ColconWorkspaceTest(unittest.TestCase):
    """colcon builds kestrel_ifaces and a downstream package against the installed stand-ins."""

    def test_workspace_builds_and_the_downstream_package_runs(self):
        with tempfile.TemporaryDirectory() as temp:
            stand_ins = os.path.join(temp, 'stand-ins')
            run([CMAKE, '--install', os.path.join(BUILD_DIR, 'compat'), '--prefix', stand_ins])
            sources_before = tree_listing(PACKAGE_DIR) | tree_listing(CONSUMER_DIR)

            # The stand-ins are the underlay, as a sourced ROS 2 install would be.
            env = {'PATH': '/usr/bin:/bin', 'HOME': temp, 'COLCON_HOME': os.path.join(temp, 'home'),
                   'CMAKE_PREFIX_PATH': stand_ins,
                   'LD_LIBRARY_PATH': os.path.join(stand_ins, 'lib')}
            install = os.path.join(temp, 'install')
            run([COLCON, '--log-base', os.path.join(temp, 'log'), 'build',
                 '--base-paths', PACKAGE_DIR, CONSUMER_DIR,
                 '--build-base', os.path.join(temp, 'build'), '--install-base', install,
                 '--cmake-args', '-G', 'Ninja'],
                env=env, cwd=temp)

            self.assertEqual(tree_listing(PACKAGE_DIR) | tree_listing(CONSUMER_DIR),
                             sources_before, 'colcon wrote into the source tree')
            out = run(['sh', '-c', f'. "{install}/setup.sh" && consumer'], env=env, cwd=temp)
            self.assertEqual(out, 'consumer: ok\n')


if __name__ == '__main__':
    unittest.main()
