"""End-to-end tests of the entry script `kestrel` and the demo runner
`demo/run.sh`, each run from a throw-away copy of the repository's root so
that they never touch the real build trees (which the enclosing test run
holds locked)."""

import os
import pty
import re
import shutil
import subprocess
import tempfile
import textwrap
import unittest

REPO = os.environ["KESTREL_SOURCE_DIR"]

# A project just big enough for the entry script: one GoogleTest program
# registered through the repository's own test helpers, and a stand-in
# "streamcheck" that prints one line.
FAKE_PROJECT = textwrap.dedent("""\
    cmake_minimum_required(VERSION 3.25)
    project(fake CXX)
    list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/cmake)
    include(KestrelTesting)
    file(WRITE ${CMAKE_BINARY_DIR}/one_test.cpp
         "#include <gtest/gtest.h>\\nTEST(One, passes) {}\\n")
    kestrel_gtest(one_test SOURCES ${CMAKE_BINARY_DIR}/one_test.cpp)
    file(WRITE ${CMAKE_BINARY_DIR}/streamcheck.in "#!/bin/sh\\necho frame\\n")
    file(CHMOD ${CMAKE_BINARY_DIR}/streamcheck.in PERMISSIONS OWNER_READ OWNER_EXECUTE)
    add_custom_target(fake_streamcheck ALL
      COMMAND ${CMAKE_COMMAND} -E copy streamcheck.in tools/streamcheck
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    kestrel_tests_built_stamp()
    """)


# A project whose build fails in its second source file.
BROKEN_PROJECT = textwrap.dedent("""\
    cmake_minimum_required(VERSION 3.25)
    project(broken CXX)
    file(WRITE ${CMAKE_BINARY_DIR}/good.cpp "int good() { return 1; }\\n")
    file(WRITE ${CMAKE_BINARY_DIR}/bad.cpp "int main() { return missing_name; }\\n")
    add_library(good ${CMAKE_BINARY_DIR}/good.cpp)
    add_executable(bad ${CMAKE_BINARY_DIR}/bad.cpp)
    """)

# A project whose configure fails.
UNCONFIGURABLE_PROJECT = textwrap.dedent("""\
    cmake_minimum_required(VERSION 3.25)
    project(unconfigurable CXX)
    message(FATAL_ERROR "a piece is missing")
    """)


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, **kwargs)


def make_root(folder, project=FAKE_PROJECT):
    """A throw-away repository root in folder: the entry script, the tree's
    CMake helpers and project as its CMakeLists.txt. Returns the script."""
    shutil.copy(os.path.join(REPO, "kestrel"), folder)
    shutil.copytree(os.path.join(REPO, "cmake"), os.path.join(folder, "cmake"))
    with open(os.path.join(folder, "CMakeLists.txt"), "w") as f:
        f.write(project)
    return os.path.join(folder, "kestrel")


