"""One engine, four programs: tarn split, the switches of the native tarn, and the 64- and the 32-bit Tarn.exe cut the
same file into the same bytes, names included (only the creation time differs: Linux has none to report)."""
import hashlib
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import tarnlib  # noqa: E402

NATIVE = os.path.abspath(os.environ["TARN_PROGRAM"])
WINDOWS = [(os.environ[p], os.environ[w], os.environ[l]) for p, w, l in
           (("TARN_WIN64", "TARN_WINE64", "TARN_LAUNCHER64"), ("TARN_WIN32", "TARN_WINE32", "TARN_LAUNCHER32"))
           if os.environ.get(p) and os.path.exists(os.environ[p])]
CREATION = slice(626, 634)  # the creation time in the first piece's header
OLD = 1500000000 * 10**9


def digest_of(folder):
    """Every file of a cut set: its name and its bytes (as a digest), the first piece's creation time left out."""
    found = {}
    for name in sorted(os.listdir(folder)):
        data = bytearray(tarnlib.read_file(os.path.join(folder, name)))
        if name.endswith("0001.trn") and data[:8] == tarnlib.MAGIC:
            data[CREATION] = bytes(8)
        found[name] = hashlib.sha256(bytes(data)).hexdigest()
    return found


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

    def cuts(self, path, kib, script=False):
        """The set each program cuts from path with pieces of kib KiB, by the name of the program."""
        method = 1 if script else 0
        results = {}
        runs = [("tarn split", self.native, True), ("tarn /i=", self.native, False)]
        runs += [("Tarn.exe %d" % (64 if i == 0 else 32), r, False) for i, r in enumerate(self.windows)]
        for label, runner, commands in runs:
            os.utime(path, ns=(OLD, OLD))  # each program finds the times the user left
            out = os.path.join(self.work, label.replace(" ", "_").replace("/", "").replace("=", ""))
            if commands:
                args = ["split", path, "-s", "%dK" % kib, "-o", out, "-q"] + (["--script"] if script else [])
            else:
                runner.write_settings(method=method)
                args = ["/i=" + runner.path(path), "/o=" + runner.path(out), "/s=%d" % kib, "/q"]
            code, err = runner.run(*args, headless=True, timeout=900)
            self.assertEqual(code, 0, "%s: %s" % (label, err))
            results[label] = digest_of(out)
            shutil.rmtree(out)
        return results

    def assertAllEqual(self, results):
        first = next(iter(results))
        for label, found in results.items():
            self.assertEqual(found, results[first], "%s differs from %s" % (label, first))
        return results[first]

    def test_names_scripts_and_one_piece_sets(self):
        cases = [("报告书.doc", os.urandom(300000), 100, False),  # a Chinese name: 报告0001.trn
                 ("第1章 R&D.txt", os.urandom(70000), 30, False),  # a character cut at the fourth byte
                 ("plan 100%.doc", os.urandom(50000), 20, True),   # a script set, % in the name
                 ("lone.bin", os.urandom(5000), 512, False)]       # one piece
        for name, data, kib, script in cases:
            with self.subTest(name=name):
                found = self.assertAllEqual(self.cuts(self.source(name, data), kib, script))
                self.assertGreater(len(found), 0)
                if name == "报告书.doc":
                    self.assertEqual(sorted(found), ["报告%04d.trn" % i for i in (1, 2, 3)])

    def test_a_set_over_4_gib(self):
        path = self.source("disk.img", size=(4 << 30) + 12345)
        found = self.assertAllEqual(self.cuts(path, 100000))
        self.assertEqual(len(found), 42)  # 102,400,000-byte pieces


if __name__ == "__main__":
    unittest.main(verbosity=2)
