"""One engine, four programs: tarn split, the switches of the native tarn, and the 64- and the 32-bit Tarn.exe cut the
same file into the same bytes, names included (only the creation time differs: Linux has none to report); a keyed
set cut in Tarn.exe's window is the one tarn split --key cuts, and each rebuilds the other's."""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import tarnlib  # noqa: E402

NATIVE = os.path.abspath(os.environ["TARN_PROGRAM"])
WINDOWS = [(os.environ[p], os.environ[w], os.environ[l]) for p, w, l in
           (("TARN_WIN64", "TARN_WINE64", "TARN_LAUNCHER64"), ("TARN_WIN32", "TARN_WINE32", "TARN_LAUNCHER32"))
           if os.environ.get(p) and os.path.exists(os.environ[p])]
# The window's driver (tests/win/keyedjob.cpp) of each Tarn.exe, with the runner and the program it drives.
DRIVERS = [(os.environ[d], os.environ[w], os.environ[p]) for d, w, p in
           (("TARN_KEYED64", "TARN_WINE64", "TARN_WIN64"), ("TARN_KEYED32", "TARN_WINE32", "TARN_WIN32"))
           if os.environ.get(d) and os.path.exists(os.environ[d]) and os.environ.get(p)]
CREATION = slice(626, 634)  # the creation time in the first piece's header
OLD = 1500000000 * 10**9


def digest_of(folder):
    """Every file of a cut set: its name and its bytes (as a digest), the first piece's creation time left out. The
    recovery volumes cover that time too: theirs follows the first piece's digest with it, "first:volume"."""
    found = {}
    first = ""
    for name in sorted(os.listdir(folder)):
        data = bytearray(tarnlib.read_file(os.path.join(folder, name)))
        if name.endswith("0001.trn") and data[:8] == tarnlib.MAGIC:
            first = hashlib.sha256(bytes(data)).hexdigest()
            data[CREATION] = bytes(8)
        found[name] = hashlib.sha256(bytes(data)).hexdigest()
    for name in found:
        if name.endswith(".par2"):
            found[name] = first + ":" + found[name]
    return found


def same_set(a, b):
    """The same set in both: the same names and bytes; volumes the same where the first pieces are byte for byte
    (Wine reports another creation time than Linux, and the volumes protect it)."""
    if sorted(a) != sorted(b):
        return False
    for name in a:
        if name.endswith(".par2") and a[name].split(":")[0] != b[name].split(":")[0]:
            continue
        if a[name] != b[name]:
            return False
    return True


