"""End-to-end cases of piece sizes: -s as the largest piece file, the notes on a count other than the one asked,
and what the native tarn says of a compatible /s= value it takes its own way."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402

PROGRAM = os.path.abspath(os.environ["TARN_PROGRAM"])
HEADER, MARK = 652, 8
CREATION = slice(626, 634)  # the first piece's creation time: the one field two runs may not share
OLD = 1500000000 * 10**9


def environment(lang):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
    env["LANG"] = lang
    return env


class SizeCase(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tarn-sizes-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def at(self, *parts):
        return os.path.join(self.work, *parts)

    def source(self, name, size):
        data = random.Random(name + str(size)).randbytes(size)
        tarnlib.write_file(self.at(name), data)
        return data

    def tarn(self, *args, stdin=None, lang="C.UTF-8", program=PROGRAM):
        done = subprocess.run([program, *args], input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              cwd=self.work, env=environment(lang), timeout=120,
                              stdin=None if stdin is not None else subprocess.DEVNULL)
        return done.returncode, done.stderr.decode("utf-8", "replace")

    def lengths(self, folder):
        names = sorted(n for n in os.listdir(self.at(folder)) if n.endswith(".trn"))
        return [os.path.getsize(self.at(folder, n)) for n in names], names

    def split(self, name, *options, out="out"):
        shutil.rmtree(self.at(out), ignore_errors=True)
        code, err = self.tarn("split", name, "-o", out, *options)
        self.assertEqual(code, 0, (options, err))
        return err

    def joined(self, folder, name, *options):
        shutil.rmtree(self.at("j"), ignore_errors=True)
        first = sorted(n for n in os.listdir(self.at(folder)) if n.endswith("0001.trn"))[0]
        code, err = self.tarn("join", self.at(folder, first), "-o", "j", "-q", *options)
        self.assertEqual(code, 0, err)
        return tarnlib.read_file(self.at("j", name))


class LargestPieceFile(SizeCase):
    def test_every_piece_file_is_within_the_size_and_no_piece_is_more_than_needed(self):
        for size in (2 << 20, (10 << 20) + 3, 300001, 5000):
            data = self.source("f.bin", size)
            for asked in ("1M", "64K", "3"):
                limit = (1 << 20) if asked == "1M" else int(asked.rstrip("K")) * 1024
                for script in (False, True):
                    options = ["-s", asked, "-q"] + (["--script"] if script else [])
                    self.split("f.bin", *options)
                    lengths, _ = self.lengths("out")
                    label = (size, asked, script)
                    self.assertLessEqual(max(lengths), limit, label)
                    # All pieces but the last hold the same data, the first beside the header: that is its room.
                    room = limit - (0 if script else HEADER)
                    count = len(lengths)
                    self.assertTrue((count - 1) * room < size <= count * room, label)
                    data_of = [n - (0 if script else (HEADER if i == 0 else MARK)) for i, n in enumerate(lengths)]
                    self.assertEqual(len(set(data_of[:-1])), min(1, count - 1), label)
                    self.assertEqual(sum(data_of), size, label)
                    self.assertEqual(self.joined("out", "f.bin", *(["-y"] if script else [])), data, label)
        # An exact multiple makes no extra piece: 2 MiB in two files of 1 MiB, where no header takes room.
        self.source("two.bin", 2 << 20)
        self.split("two.bin", "-s", "1M", "--script", "-q")
        self.assertEqual(self.lengths("out")[0], [1 << 20, 1 << 20])

    def test_standard_input_fills_each_piece_file_to_the_size(self):
        data = self.source("s.bin", 2000001)
        for options, first, later in ((["-s", "100K"], 102400, 102400 - HEADER + MARK),
                                      (["-s", "100K", "--script"], 102400, 102400),
                                      (["-s", "email"], 899 * 1024 + HEADER, 899 * 1024 + MARK)):
            shutil.rmtree(self.at("out"), ignore_errors=True)
            code, err = self.tarn("split", "-", "--name", "s.bin", "-o", "out", "-q", *options, stdin=data)
            self.assertEqual(code, 0, err)
            lengths, _ = self.lengths("out")
            self.assertEqual(lengths[0], first, options)
            self.assertTrue(all(n == later for n in lengths[1:-1]), options)
            self.assertEqual(self.joined("out", "s.bin", *(["-y"] if "--script" in options else [])), data)

    def test_presets_keep_their_data_sizes_and_cut_what_the_switches_cut(self):
        # email is 899 KiB of data a piece, evened out as Tarn.exe evens it: 2 MiB in 3 pieces of 683 KiB.
        self.source("p.bin", 2 << 20)
        runner = tarnlib.Runner(PROGRAM)
        self.addCleanup(runner.close)
        runner.write_settings()
        os.utime(self.at("p.bin"), ns=(OLD, OLD))
        self.split("p.bin", "-s", "email", "-q")
        lengths, names = self.lengths("out")
        self.assertEqual(lengths, [683 * 1024 + HEADER, 683 * 1024 + MARK, (2 << 20) - 2 * 683 * 1024 + MARK])
        os.utime(self.at("p.bin"), ns=(OLD, OLD))
        code, err = self.tarn("/i=" + self.at("p.bin"), "/o=" + self.at("switches"), "/s=899", "/q",
                              program=runner.copy)
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(os.listdir(self.at("switches"))), names)
        for name in names:
            a = bytearray(tarnlib.read_file(self.at("out", name)))
            b = bytearray(tarnlib.read_file(self.at("switches", name)))
            a[CREATION] = b[CREATION] = bytes(8)
            self.assertEqual(a, b, name)

    def test_pieces_of_any_length_are_keyed_and_joined_as_every_join_reads_them(self):
        # Three files of exactly 100 KiB: whole KiB of data would pass the size, so each holds the exact share, and
        # the first file's KiB (100) is one more than its data's.
        size = 3 * (100 * 1024 - HEADER)
        data = self.source("k.bin", size)
        self.split("k.bin", "-s", "100K", "--key", "pw", "-q")
        lengths, names = self.lengths("out")
        share = -(-size // 3)
        self.assertEqual(lengths, [share + HEADER, share + MARK, size - 2 * share + MARK])
        self.assertNotEqual(share % 1024, 0)
        # The key covers the first piece file's KiB less one bytes of each piece's data: what a join reads back
        # from the first piece's length, the header included, and so what Tarn.exe reads too.
        span = (lengths[0] >> 10) - 1
        for index, name in enumerate(names):
            piece = tarnlib.read_file(self.at("out", name))[HEADER if index == 0 else MARK:]
            plain = data[index * share:(index + 1) * share]
            self.assertTrue(all(a != b for a, b in zip(piece[:span], plain[:span])), name)
            self.assertEqual(piece[span:], plain[span:], name)
        self.assertEqual(self.joined("out", "k.bin", "--key", "pw"), data)
        self.assertEqual(self.tarn("verify", self.at("out", names[1]), "--key", "pw", "-q")[0], 0)
        # A lone piece without header is read back by its length as any first piece: so it is keyed, from a file
        # or a stream.
        for options, stdin in ((["k.bin", "-n", "1"], None), (["-", "--name", "k.bin", "-s", "1G"], data)):
            shutil.rmtree(self.at("one"), ignore_errors=True)
            code, err = self.tarn("split", *options, "--script", "--key", "pw", "-o", "one", "-q", stdin=stdin)
            self.assertEqual(code, 0, err)
            self.assertEqual(self.joined("one", "k.bin", "--key", "pw", "-y"), data, options)
        # Without the key, the same lengths join through the switches, on Tarn.exe's own join.
        self.split("k.bin", "-s", "100K", "-q", out="plain")
        runner = tarnlib.Runner(PROGRAM)
        self.addCleanup(runner.close)
        runner.write_settings()
        code, err = self.tarn("/i=" + self.at("plain", names[2]), "/o=" + self.at("sw"), "/q", program=runner.copy)
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("sw", "k.bin")), data)


class CountNotes(SizeCase):
    def test_a_count_other_than_the_one_asked_says_exactly_why(self):
        self.source("ten.bin", 10240)
        err = self.split("ten.bin", "-n", "10")
        self.assertEqual(len(self.lengths("out")[0]), 10)
        self.assertEqual(err.count("\n"), 1, err)  # the summary alone: nothing was changed
        self.source("five.bin", 5)
        err = self.split("five.bin", "-n", "10")
        self.assertEqual(len(self.lengths("out")[0]), 5)
        self.assertIn("5 pieces, not the 10 asked: a file of 5 bytes makes 5 pieces at most", err)
        self.source("uneven.bin", 10000)
        err = self.split("uneven.bin", "-n", "9999")
        count = len(self.lengths("out")[0])
        self.assertLess(count, 9999)
        self.assertIn("%d pieces, not the 9999 asked: every piece but the last holds the same number of bytes" % count,
                      err)
        self.source("empty.bin", 0)
        err = self.split("empty.bin", "-n", "3")
        self.assertIn("1 piece, not the 3 asked: the file is empty", err)
        code, err = self.tarn("split", "five.bin", "-n", "10", "-o", "zh", lang="zh_CN.UTF-8")
        self.assertEqual(code, 0, err)
        self.assertIn("5 块, 不是要求的 10 块: 5 字节的文件最多分为 5 块", err)
        shutil.rmtree(self.at("out"))
        code, err = self.tarn("split", "five.bin", "-n", "10", "-o", "out", "-q")
        self.assertEqual((code, err), (0, ""))

    def test_the_size_asked_is_kept_and_the_header_is_named_when_it_costs_a_piece(self):
        self.source("big.bin", 1500000)
        err = self.split("big.bin", "-s", "1")
        lengths, _ = self.lengths("out")
        self.assertEqual(max(lengths), 1024)
        self.assertIn("%d piece(s) of at most 1.0 KiB" % len(lengths), err)
        self.assertIn("%d pieces rather than 1465: the first piece holds the 652-byte header" % len(lengths), err)
        self.source("two.bin", 2 << 20)
        err = self.split("two.bin", "-s", "1M")
        self.assertIn("3 pieces rather than 2: the first piece holds the 652-byte header", err)
        err = self.split("two.bin", "-s", "1M", "--script")
        self.assertIn("2 piece(s) of at most 1.0 MiB", err)
        self.assertNotIn("rather than", err)
        code, err = self.tarn("split", "two.bin", "-s", "1M", "-o", "zh", lang="zh_CN.UTF-8")
        self.assertEqual(code, 0, err)
        self.assertIn("3 块而不是 2 块: 第一块在要求的大小之内含 652 字节的头部", err)


def tarn_exe_reading(value):
    """The KiB Tarn.exe makes of a /s= value: each character as a digit, 0 as 1, at most 100000; then the sizing's
    least of 2."""
    number = 0
    for byte in value.encode():
        number = (number * 10 + ((byte - 48) & 0xFF)) & 0xFFFFFFFF
    number = min(max(number, 1), 100000)
    return max(number, 2)


class SizeSwitchNotes(SizeCase):
    def setUp(self):
        super().setUp()
        self.runner = tarnlib.Runner(PROGRAM)
        self.runner.write_settings()
        self.source("x.bin", 300000)

    def tearDown(self):
        self.runner.close()
        super().tearDown()

    def switches(self, value, *extra, lang="C.UTF-8"):
        shutil.rmtree(self.at("o"), ignore_errors=True)
        code, err = self.tarn("/i=" + self.at("x.bin"), "/o=" + self.at("o"), "/s=" + value, *extra, lang=lang,
                              program=self.runner.copy)
        self.assertEqual(code, 0, err)
        return err

    def test_a_value_taken_its_own_way_is_said_as_it_was_taken(self):
        cases = (("0", "is below 2"), ("1", "is below 2"), ("-5", "is not a whole number of KiB"),
                 ("abc", "is not a whole number of KiB"), ("1.5", "is not a whole number of KiB"),
                 ("100001", "is over 100000"), ("", "is not a whole number of KiB"))
        for value, why in cases:
            with self.subTest(value=value):
                err = self.switches(value)
                taken = tarn_exe_reading(value)
                self.assertIn("tarn: '/s=%s' %s: taken as %d KiB" % (value, why, taken), err)
                # The pieces are those Tarn.exe cuts from that size: at most its KiB of data each, evened out.
                lengths, _ = self.lengths("o")
                piece = lengths[0] - HEADER
                self.assertLessEqual(piece, taken * 1024)
                self.assertEqual(len(lengths), -(-300000 // piece))
                if taken == 2:
                    self.assertEqual(lengths[0], 2048 + HEADER)
        self.assertIn("'/s=abc' 不是整数 KiB: 按 Tarn.exe 的读法取为 5451 KiB", self.switches("abc", lang="zh_CN.UTF-8"))
        self.assertIn("'/s=0' 小于 2: 取最小的块大小 2 KiB", self.switches("0", lang="zh_CN.UTF-8"))

    def test_a_value_in_range_or_a_quiet_run_says_nothing_of_it(self):
        for value in ("2", "30", "00042", "100000"):
            self.assertNotIn("/s=", self.switches(value), value)
        self.assertEqual(self.switches("abc", "/q"), "")
        self.assertEqual(self.switches("0", "/q"), "")


if __name__ == "__main__":
    unittest.main(verbosity=2)
