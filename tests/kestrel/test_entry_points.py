"""End-to-end tests of the entry script `kestrel` and the demo runner
`demo/run.sh`, each run from a throw-away copy of the repository's root so
that they never touch the real build trees (which the enclosing test run
holds locked)."""

import os
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


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, **kwargs)


class EntryScript(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.root = cls.tmp.name
        shutil.copy(os.path.join(REPO, "kestrel"), cls.root)
        shutil.copytree(os.path.join(REPO, "cmake"), os.path.join(cls.root, "cmake"))
        with open(os.path.join(cls.root, "CMakeLists.txt"), "w") as f:
            f.write(FAKE_PROJECT)
        cls.kestrel = os.path.join(cls.root, "kestrel")

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

    def test_a_filter_matching_no_test_fails(self):
        self.assertEqual(run([self.kestrel, "test", "-R", "One"]).returncode, 0)
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
