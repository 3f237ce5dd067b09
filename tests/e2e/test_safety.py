"""Hostile names, paths and command lines: nothing the user had is lost, nothing lands outside the output
folder, and a failure never exits 0. Runs against the native tarn and, where a case applies, Tarn.exe."""
import os
import random
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402
from test_batch import LAUNCHER, NATIVE, PROGRAM, WINE  # noqa: E402

FAILED = 99


class SafetyCase(unittest.TestCase):
    def setUp(self):
        self.tarn = tarnlib.Runner(PROGRAM, WINE, LAUNCHER)
        self.work = tempfile.mkdtemp(prefix="tarn-safe-")
        self.rng = random.Random(11)

    def tearDown(self):
        self.tarn.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def source(self, name, size, folder=None):
        path = os.path.join(folder or self.work, name)
        tarnlib.write_file(path, self.rng.randbytes(size))
        return path

    def run_tarn(self, *args, **options):
        # Tarn.exe runs without a display here: a refusal's message must never wait for a user.
        options.setdefault("headless", True)
        return self.tarn.run(*args, **options)

    def p(self, path):
        return self.tarn.path(path)

    def tree(self):
        found = []
        for root, dirs, files in os.walk(self.work):
            found += [os.path.relpath(os.path.join(root, n), self.work) for n in dirs + files]
        return sorted(found)


class ScriptSetTest(SafetyCase):
    def test_a_source_named_like_the_script_is_never_overwritten(self):
        self.tarn.write_settings(method=1)
        folder = os.path.join(self.work, "own")
        os.makedirs(folder)
        src = self.source("UnTarn.bat", 30000, folder)
        before = tarnlib.read_file(src)
        code, err = self.run_tarn("/i=" + self.p(src), "/o=" + self.p(folder), "/s=10", "/q")
        self.assertEqual(code, FAILED, err)
        self.assertEqual(tarnlib.read_file(src), before)
        self.assertEqual(os.listdir(folder), ["UnTarn.bat"], "nothing is written once the job is refused")

    def test_another_sets_script_is_not_replaced_without_an_answer(self):
        self.tarn.write_settings(method=1)
        out = os.path.join(self.work, "out")
        os.makedirs(out)
        theirs = os.path.join(out, "UnTarn.bat")
        tarnlib.write_file(theirs, b'Copy /b othe0001.trn "other.doc"')
        src = self.source("report.doc", 30000)
        # Nobody can answer here (no terminal, no display): the question is cancelled.
        code, err = self.run_tarn("/i=" + self.p(src), "/o=" + self.p(out), "/s=10", "/q")
        self.assertEqual(code, FAILED, err)
        self.assertEqual(tarnlib.read_file(theirs), b'Copy /b othe0001.trn "other.doc"')
        self.assertEqual(os.listdir(out), ["UnTarn.bat"])
        if NATIVE:
            self.assertIn("覆盖它吗?", err)


class InputSwitchTest(SafetyCase):
    def test_only_the_first_accepted_input_counts(self):
        small = self.source("small.txt", 2000)
        big = self.source("big.bin", 90000)
        out = os.path.join(self.work, "out")
        code, err = self.run_tarn("/i=" + self.p(small), "/i=" + self.p(big), "/o=" + self.p(out), "/q")
        self.assertEqual(code, 0, err)
        self.assertEqual(os.listdir(out), ["smal0001.trn"])
        header = tarnlib.read_header(os.path.join(out, "smal0001.trn"))
        self.assertEqual((header["name"], header["size"]), (b"small.txt", 2000))
        self.assertEqual(tarnlib.read_file(os.path.join(out, "smal0001.trn"))[652:], tarnlib.read_file(small))

    def test_a_rejected_input_lets_a_later_one_count(self):
        good = self.source("good.bin", 3000)
        out = os.path.join(self.work, "out")
        code, err = self.run_tarn("/i=" + self.p(os.path.join(self.work, "missing.bin")), "/i=" + self.p(good),
                                  "/o=" + self.p(out), "/q")
        self.assertEqual(code, 0, err)
        self.assertEqual(os.listdir(out), ["good0001.trn"])