class EntryScript(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = cls.tmp.name
        cls.kestrel = make_root(cls.root)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_sim_runs_only_the_projects_programs_and_lists_them(self):
        for name in ["nosuch", "../sim/libfreenect.so.0.5", "tools/streamcheck"]:
            result = run([self.kestrel, "sim", name])
            self.assertEqual(result.returncode, 2, name)
            self.assertEqual(result.stdout, "", name)
            self.assertIn(f"no program named '{name}'", result.stderr)
            self.assertIn("swayloop streamcheck bandshow", result.stderr)

    def test_sim_keeps_stdout_for_the_program(self):
        result = run([self.kestrel, "sim", "streamcheck"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "frame\n")
        self.assertRegex(result.stderr, r"\[\d+/\d+\]")  # the build's progress

    def test_test_shows_a_line_per_tree_and_a_filter_matching_no_test_fails(self):
        result = run([self.kestrel, "test", "-R", "One"])
        self.assertEqual(result.returncode, 0)
        # Before ctest's own output: one line per step of each tree.
        before_ctest = result.stdout.split("Test project")[0].splitlines()
        for line in before_ctest:
            self.assertTrue(line.startswith("kestrel: "), line)
        for tree in ["build", "build-asan", "build-tsan"]:
            self.assertTrue(any(re.match(rf"kestrel: {tree} (\[\d+/\d+\] )?built$", line)
                                for line in before_ctest), result.stdout)
        result = run([self.kestrel, "test", "-R", "typo"])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("No tests were found", result.stdout + result.stderr)

    def test_an_unbuilt_sanitizer_tree_fails_under_its_own_name(self):
        run([self.kestrel, "build"])
        unbuilt = os.path.join(self.root, "build-tsan")
        shutil.rmtree(unbuilt, ignore_errors=True)
        run(["cmake", "-S", self.root, "-B", unbuilt, "-G", "Ninja"])
        result = run(["ctest", "--test-dir", os.path.join(self.root, "build")])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("build-tsan.not_built", result.stdout)
        self.assertNotIn("NOT_BUILT", result.stdout)
        shutil.rmtree(unbuilt)

    def test_a_tree_configured_by_hand_is_set_up_again_with_the_sanitizer_trees(self):
        build = os.path.join(self.root, "build")
        run(["cmake", "-S", self.root, "-B", build, "-G", "Ninja", "-DKESTREL_EXTRA_TEST_DIRS="])
        self.assertEqual(run([self.kestrel, "build"]).returncode, 0)
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            self.assertIn(f"KESTREL_EXTRA_TEST_DIRS:STRING={self.root}/build-asan;{self.root}/build-tsan",
                          f.read().splitlines())

    def test_a_second_run_waits_for_the_first_and_says_so(self):
        os.makedirs(os.path.join(self.root, "build"), exist_ok=True)
        lock = os.path.join(self.root, "build", ".kestrel.lock")
        holder = subprocess.Popen(["flock", lock, "sh", "-c", "echo held; exec sleep 60"],
                                  stdout=subprocess.PIPE, text=True)
        try:
            self.assertEqual(holder.stdout.readline(), "held\n")
            waiter = subprocess.Popen([self.kestrel, "build"], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.PIPE, text=True)
            self.assertIn("waiting for another ./kestrel run", waiter.stderr.readline())
            self.assertIsNone(waiter.poll(), "the second run did not wait")
            holder.kill()
            holder.wait()
            _, err = waiter.communicate(timeout=300)
            self.assertEqual(waiter.returncode, 0, err)
        finally:
            holder.kill()
            holder.wait()


def write_program(path, body):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, 0o755)


def run_with_programs(replaced, args, **kwargs):
    """Runs args in a private mount namespace in which each system program
    named in replaced (a path) is the given file instead; the entry script
    puts /usr/bin first on PATH, so a stand-in earlier on PATH would not do."""
    mounts = " && ".join(f'mount --bind "{new}" "{old}"' for old, new in replaced.items())
    return run(["unshare", "-m", "sh", "-c", mounts + ' && exec "$@"', "sh", *args], **kwargs)


def run_on_terminal(args, cwd):
    """Runs args with stdout and stderr on a pseudo-terminal; returns the exit
    status and what the terminal received."""
    main, secondary = pty.openpty()
    with subprocess.Popen(args, cwd=cwd, stdin=subprocess.DEVNULL, stdout=secondary,
                          stderr=secondary) as process:
        os.close(secondary)
        received = b""
        while True:
            try:
                chunk = os.read(main, 4096)
            except OSError:  # the terminal's last writer has closed it
                break
            if not chunk:
                break
            received += chunk
        status = process.wait(timeout=300)
    os.close(main)
    return status, received.decode()


class NewcomersFirstRun(unittest.TestCase):
    """What ./kestrel prints while it installs packages and builds: a line
    each, the output in a log, shown when it fails."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.root = self.tmp.name

    def test_package_install_is_one_line_and_its_log_is_shown_when_it_fails(self):
        kestrel = make_root(self.root)
        record = os.path.join(self.root, "apt-get.args")
        nothing_installed = os.path.join(self.root, "dpkg-query")
        write_program(nothing_installed, "exit 1")
        noise = 'i=0; while [ $i -lt 300 ]; do echo "Unpacking package-$i ..."; i=$((i+1)); done'
        cases = {
            "installs": f'echo "$@" >>"{record}"; {noise}',
            "fails": f'{noise}; [ "$1" = update ] || {{ echo "E: Unable to locate package x" >&2; exit 100; }}',
        }
        for case, body in cases.items():
            with self.subTest(case):
                apt_get = os.path.join(self.root, "apt-get")
                write_program(apt_get, body)
                result = run_with_programs({"/usr/bin/apt-get": apt_get,
                                            "/usr/bin/dpkg-query": nothing_installed},
                                           [kestrel, "build"])
                line = re.match(r"kestrel: installing (\d+) Debian packages \(([^)]*)\) \.\.\. (\w+)\n",
                                result.stdout)
                self.assertTrue(line, result.stdout)
                self.assertNotIn("Unpacking", result.stdout)
                with open(os.path.join(self.root, "build", "kestrel-packages.log")) as f:
                    self.assertIn("Unpacking package-299 ...", f.read())
                names = line.group(2).split()
                self.assertEqual(int(line.group(1)), len(names))
                self.assertIn("ament-cmake", names)
                if case == "installs":
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertEqual(line.group(3), "done")
                    self.assertNotIn("Unpacking", result.stderr)
                    with open(record) as f:
                        update, install = f.read().splitlines()
                    self.assertEqual(install.split()[-len(names):], names)
                else:
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(line.group(3), "FAILED")
                    # The end of the log, where apt says why.
                    self.assertIn("E: Unable to locate package x", result.stderr)
                    self.assertNotIn("Unpacking package-0 ", result.stderr)
                    self.assertIn("kestrel-packages.log", result.stderr)

    def test_missing_node_and_npm_are_named(self):
        kestrel = make_root(self.root)
        all_installed = os.path.join(self.root, "dpkg-query")
        write_program(all_installed, "echo 'install ok installed'")
        not_a_program = os.path.join(self.root, "not-a-program")
        open(not_a_program, "w").close()
        result = run_with_programs({"/usr/bin/dpkg-query": all_installed,
                                    shutil.which("node"): not_a_program,
                                    os.path.realpath(shutil.which("npm")): not_a_program},
                                   [kestrel, "build"], env={"PATH": "/usr/bin:/bin"})
        self.assertEqual(result.returncode, 1)
        self.assertIn("kestrel: node npm not found: install Node.js", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.root, "build", "build.ninja")))

    def test_build_progress_is_plain_lines_off_a_terminal_and_the_output_goes_to_logs(self):
        kestrel = make_root(self.root)
        result = run([kestrel, "build"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        lines = result.stdout.splitlines()
        self.assertEqual(lines[0], "kestrel: build configuring")
        for line in lines[1:-1]:
            self.assertRegex(line, r"^kestrel: build \[\d+/\d+\]$")
        self.assertRegex(lines[-1], r"^kestrel: build \[(\d+)/\1\] built$")
        with open(os.path.join(self.root, "build", "kestrel-configure.log")) as f:
            self.assertIn("-- Configuring done", f.read())
        with open(os.path.join(self.root, "build", "kestrel-build.log")) as f:
            self.assertIn("Building CXX object", f.read())

    def test_build_progress_on_a_terminal_is_one_line_updated_in_place(self):
        kestrel = make_root(self.root)
        status, received = run_on_terminal([kestrel, "build"], self.root)
        self.assertEqual(status, 0, received)
        # The terminal turns each newline into \r\n: one line in all.
        self.assertEqual(received.count("\n"), 1, received)
        updates = received.split("\r\x1b[K")
        self.assertIn("kestrel: build configuring", updates)
        self.assertTrue(any(re.match(r"kestrel: build \[\d+/\d+\] Building CXX", u) for u in updates),
                        received)
        self.assertRegex(updates[-1], r"^kestrel: build \[(\d+)/\1\] built\r\n$")

    def test_a_failing_build_or_configure_shows_what_went_wrong(self):
        cases = [
            (BROKEN_PROJECT, "kestrel: build FAILED", "kestrel-build.log",
             ["error: ", "missing_name", "was not declared", "FAILED: CMakeFiles/bad.dir"]),
            (UNCONFIGURABLE_PROJECT, "kestrel: build configuring FAILED", "kestrel-configure.log",
             ["CMake Error at CMakeLists.txt:3", "a piece is missing"]),
        ]
        for project, last_line, log, shown in cases:
            with self.subTest(last_line), tempfile.TemporaryDirectory() as root:
                result = run([make_root(root, project), "build"])
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout.splitlines()[-1], last_line)
                for text in shown:
                    self.assertIn(text, result.stderr)
                self.assertIn(os.path.join(root, "build", log), result.stderr)
                self.assertNotIn("Building CXX object CMakeFiles/good", result.stderr)


class DemoRunner(unittest.TestCase):
    def test_failing_and_missing_steps_are_reported_and_fail_the_run(self):
        with tempfile.TemporaryDirectory() as tmp:
            demo = os.path.join(tmp, "demo")
            os.makedirs(demo)
            shutil.copy(os.path.join(REPO, "demo", "run.sh"), demo)
            steps = {
                "swayloop": "echo noise from the tool; echo '- it ran' > summary.md",
                "streamcheck": "echo more noise >&2; exit 3",
            }
            for step, body in steps.items():
                path = os.path.join(demo, step + ".sh")
                with open(path, "w") as f:
                    f.write("#!/bin/sh\n" + body + "\n")
                os.chmod(path, 0o755)
            out = os.path.join(tmp, "out")
            result = run([os.path.join(demo, "run.sh"), tmp, out])
            self.assertEqual(result.returncode, 1)
            for line in result.stdout.splitlines():
                self.assertTrue(line.startswith("demo: "), line)
            self.assertNotIn("noise", result.stdout + result.stderr)
            with open(os.path.join(out, "SUMMARY.md")) as f:
                summary = f.read()
            self.assertIn("## swayloop — ran", summary)
            self.assertIn("- it ran", summary)
            self.assertIn("## streamcheck — FAILED (status 3)", summary)
            self.assertIn("## bandshow — FAILED (no script)", summary)
            with open(os.path.join(out, "streamcheck", "log.txt")) as f:
                self.assertEqual(f.read(), "more noise\n")


if __name__ == "__main__":
    unittest.main()
