"""End-to-end runs of tarn's info and verify, of its terminal output, help and version."""
import json
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from commandcase import PROGRAM, CHECKSUM, USAGE, MISSING, DAMAGED, CommandCase, drain  # noqa: E402
import tarnlib  # noqa: E402


class InfoAndVerify(CommandCase):
    def make_set(self, size=250000, piece="100K", extra=()):
        _, data = self.source("set.bin", size)
        code, _, err = self.tarn("split", "set.bin", "-s", piece, "-q", "-d", "描述 text", *extra)
        self.assertEqual(code, 0, err)
        return data

    def piece(self, n):
        return self.at("set", "set.%04d.trn" % n)

    def info(self, n=1):
        code, out, err = self.tarn("info", self.piece(n), "--json")
        self.assertEqual(code, 0, err)
        return json.loads(out)

    def verify(self, *extra):
        code, out, err = self.tarn("verify", self.piece(1), "--json", *extra)
        return code, json.loads(out)

    def test_complete_set(self):
        self.make_set()
        report = self.info(3)
        self.assertEqual((report["name"], report["size"], report["pieces"], report["kind"]), ("set.bin", 250000, 3, "header"))
        self.assertEqual(report["piece_size"], 82 * 1024)  # 244 KiB evened out over 3 pieces
        self.assertEqual(report["description"], "描述 text")
        self.assertEqual((report["present"], report["missing"], report["wrong"]), ([1, 2, 3], [], []))
        self.assertIsInstance(report["checksum"], int)
        self.assertTrue(report["modified"].endswith("UTC"))
        code, out, err = self.tarn("info", self.piece(2))
        self.assertEqual(code, 0, err)
        for label in (b"name:", b"set.bin", b"250,000 bytes", b"pieces:", b"checksum:", b"modified:", b"missing:"):
            self.assertIn(label, out)
        code, out, _ = self.tarn("info", self.piece(2), env_lang="zh_CN.UTF-8")
        self.assertIn("名称:".encode(), out)
        code, result = self.verify()
        self.assertEqual(code, 0)
        self.assertTrue(result["ok"])
        self.assertTrue(result["checksum"]["match"])
        code, out, _ = self.tarn("verify", self.piece(2))
        self.assertEqual((code, out.splitlines()[-1]), (0, b"OK: 3 pieces, 250,000 bytes"))
        self.source("one.bin", 10)
        self.assertEqual(self.tarn("split", "one.bin", "-q")[0], 0)
        code, out, _ = self.tarn("verify", self.at("one", "one.0001.trn"))
        self.assertEqual((code, out.splitlines()[-1]), (0, b"OK: 1 piece, 10 bytes"))

    def test_short_missing_and_corrupted_pieces(self):
        data = self.make_set()
        second = tarnlib.read_file(self.piece(2))
        tarnlib.write_file(self.piece(2), second[:-10])
        report = self.info()
        self.assertEqual(report["wrong"][0]["piece"], 2)
        self.assertEqual(report["wrong"][0]["expected"], len(second))
        code, result = self.verify()
        self.assertEqual(code, DAMAGED)
        self.assertEqual(result["problems"][0]["problem"], "length")
        code, _, err = self.tarn("join", self.piece(1), "-o", "j")
        self.assertEqual(code, DAMAGED, err)
        self.assertIn("piece 2", err)
        self.assertFalse(os.path.exists(self.at("j")))  # nothing written

        os.remove(self.piece(2))
        self.assertEqual(self.info()["missing"], [2])
        code, result = self.verify()
        self.assertEqual(code, MISSING)
        self.assertEqual(result["problems"], [{"piece": 2, "problem": "missing", "path": self.piece(2)}])
        code, out, _ = self.tarn("verify", self.piece(3))
        self.assertIn(b"piece 2 is missing", out)
        self.assertIn(b"FAILED", out)
        code, _, err = self.tarn("join", self.piece(3), "-o", "j")
        self.assertEqual(code, MISSING, err)
        self.assertFalse(os.path.exists(self.at("j")))

        # Same length, one byte changed: only the checksum can tell.
        flipped = bytearray(second)
        flipped[5000] ^= 0x40
        tarnlib.write_file(self.piece(2), bytes(flipped))
        code, result = self.verify()
        self.assertEqual(code, CHECKSUM)
        self.assertFalse(result["checksum"]["match"])
        code, _, err = self.tarn("join", self.piece(1), "-o", "j", "-q")
        self.assertEqual(code, CHECKSUM, err)
        # Kept for a look, under a name that never passes for the file, and named in the message.
        self.assertEqual(self.listing("j"), ["set (CRC失败).bin"])
        self.assertNotEqual(tarnlib.read_file(self.at("j", "set (CRC失败).bin")), data)
        self.assertIn("set (CRC失败).bin", err)

        # A later piece without the piece mark, and a header that contradicts its piece.
        tarnlib.write_file(self.piece(2), b"XXXXXXXX" + second[8:])
        self.assertEqual(self.verify()[1]["problems"][0]["problem"], "mark")
        first = tarnlib.read_file(self.piece(1))
        tarnlib.write_file(self.piece(1), first[:8] + (0).to_bytes(4, "little") + first[12:])
        code, out, err = self.tarn("verify", self.piece(1))
        self.assertEqual(code, DAMAGED, err)

    def test_enciphered_and_headerless_sets(self):
        self.make_set(extra=("--key", "pw"))
        self.assertEqual(self.verify()[0], CHECKSUM)
        code, result = self.verify("--key", "pw")
        self.assertEqual(code, 0)
        self.assertTrue(result["checksum"]["match"])
        shutil.rmtree(self.at("set"))
        self.make_set(extra=("--script",))
        report = self.info()
        self.assertEqual((report["kind"], report["pieces"], report["size"], report["checksum"]), ("raw", 3, 250000, None))
        code, out, _ = self.tarn("verify", self.piece(1))
        self.assertEqual(code, 0)
        self.assertIn(b"no header", out)

    def test_first_piece_missing_and_not_a_piece(self):
        code, _, err = self.tarn("info", self.at("nope0001.trn"))
        self.assertEqual(code, MISSING, err)
        code, _, err = self.tarn("verify", self.at("nope0001.trn"), env_lang="zh_CN.UTF-8")
        self.assertEqual(code, MISSING)
        self.assertIn("找不到", err)
        code, out, _ = self.tarn("verify", self.at("nope0001.trn"), "--json")  # a line all the same
        self.assertEqual((code, json.loads(out)["ok"], json.loads(out)["exit"]), (MISSING, False, MISSING))
        self.source("plain.txt", 10)
        self.assertEqual(self.tarn("info", "plain.txt")[0], USAGE)

    def test_the_folder_of_one_set_stands_for_it(self):
        data = self.make_set()
        self.assertEqual(self.tarn("info", "set", "--json")[1], self.tarn("info", "set/set.0001.trn", "--json")[1])
        self.assertEqual(self.tarn("verify", "set", "-q")[0], 0)
        code, _, err = self.tarn("join", "set/", "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "set.bin")), data)
        os.makedirs(self.at("empty"))
        tarnlib.write_file(self.at("empty", "set.0002.trn"), b"x")
        code, _, err = self.tarn("join", "empty", "-o", "j2")
        self.assertEqual(code, USAGE, err)
        self.assertIn("without the first piece", err)
        self.source("other.bin", 10)
        self.assertEqual(self.tarn("split", "other.bin", "-o", "set", "-q")[0], 0)
        code, _, err = self.tarn("verify", "set")
        self.assertEqual(code, USAGE, err)
        self.assertIn("holds 2 sets: name the first piece of one (othe0001.trn, set.0001.trn)", err)
        self.assertFalse(os.path.exists(self.at("j2")))

    def test_several_sets_are_reported_one_after_another(self):
        self.make_set()
        self.source("other.bin", 5000)
        self.assertEqual(self.tarn("split", "other.bin", "-s", "2K", "-q")[0], 0)
        piece = self.at("other", "othe0002.trn")
        flipped = bytearray(tarnlib.read_file(piece))
        flipped[100] ^= 1
        tarnlib.write_file(piece, bytes(flipped))
        # Every set is looked at, in the order given; the exit code is the first failure's.
        code, out, err = self.tarn("verify", "set", "other", "nothing", "set", "--json")
        self.assertEqual(code, CHECKSUM, err)
        reports = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([(r["set"], r["ok"], r["exit"]) for r in reports],
                         [("set/set.0001.trn", True, 0), ("other/othe0001.trn", False, CHECKSUM),
                          ("nothing", False, USAGE), ("set/set.0001.trn", True, 0)])
        self.assertIn("'nothing'", err)
        code, out, _ = self.tarn("verify", "other", "set")
        self.assertEqual(code, CHECKSUM)
        self.assertEqual([line for line in out.splitlines() if line.endswith(b":") or line.startswith(b"OK")],
                         [b"other:", b"set:", b"OK: 3 pieces, 250,000 bytes"])
        self.assertEqual(self.tarn("verify", "-q", "set", "other"), (CHECKSUM, b"", ""))
        code, out, _ = self.tarn("info", "set", "other")
        self.assertEqual(code, 0)
        self.assertEqual(out.count(b"name:"), 2)
        self.assertTrue(out.startswith(b"set:\n") and b"\n\nother:\n" in out, out)
        self.assertEqual(self.tarn("join", "set", "other", "-o", "j")[0], USAGE)  # join rebuilds one file
        self.assertFalse(os.path.exists(self.at("j")))

    def test_a_fifo_or_a_piece_that_cannot_be_opened_is_reported_never_waited_on(self):
        self.make_set()
        # Nobody writes to the FIFO: opening it for reading would wait for good.
        os.rename(self.piece(2), self.at("kept2"))
        os.mkfifo(self.piece(2))
        os.rename(self.piece(3), self.at("kept3"))
        os.symlink(self.piece(3), self.piece(3))  # a loop: it cannot be opened, but something is there
        report = self.info()
        self.assertEqual(report["missing"], [2, 3])
        self.assertEqual([(w["piece"], w["problem"], w["reason"]) for w in report["wrong"]],
                         [(2, "unreadable", "not a regular file"),
                          (3, "unreadable", "Too many levels of symbolic links")])
        code, out, _ = self.tarn("verify", self.piece(1))
        self.assertEqual(code, MISSING)
        self.assertIn(b"piece 2 is not a regular file", out)
        self.assertIn(b"piece 3 cannot be read (Too many levels of symbolic links)", out)
        code, _, err = self.tarn("join", self.piece(1), "-o", "j")
        self.assertEqual(code, MISSING, err)
        self.assertFalse(os.path.exists(self.at("j")))
        os.rename(self.piece(1), self.at("kept1"))
        os.mkfifo(self.piece(1))
        code, _, err = self.tarn("info", self.piece(2))
        self.assertEqual(code, MISSING)
        self.assertIn("the first piece of '%s' is not a regular file" % self.piece(2), err)
        before = self.listing(".")
        code, _, err = self.tarn("split", self.piece(1))
        self.assertEqual(code, MISSING)
        self.assertIn("'tarn split - --name NAME' cuts a stream", err)
        self.assertEqual(self.listing("."), before, "nothing written")
        code, _, err = self.tarn("split", "set")
        self.assertEqual(code, MISSING)
        self.assertIn("'set' is a folder: tarn cuts one file ('tar c FOLDER | tarn split - --name FOLDER.tar'", err)
        self.assertEqual(self.listing("."), before, "nothing written")

class Terminal(CommandCase):
    def run_with_terminal_stderr(self, *args, columns=80):
        import fcntl
        import pty
        import struct
        import termios
        master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        done = subprocess.run([PROGRAM, *args], cwd=self.work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=slave, timeout=120, env=self.environment())
        os.close(slave)
        return done.returncode, drain(master).decode("utf-8", "replace")

    def test_progress_bar_at_a_terminal_and_never_with_quiet_or_a_pipe(self):
        self.source("p.bin", 5 * 1048576)
        code, seen = self.run_with_terminal_stderr("split", "p.bin", "-s", "1M")
        self.assertEqual(code, 0, seen)
        self.assertRegex(seen, r"\r +\d+%  [\d.]+ (B|KiB|MiB) / 5\.0 MiB  [\d.]+ (B|KiB|MiB|GiB)/s")
        self.assertIn("6 piece(s)", seen)  # the count rule adds one for an exact multiple, then evens out
        code, seen = self.run_with_terminal_stderr("join", self.at("p", "p.bi0001.trn"), "-o", "j", "-q")
        self.assertEqual((code, seen), (0, ""))
        # A bar wider than the terminal wraps, and a carriage return cannot take back a wrapped line.
        code, seen = self.run_with_terminal_stderr("join", self.at("p", "p.bi0001.trn"), "-o", "j2", columns=30)
        self.assertEqual(code, 0, seen)
        bars = [part for part in seen.split("\r") if part.strip() and "tarn:" not in part]
        self.assertTrue(bars, seen)
        self.assertRegex(bars[0], r"^ +\d+%")
        for bar in bars:
            self.assertLessEqual(len(bar), 29, seen)
        code, _, err = self.tarn("verify", self.at("p", "p.bi0001.trn"))
        self.assertEqual(code, 0)
        self.assertNotIn("%", err)

    def test_the_rebuilt_bytes_go_to_a_terminal_only_with_force(self):
        import pty
        self.source("t.bin", 3000)
        self.assertEqual(self.tarn("split", "t.bin", "-q")[0], 0)
        for extra, expected_code in (((), USAGE), (("--force",), 0)):
            master, slave = pty.openpty()
            done = subprocess.run([PROGRAM, "join", self.at("t", "t.bi0001.trn"), "-o", "-", *extra], cwd=self.work,
                                  stdin=subprocess.DEVNULL, stdout=slave, stderr=subprocess.PIPE, timeout=60,
                                  env=self.environment())
            os.close(slave)
            shown = drain(master)
            self.assertEqual(done.returncode, expected_code, done.stderr)
            if expected_code == USAGE:
                self.assertEqual(shown, b"")
                self.assertIn(b"standard output is a terminal", done.stderr)
            else:
                self.assertGreater(len(shown), 1000)

    def test_a_file_that_says_it_is_empty_but_holds_data_is_cut_whole(self):
        with open("/proc/version", "rb") as f:
            data = f.read()
        self.assertGreater(len(data), 0)
        code, _, err = self.tarn("split", "/proc/version", "-n", "2")
        self.assertEqual(code, USAGE, err)
        self.assertFalse(os.path.exists(self.at("version")))
        code, _, err = self.tarn("split", "/proc/version", "-s", "1K", "-q")
        self.assertEqual(code, 0, err)
        code, _, err = self.tarn("join", self.at("version", "vers0001.trn"), "-o", "j", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "version")), data)

    def test_a_stream_split_reads_a_terminal_only_with_force(self):
        import pty
        master, slave = pty.openpty()
        # Without --force it must refuse at once: waiting for typed bytes would hang here until the timeout.
        done = subprocess.run([PROGRAM, "split", "-", "--name", "typed.txt", "-s", "1K"], cwd=self.work, stdin=slave,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60, env=self.environment())
        self.assertEqual(done.returncode, USAGE, done.stderr)
        self.assertIn(b"standard input is a terminal", done.stderr)
        self.assertEqual(os.listdir(self.work), [])
        # With it, a line typed and then Ctrl+D is the stream.
        os.write(master, b"typed by hand\n\x04")
        done = subprocess.run([PROGRAM, "split", "-", "--name", "typed.txt", "-s", "1K", "--force", "-q"],
                              cwd=self.work, stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        os.close(slave)
        os.close(master)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.tarn("join", self.at("typed", "type0001.trn"), "-o", "-")[1], b"typed by hand\n")