class LongPathTest(SafetyCase):
    """Paths that would not fit 599 bytes are refused before anything is created, never cut."""

    def folder_of_length(self, length, create=False):
        """A folder path of exactly length bytes as the program sees it, under the work folder."""
        base = self.p(self.work)
        sep = "/" if NATIVE else "\\"
        parts = []
        remaining = length - len(base)
        while remaining > 0:
            take = min(200, remaining - 1)
            if remaining - 1 - take in range(1, 3):
                take -= 3  # no part shorter than three bytes at the end
            parts.append("d" * take)
            remaining -= take + 1
        self.assertEqual(remaining, 0)
        path = base + "".join(sep + q for q in parts)
        self.assertEqual(len(path), length)
        linux = os.path.join(self.work, *parts)
        if create:
            os.makedirs(linux)
        return path, linux

    def test_pieces_would_not_fit_in_the_output_folder(self):
        src = self.source("f.bin", 3000)
        # 590 + separator + 12-byte piece name is 603: refused, and the folder of its first 585 bytes
        # (which exists) receives nothing.
        out, linux = self.folder_of_length(590)
        cut = linux[:len(linux) - 5]
        if NATIVE:
            os.makedirs(cut)
        before = self.tree()
        code, err = self.run_tarn("/i=" + self.p(src), "/o=" + out, "/q")
        self.assertEqual(code, FAILED, err)
        self.assertEqual(self.tree(), before)

    def test_rebuilt_name_would_not_fit(self):
        src = self.source("f.bin", 3000)
        pieces = os.path.join(self.work, "pieces")
        self.assertEqual(self.run_tarn("/i=" + self.p(src), "/o=" + self.p(pieces), "/q")[0], 0)
        out, _ = self.folder_of_length(595)
        before = self.tree()
        code, err = self.run_tarn("/i=" + self.p(os.path.join(pieces, "f.bi0001.trn")), "/o=" + out)
        self.assertEqual(code, FAILED, err)
        self.assertEqual(self.tree(), before)
        if NATIVE:
            self.assertIn("路径太长", err)

    def test_subfolder_of_an_output_switch_before_the_input_would_not_fit(self):
        src = self.source("somewhat-long-name.bin", 3000)
        out, _ = self.folder_of_length(580)
        before = self.tree()
        code, err = self.run_tarn("/o=" + out, "/i=" + self.p(src), "/q")
        self.assertEqual(code, FAILED, err)
        self.assertEqual(self.tree(), before)

    def test_a_path_switch_longer_than_a_buffer_stops_the_run(self):
        src = self.source("f.bin", 3000)
        out, _ = self.folder_of_length(700)
        before = self.tree()
        code, err = self.run_tarn("/i=" + self.p(src), "/o=" + out, "/q")
        self.assertEqual(code, FAILED, err)
        self.assertEqual(self.tree(), before)

    def test_paths_that_just_fit_work(self):
        src = self.source("f.bin", 3000)
        out, linux = self.folder_of_length(599 - 13)
        os.makedirs(os.path.dirname(linux))
        code, err = self.run_tarn("/i=" + self.p(src), "/o=" + out, "/q")
        self.assertEqual(code, 0, err)
        self.assertEqual(os.listdir(linux), ["f.bi0001.trn"])


class InvalidCountTest(SafetyCase):
    def test_a_damaged_count_creates_nothing_and_says_so_once(self):
        folder = os.path.join(self.work, "set")
        os.makedirs(folder)
        tarnlib.write_file(os.path.join(folder, "evil0001.trn"), tarnlib.make_header(b"evil.txt", 5, 0) + b"hello")
        dest = os.path.join(self.work, "dest")
        code, err = self.run_tarn("/i=" + self.p(os.path.join(folder, "evil0001.trn")), "/o=" + self.p(dest),
                                  headless=True)
        self.assertEqual(code, FAILED, err)
        self.assertFalse(os.path.exists(dest), "no empty output folder is left behind")
        if NATIVE:
            self.assertEqual(err.strip(), "头部记录的块数无效.")


class AnswerSwitchTest(SafetyCase):
    def test_y_joins_a_headerless_set_without_a_terminal(self):
        folder = os.path.join(self.work, "raw")
        os.makedirs(folder)
        parts = [self.rng.randbytes(1500), self.rng.randbytes(1500), self.rng.randbytes(700)]
        for i, part in enumerate(parts, 1):
            tarnlib.write_file(os.path.join(folder, "abcd%04d.trn" % i), part)
        dest = os.path.join(self.work, "j")
        code, err = self.run_tarn("/i=" + self.p(os.path.join(folder, "abcd0002.trn")), "/o=" + self.p(dest),
                                  "/q", "/y")
        self.assertEqual(code, 99, err)  # a raw join ends at its first missing piece
        self.assertEqual(tarnlib.read_file(os.path.join(dest, "abcd")), b"".join(parts))

    def test_y_answers_the_version_question_but_not_the_overwrite_question(self):
        folder = os.path.join(self.work, "other")
        os.makedirs(folder)
        payload = b"other version payload"
        header = tarnlib.make_header(b"o.txt", len(payload), 1, tarnlib.checksum_of(payload), magic=b"TARN1400")
        tarnlib.write_file(os.path.join(folder, "o.tx0001.trn"), header + payload)
        dest = os.path.join(self.work, "j")
        # /y before the input counts too.
        code, err = self.run_tarn("/y", "/i=" + self.p(os.path.join(folder, "o.tx0001.trn")), "/o=" + self.p(dest),
                                  "/q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(os.path.join(dest, "o.txt")), payload)
        tarnlib.write_file(os.path.join(dest, "o.txt"), b"mine")
        code, err = self.run_tarn("/i=" + self.p(os.path.join(folder, "o.tx0001.trn")), "/o=" + self.p(dest),
                                  "/q", "/y")
        self.assertEqual(code, FAILED, err)
        self.assertEqual(tarnlib.read_file(os.path.join(dest, "o.txt")), b"mine")


if __name__ == "__main__":
    unittest.main(verbosity=2)
