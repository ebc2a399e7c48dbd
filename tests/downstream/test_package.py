"""kestrel_ifaces as ROS 2 tools and colcon see it: installed from the Kestrel
tree (the layout for a robot without ROS 2), and built in colcon workspaces,
without ament and with Debian's ament_cmake."""

import os
import signal
import subprocess
import sys
import tempfile
import unittest

# The program that imports the service type as rclpy does, shared with the
# Python tests of the installed packages.
from test_installed import AS_RCLPY

BUILD_DIR = os.environ['KESTREL_BUILD_DIR']
CMAKE = os.environ['KESTREL_CMAKE_COMMAND']
COLCON = os.environ['KESTREL_COLCON']
PACKAGE_DIR = os.environ['KESTREL_IFACES_DIR']
CONSUMER_DIR = os.environ['KESTREL_CONSUMER_DIR']
AMENT_CONSUMER_DIR = os.environ['KESTREL_AMENT_CONSUMER_DIR']
SITE = os.environ['KESTREL_PYTHON_INSTALL_DIR']  # relative to the prefix
INDEX = 'share/ament_index/resource_index'
# The environment hooks ament_package() installs, which the layout without
# ament has not.
AMENT_HOOKS = 'share/kestrel_ifaces/environment'

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


# The longest any one command may take (a workspace build on two busy cores
# takes about a minute).
COMMAND_TIMEOUT = 400


def run(command, **kwargs):
    """Runs a command in its own process group; its output goes into the
    failure message. After COMMAND_TIMEOUT the whole group is killed (colcon's
    compilers too) and the command fails."""
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          start_new_session=True, **kwargs) as process:
        try:
            out, err = process.communicate(timeout=COMMAND_TIMEOUT)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            out, err = process.communicate()
            raise AssertionError(f'{command} took over {COMMAND_TIMEOUT} s:\n{out}\n{err}')
    if process.returncode != 0:
        raise AssertionError(f'{command} failed ({process.returncode}):\n{out}\n{err}')
    return out


def sourced_environment(shell, script, base=None):
    """The environment after sourcing script (twice) in shell, from base or
    an empty one."""
    env = base or {'PATH': '/usr/bin:/bin'}
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


class IndexChecks:
    """The ament index of an install, read as ament_index does: in the first
    prefix of AMENT_PREFIX_PATH having the resource. The test class sets
    cls.environment, the environment its install's set-up script gives."""

    def lookup(self, resource_type, name):
        """The prefix and content of a resource."""
        for prefix in self.environment['AMENT_PREFIX_PATH'].split(':'):
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


class InstalledPrefixTest(IndexChecks, unittest.TestCase):
    """What the ROS 2 command-line tools and a shell read from an install of
    the Kestrel tree, which has no ament."""

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls.temp.name, 'prefix')
        run([CMAKE, '--install', BUILD_DIR, '--prefix', cls.prefix])
        cls.environment = sourced_environment(
            'sh', os.path.join(cls.prefix, 'share', 'kestrel_ifaces', 'local_setup.sh'))

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_install_is_the_layout_without_ament(self):
        self.assertFalse(os.path.exists(os.path.join(self.prefix, AMENT_HOOKS)))

    def test_local_setup_puts_the_prefix_on_the_three_paths_once(self):
        env = self.environment
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