class HelpAndVersion(CommandCase):
    def test_help_version_and_language(self):
        code, out, _ = self.tarn("--help")
        self.assertEqual(code, 0)
        for text in (b"tarn split", b"tarn join", b"tarn info", b"tarn verify", b"/i=", b"6 disk full"):
            self.assertIn(text, out)
        self.assertEqual(self.tarn(), (0, b"", out.decode()))  # run bare, the same help, not the switches' usage
        code, out, _ = self.tarn("split", "--help")
        self.assertEqual(code, 0)
        self.assertIn(b"--script", out)
        # The GNU layout: name and version, copyright, licence, no warranty.
        code, out, _ = self.tarn("--version")
        lines = out.decode().splitlines()
        self.assertEqual((code, lines[0], len(lines)), (0, "tarn 1.51", 5))
        self.assertTrue(lines[1].startswith("Copyright (C) 2026") and "License MIT" in lines[2], lines)
        code, _, err = self.tarn("split", "x", "--frobnicate", env_lang="zh_CN.UTF-8")
        self.assertEqual(code, USAGE)
        self.assertIn("未知选项", err)
        code, _, err = self.tarn("split", "x", "--frobnicate", env_lang="de_DE.UTF-8")
        self.assertIn("unknown option", err)
        # The system's reason in the same language as the message around it (the test command makes the locale).
        code, _, err = self.tarn("split", "nonexist.bin", env_lang="zh_CN.UTF-8")
        self.assertEqual(code, MISSING)
        self.assertIn("无法打开 'nonexist.bin': 没有那个文件或目录", err)
        self.assertIn("No such file or directory", self.tarn("split", "nonexist.bin")[2])
        # LANGUAGE ranks first, as for programs translated with gettext, except under the C locale.
        for lang, languages, chinese in (("en_US.UTF-8", "zh_CN:en", True), ("zh_CN.UTF-8", "en_US:zh", False),
                                         ("C.UTF-8", "zh_CN", False)):
            err = self.tarn("split", "x", "--frobnicate", env_lang=lang, languages=languages)[2]
            self.assertEqual("未知选项" in err, chinese, (lang, languages))
        # A mistyped command is told so (a word naming a file keeps the switches: the safety suite runs that).
        code, _, err = self.tarn("splt", "x.bin")
        self.assertEqual(code, USAGE)
        self.assertIn("unknown command 'splt'", err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