class SameBytesEverywhere(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tarn-same-")
        self.native = tarnlib.Runner(NATIVE)
        self.windows = [tarnlib.Runner(*each) for each in WINDOWS]

    def tearDown(self):
        for runner in [self.native] + self.windows:
            runner.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def source(self, name, data=None, size=None):
        path = os.path.join(self.work, name)
        if size is not None:
            with open(path, "wb") as f:
                f.truncate(size)
                f.seek(size // 3)
                f.write(b"data in the middle")
        else:
            tarnlib.write_file(path, data)
        return path

    def cuts(self, path, kib, script=False, recovery=0):
        """The set each program cuts from path with pieces of kib KiB (and recovery volumes), by the program."""
        method = 1 if script else 0
        results = {}
        runs = [("tarn split", self.native, True), ("tarn /i=", self.native, False)]
        runs += [("Tarn.exe %d" % (64 if i == 0 else 32), r, False) for i, r in enumerate(self.windows)]
        for label, runner, commands in runs:
            os.utime(path, ns=(OLD, OLD))  # each program finds the times the user left
            out = os.path.join(self.work, label.replace(" ", "_").replace("/", "").replace("=", ""))
            if commands:
                args = ["split", path, "-s", "%dK" % kib, "-o", out, "-q"] + (["--script"] if script else [])
                args += ["--recovery", str(recovery)] if recovery else []
            else:
                runner.write_settings(method=method)
                args = ["/i=" + runner.path(path), "/o=" + runner.path(out), "/s=%d" % kib, "/q"]
                args += ["/r=%d" % recovery] if recovery else []
            code, err = runner.run(*args, headless=True, timeout=900)
            self.assertEqual(code, 0, "%s: %s" % (label, err))
            results[label] = digest_of(out)
            if recovery and shutil.which("par2"):
                # Whoever cut it, the volumes name the pieces as they lie here.
                index = [n for n in os.listdir(out) if n.endswith(".par2") and ".vol" not in n][0]
                done = subprocess.run(["par2", "verify", index], cwd=out, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT, timeout=300)
                self.assertEqual(done.returncode, 0, "%s: %s" % (label, done.stdout.decode("utf-8", "replace")))
            shutil.rmtree(out)
        return results

    def assertAllEqual(self, results):
        first = next(iter(results))
        for label, found in results.items():
            self.assertTrue(same_set(found, results[first]), "%s differs from %s: %s, %s" %
                            (label, first, found, results[first]))
        # The volumes of sets whose first pieces are the same to the byte are themselves: Linux with Linux, Wine
        # with Wine at least.
        volumes = {label: {n: d for n, d in found.items() if n.endswith(".par2")} for label, found in results.items()}
        alike = [label for label in results if label.startswith("Tarn.exe")]
        for group in (["tarn split", "tarn /i="], alike):
            for label in group:
                self.assertEqual(volumes[label], volumes[group[0]], "volumes of %s and %s" % (label, group[0]))
        return results[first]

    def test_names_scripts_and_one_piece_sets(self):
        # The last value: recovery volumes, whose packets name the pieces in UTF-8 whatever the system's names.
        cases = [("报告书.doc", os.urandom(300000), 100, False, 2),  # a Chinese name: 报告0001.trn
                 ("第1章 R&D.txt", os.urandom(70000), 30, False, 0),  # a character cut at the fourth byte
                 ("plan 100%.doc", os.urandom(50000), 20, True, 1),   # a script set, % in the name
                 ("lone.bin", os.urandom(5000), 512, False, 0),       # one piece
                 ("한국어 보고서.doc", os.urandom(45000), 20, False, 1)]  # a name code page 936 lacks
        for name, data, kib, script, recovery in cases:
            with self.subTest(name=name):
                found = self.assertAllEqual(self.cuts(self.source(name, data), kib, script, recovery))
                self.assertGreater(len(found), 0)
                self.assertEqual(len([n for n in found if n.endswith(".par2")]), recovery + 1 if recovery else 0)
                if name == "报告书.doc":
                    self.assertEqual(sorted(found), ["报告%04d.trn" % i for i in (1, 2, 3)] +
                                     ["报告书.doc.par2", "报告书.doc.vol00+01.par2", "报告书.doc.vol01+01.par2"])

    def test_a_set_over_4_gib(self):
        path = self.source("disk.img", size=(4 << 30) + 12345)
        found = self.assertAllEqual(self.cuts(path, 100000))
        self.assertEqual(len(found), 42)  # 102,400,000-byte pieces


def windows_path(linux_path):
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


class KeyedSetsInTheWindow(unittest.TestCase):
    """The key typed into Tarn.exe's window scrambles the bytes that tarn split --key scrambles, and each program
    rebuilds the other's set with it."""
    KEY = "Sesame 0pen"  # 11 bytes with a space: repeated over the cipher's 32, cut off inside the key

    @classmethod
    def setUpClass(cls):
        # The window needs a display: the caller's, or a server of its own when there is none (as in the test
        # command, which runs this once the window suites have ended).
        cls.server = None
        if not os.environ.get("DISPLAY") and DRIVERS:
            number = next(n for n in range(90, 200) if not os.path.exists("/tmp/.X%d-lock" % n) and
                          not os.path.exists("/tmp/.X11-unix/X%d" % n))
            cls.server = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            socket = "/tmp/.X11-unix/X%d" % number
            for _ in range(100):
                if os.path.exists(socket):
                    break
                time.sleep(0.1)
            os.environ["DISPLAY"] = ":%d" % number

    @classmethod
    def tearDownClass(cls):
        if cls.server:
            del os.environ["DISPLAY"]
            cls.server.terminate()  # so that it removes its lock and socket
            cls.server.wait()

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tarn-keyed-")
        self.native = tarnlib.Runner(NATIVE)
        self.data = os.urandom(300000)
        self.source = os.path.join(self.work, "keyed.doc")
        tarnlib.write_file(self.source, self.data)

    def tearDown(self):
        self.native.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def window(self, driver, wine, program, job, **options):
        """One job in the main window of program; the driver checks its messages and exit code."""
        args = [wine, driver, "--gtest_brief=1", "--gtest_filter=KeyedWindowJob." + job,
                "--tarn=" + windows_path(program), "--key=" + self.KEY]
        args += ["--%s=%s" % item for item in options.items()]
        code, out, _ = tarnlib.captured(args, merge=True, timeout=300)
        self.assertEqual(code, 0, out.decode("gbk", "replace"))

    def test_window_and_commands_cut_and_rebuild_the_same_keyed_set(self):
        self.assertTrue(DRIVERS, "no window driver given")
        os.utime(self.source, ns=(OLD, OLD))
        commands = os.path.join(self.work, "commands")
        code, err = self.native.run("split", self.source, "-s", "100K", "--key", self.KEY, "-o", commands, "-q")
        self.assertEqual(code, 0, err)
        expected = digest_of(commands)
        self.assertEqual(sorted(expected), ["keye0001.trn", "keye0002.trn", "keye0003.trn"])
        first = tarnlib.read_file(os.path.join(commands, "keye0001.trn"))
        self.assertNotEqual(first[652:752], self.data[:100])  # scrambled, so that equal sets say something
        for driver, wine, program in DRIVERS:
            with self.subTest(program=program):
                out = os.path.join(self.work, "window")
                os.utime(self.source, ns=(OLD, OLD))
                self.window(driver, wine, program, "Cut", cut=windows_path(self.source), out=windows_path(out),
                            kib=100)
                self.assertEqual(digest_of(out), expected)
                rebuilt = os.path.join(self.work, "rebuilt")
                code, err = self.native.run("join", os.path.join(out, "keye0002.trn"), "-o", rebuilt,
                                            "--key", self.KEY, "-q")
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(os.path.join(rebuilt, "keyed.doc")), self.data)
                joined = os.path.join(self.work, "joined")
                self.window(driver, wine, program, "Join", join=windows_path(os.path.join(commands, "keye0002.trn")),
                            out=windows_path(joined))
                self.assertEqual(tarnlib.read_file(os.path.join(joined, "keyed.doc")), self.data)
                for made in (out, rebuilt, joined):
                    shutil.rmtree(made)


if __name__ == "__main__":
    unittest.main(verbosity=2)