class Workspace:
    """A colcon workspace in a temporary folder, built against the stand-ins
    installed from the build as its underlay (as a sourced ROS 2 install
    would be). Nothing is written outside the folder: home, logs, build and
    install folders and temporary files are all inside it."""

    def __init__(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = self.temp.name
        self.stand_ins = os.path.join(self.root, 'stand-ins')
        self.install = os.path.join(self.root, 'install')
        run([CMAKE, '--install', os.path.join(BUILD_DIR, 'compat'), '--prefix', self.stand_ins])
        self.underlay = {
            'PATH': '/usr/bin:/bin', 'HOME': self.root, 'TMPDIR': self.root,
            'COLCON_HOME': os.path.join(self.root, 'home'), 'PYTHONDONTWRITEBYTECODE': '1',
            'CMAKE_PREFIX_PATH': self.stand_ins, 'AMENT_PREFIX_PATH': self.stand_ins,
            'LD_LIBRARY_PATH': os.path.join(self.stand_ins, 'lib'),
            'PYTHONPATH': os.path.join(self.stand_ins, SITE)}

    def build(self, packages, cmake_args):
        """colcon build of the package folders, one package at a time; checks
        that the sources stay as they were. Returns the environment the
        workspace's install/setup.sh gives."""
        sources_before = [tree_listing(package) for package in packages]
        run([COLCON, '--log-base', os.path.join(self.root, 'log'), 'build',
             '--executor', 'sequential', '--base-paths', *packages,
             '--build-base', os.path.join(self.root, 'build'), '--install-base', self.install,
             '--cmake-args', '-G', 'Ninja', *cmake_args],
            env=self.underlay, cwd=self.root)
        if [tree_listing(package) for package in packages] != sources_before:
            raise AssertionError('colcon wrote into the source tree')
        return sourced_environment('sh', os.path.join(self.install, 'setup.sh'), self.underlay)

    def cleanup(self):
        self.temp.cleanup()


class ColconWorkspaceTest(unittest.TestCase):
    """colcon builds kestrel_ifaces without ament (as on a robot without
    ROS 2, though ament_cmake is installed here) and a plain CMake package
    using it."""

    def test_workspace_builds_and_the_downstream_package_runs(self):
        workspace = Workspace()
        self.addCleanup(workspace.cleanup)
        env = workspace.build([PACKAGE_DIR, CONSUMER_DIR], ['-DKESTREL_IFACES_AMENT=OFF'])
        self.assertFalse(os.path.exists(os.path.join(workspace.install, 'kestrel_ifaces',
                                                     AMENT_HOOKS)), 'ament wrote the install')
        out = run(['consumer'], env=env, cwd=workspace.root)
        self.assertEqual(out, 'consumer: ok\n')


class AmentWorkspaceTest(IndexChecks, unittest.TestCase):
    """colcon builds kestrel_ifaces with Debian's ament_cmake and a downstream
    ament package using find_package(kestrel_ifaces) and
    ament_target_dependencies; ROS 2's tools and rclpy use the install."""

    @classmethod
    def setUpClass(cls):
        cls.workspace = Workspace()
        try:
            cls.environment = cls.workspace.build([PACKAGE_DIR, AMENT_CONSUMER_DIR],
                                                  ['-DKESTREL_IFACES_AMENT=ON'])
        except BaseException:
            cls.workspace.cleanup()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.workspace.cleanup()

    def test_ament_wrote_the_install(self):
        self.assertTrue(os.path.isdir(os.path.join(self.workspace.install, 'kestrel_ifaces',
                                                   AMENT_HOOKS)))

    def test_index_names_the_underlay_as_the_parent_prefix(self):
        _, parents = self.lookup('parent_prefix_path', 'kestrel_ifaces')
        self.assertEqual(parents.split(':'), [self.workspace.stand_ins])

    def test_consumer_reaches_the_cpp_cdr_family_through_the_dispatch(self):
        # As ros2 run finds an executable: <package's prefix>/lib/<package>/.
        package = 'kestrel_ifaces_ament_consumer'
        prefix, _ = self.lookup('packages', package)
        out = run([os.path.join(prefix, 'lib', package, 'ament_consumer')],
                  env=self.environment, cwd=self.workspace.root)
        self.assertEqual(out, 'ament_consumer: kestrel_ifaces::srv::Camera through '
                              'rosidl_typesupport_fastrtps_cpp: ok\n')

    def test_rclpy_imports_the_service_type_from_the_install(self):
        prefix, _ = self.lookup('packages', 'kestrel_ifaces')
        program = f'PREFIX = {prefix!r}\n' + AS_RCLPY
        run([sys.executable, '-c', program], env=self.environment, cwd=self.workspace.root)

    def test_configure_runs_debians_python_whatever_comes_first_on_path(self):
        # A python3 first on PATH without ament's modules (a pyenv shim, say).
        other = os.path.join(self.workspace.root, 'other-python')
        os.makedirs(other)
        with open(os.path.join(other, 'python3'), 'w') as f:
            f.write('#!/bin/sh\necho "not the python3 ament needs" >&2\nexit 1\n')
        os.chmod(os.path.join(other, 'python3'), 0o755)
        env = dict(self.workspace.underlay, PATH=f'{other}:/usr/bin:/bin')
        out = run([CMAKE, '-S', PACKAGE_DIR, '-B', os.path.join(self.workspace.root, 'configure'),
                   '-G', 'Ninja', '-DKESTREL_IFACES_AMENT=ON'], env=env, cwd=self.workspace.root)
        self.assertIn('Found Python3: /usr/bin/python3', out)


if __name__ == '__main__':
    unittest.main()
