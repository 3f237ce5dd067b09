"""Hostile files on a POSIX file system: links, FIFOs, control characters, old times and case-folded names
never lose what the user had, and a failure never exits 0 (the native tarn)."""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402
from test_batch import NATIVE, read_to_the_end, run_at_terminal, wait_for_output  # noqa: E402
from test_safety import FAILED, SafetyCase  # noqa: E402


@unittest.skipUnless(NATIVE, "POSIX file-system behaviour of the native tarn")
class PosixFileTest(SafetyCase):
    def split_and_pieces(self, name, size=5000):
        src = self.source(name, size)
        pieces = os.path.join(self.work, "pieces")
        code, err = self.run_tarn("/i=" + src, "/o=" + pieces, "/q")
        self.assertEqual(code, 0, err)
        return src, pieces

    def test_a_dangling_symlink_at_the_rebuilt_name_is_asked_about_and_replaced_not_followed(self):
        src, pieces = self.split_and_pieces("data.bin")
        dest = os.path.join(self.work, "dest")
        os.makedirs(dest)
        target = os.path.join(self.work, "elsewhere.bin")
        link = os.path.join(dest, "data.bin")
        os.symlink(target, link)
        code, err = self.run_tarn("/i=" + os.path.join(pieces, "data0001.trn"), "/o=" + dest, "/q")
        self.assertEqual(code, FAILED, err)
        self.assertIn("覆盖它吗?", err)
        self.assertTrue(os.path.islink(link))
        self.assertFalse(os.path.exists(target))
        code, seen = run_at_terminal([self.tarn.copy, "/i=" + os.path.join(pieces, "data0001.trn"), "/o=" + dest,
                                      "/q"], b"c\n")
        self.assertEqual(code, 0, seen)
        self.assertFalse(os.path.islink(link))
        self.assertEqual(tarnlib.read_file(link), tarnlib.read_file(src))
        self.assertFalse(os.path.exists(target))

    def test_a_symlink_at_a_piece_name_never_writes_through_to_its_target(self):
        src = self.source("keep.bin", 50000)
        out = os.path.join(self.work, "out")
        os.makedirs(out)
        victim = os.path.join(self.work, "victim.txt")
        tarnlib.write_file(victim, b"precious")
        os.symlink(victim, os.path.join(out, "keep0002.trn"))
        code, seen = run_at_terminal([self.tarn.copy, "/i=" + src, "/o=" + out, "/s=20", "/q"], b"c\n")
        self.assertEqual(code, 0, seen)
        self.assertEqual(tarnlib.read_file(victim), b"precious")
        self.assertFalse(os.path.islink(os.path.join(out, "keep0002.trn")))
        data = os.path.getsize(os.path.join(out, "keep0001.trn")) - 652
        self.assertEqual(os.path.getsize(os.path.join(out, "keep0002.trn")), 8 + data)

    def test_control_characters_in_a_header_reach_neither_the_terminal_nor_a_name(self):
        name = b"x\x1b]0;owned\x07\nfake: line\r\xc2\x9b.bin"
        data = self.rng.randbytes(3000)
        header = tarnlib.make_header(name, len(data), 1, tarnlib.checksum_of(data), flag=1,
                                     description=b"first\r\nsecond\x1b[2J")
        piece = os.path.join(self.work, "evil0001.trn")
        tarnlib.write_file(piece, header + data)
        # On disk, and so in info, every control becomes '_', U+009B (an escape to some terminals) as well.
        safe = "x_]0;owned__fake: line__.bin"
        info = subprocess.run([self.tarn.copy, "info", piece], capture_output=True)
        self.assertEqual(info.returncode, 0, info.stderr)
        shown = info.stdout.decode()
        self.assertNotRegex(shown, "[\x00-\x08\x0b-\x1f\x7f\x80-\x9f]", "no control character reaches stdout")
        self.assertIn("name:          %s\n" % safe, shown)
        self.assertIn("first\\r\\nsecond\\x1b[2J\n", shown)
        self.assertEqual(len(shown.splitlines()), 12, "one line a field: the name fakes none")
        d1, d2 = os.path.join(self.work, "d1"), os.path.join(self.work, "d2")
        # The subcommand and the compatible switches both show the description and rebuild the file.
        for dest, command in ((d1, ["join", piece, "-o", d1]), (d2, ["/i=" + piece, "/o=" + d2])):
            code, err = self.run_tarn(*command)
            self.assertEqual(code, 0, err)
            self.assertNotRegex(err, "[\x00-\x08\x0b-\x1f\x7f]", err)
            self.assertIn("second", err, "the description is still shown")
            self.assertEqual(os.listdir(dest), [safe])
            self.assertEqual(tarnlib.read_file(os.path.join(dest, safe)), data)

    def test_a_fifo_at_a_piece_or_the_source_is_never_waited_on(self):
        # Nobody writes to these FIFOs: opening one for reading would wait for good.
        src = self.source("f.bin", 50000)
        pieces = os.path.join(self.work, "pieces")
        self.assertEqual(self.run_tarn("/i=" + src, "/o=" + pieces, "/s=20", "/q")[0], 0)
        os.rename(os.path.join(pieces, "f.bi0002.trn"), os.path.join(self.work, "kept"))
        os.mkfifo(os.path.join(pieces, "f.bi0002.trn"))
        code, err = self.run_tarn("/i=" + os.path.join(pieces, "f.bi0001.trn"), "/o=" + self.work + "/j", "/q",
                                  timeout=30)
        self.assertEqual(code, FAILED, err)
        os.mkfifo(os.path.join(self.work, "stream.bin"))
        code, err = self.run_tarn("/i=" + os.path.join(self.work, "stream.bin"), "/o=" + self.work + "/s", "/q",
                                  timeout=30)
        self.assertEqual(code, FAILED, err)
        self.assertFalse(os.path.exists(os.path.join(self.work, "s")))

    def test_all_three_stored_times_survive_the_checksum_pass(self):
        src = self.source("t.bin", 5000)
        access, write = 1300000000 * 10**9, 1400000000 * 10**9
        os.utime(src, ns=(access, write))
        pieces = os.path.join(self.work, "pieces")
        self.assertEqual(self.run_tarn("/i=" + src, "/o=" + pieces, "/q")[0], 0)
        header = tarnlib.read_header(os.path.join(pieces, "t.bi0001.trn"))
        self.assertEqual(header["atime"], tarnlib.filetime_of_ns(access))
        dest = os.path.join(self.work, "dest")
        code, err = self.run_tarn("/i=" + os.path.join(pieces, "t.bi0001.trn"), "/o=" + dest, "/q")
        self.assertEqual(code, 0, err)
        st = os.stat(os.path.join(dest, "t.bin"))
        self.assertEqual((st.st_atime_ns, st.st_mtime_ns), (access, write))

    def test_times_of_zero_and_before_1970_give_sensible_dates(self):
        payload = b"old times"
        cases = [("zero.txt", 0), ("y1900.txt", tarnlib.filetime_of_ns(-2208988800 * 10**9)),
                 ("y1601.txt", 1)]
        for name, filetime in cases:
            folder = os.path.join(self.work, name + "-set")
            os.makedirs(folder)
            head = tarnlib.make_header(name.encode(), len(payload), 1, tarnlib.checksum_of(payload), mtime=filetime)
            tarnlib.write_file(os.path.join(folder, "xxxx0001.trn"), head + payload)
            dest = os.path.join(self.work, name + "-dest")
            started = time.time()
            code, err = self.run_tarn("/i=" + os.path.join(folder, "xxxx0001.trn"), "/o=" + dest, "/q")
            self.assertEqual(code, 0, err)
            mtime = os.stat(os.path.join(dest, name)).st_mtime
            if filetime == 0:
                self.assertGreaterEqual(mtime, started - 5, "no recorded time: the file keeps its own")
            else:
                self.assertEqual(mtime, 0, "before 1970 becomes 1970-01-01")

    def test_names_legal_on_linux_come_back_unchanged(self):
        for i, name in enumerate(["12:30 notes.txt", "what?*<>|.txt", 'say "hi"', "trailing. ", "CON", "tab\there"]):
            src = self.source(name, 3000)
            pieces = os.path.join(self.work, "p%d" % i)
            code, err = self.run_tarn("/i=" + src, "/o=" + pieces, "/q")
            self.assertEqual(code, 0, (name, err))
            self.assertEqual(tarnlib.read_header(os.path.join(pieces, os.listdir(pieces)[0]))["name"], name.encode())
            dest = os.path.join(self.work, "d%d" % i)
            code, err = self.run_tarn("/i=" + os.path.join(pieces, os.listdir(pieces)[0]), "/o=" + dest, "/q")
            self.assertEqual(code, 0, (name, err))
            self.assertEqual(os.listdir(dest), [name])
            self.assertEqual(tarnlib.read_file(os.path.join(dest, name)), tarnlib.read_file(src))

    def test_upper_case_sets_from_fat_media_join(self):
        src = self.source("s.bin", 50000)
        pieces = os.path.join(self.work, "pieces")
        self.assertEqual(self.run_tarn("/i=" + src, "/o=" + pieces, "/s=20", "/q")[0], 0)
        for name in os.listdir(pieces):
            os.rename(os.path.join(pieces, name), os.path.join(pieces, name.upper()))
        self.assertEqual(sorted(os.listdir(pieces)), ["S.BI0001.TRN", "S.BI0002.TRN", "S.BI0003.TRN"])
        os.rename(os.path.join(pieces, "S.BI0003.TRN"), os.path.join(pieces, "S.BI0003.Trn"))
        dest = os.path.join(self.work, "dest")
        code, err = self.run_tarn("/i=" + os.path.join(pieces, "S.BI0002.TRN"), "/o=" + dest, "/q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(os.path.join(dest, "s.bin")), tarnlib.read_file(src))

    def test_each_argument_is_one_token(self):
        # A quote or a tab in a name is the name's own; "x\"y\"z.bin" must never pick xyz.bin.
        decoy = self.source("xyz.bin", 3000)
        decoy_data = tarnlib.read_file(decoy)
        for i, name in enumerate(['x"y"z.bin', "a\tb.bin", '"quoted".bin']):
            src = self.source(name, 4000 + i)
            out = os.path.join(self.work, "o%d" % i)
            code, err = self.run_tarn("/i=" + src, "/o=" + out, "/q")
            self.assertEqual(code, 0, (name, err))
            header = tarnlib.read_header(os.path.join(out, os.listdir(out)[0]))
            self.assertEqual((header["name"], header["size"]), (name.encode(), 4000 + i))
        self.assertEqual(tarnlib.read_file(decoy), decoy_data)

    def test_failures_never_exit_0(self):
        code, err = self.run_tarn("/i=" + os.path.join(self.work, "missing.bin"), "/q")
        self.assertEqual(code, FAILED, err)
        code, err = self.run_tarn("/i=" + os.path.join(self.work, "missing.bin"))
        self.assertEqual(code, FAILED, err)
        self.assertIn("missing.bin", err)
        code, err = self.run_tarn("/i=" + os.path.join(self.work, "gone0003.trn"))
        self.assertEqual(code, FAILED, err)
        self.assertIn("找不到第一个文件!", err)
        tarnlib.write_file(os.path.join(self.work, "nohd0001.trn"), b"no header here")
        code, err = self.run_tarn("/i=" + os.path.join(self.work, "nohd0001.trn"))
        self.assertEqual(code, FAILED, err)
        self.assertIn("这些文件没有Tarn头部.", err)
        code, err = self.run_tarn("/o=" + self.work)
        self.assertEqual(code, FAILED, err)
        code, err = self.run_tarn()
        self.assertEqual(code, 0, "no arguments at all: the usage, nothing failed")
        self.assertIn("/i=", err)
        if NATIVE:
            # A word that names a file stays with the switches (no job: 99), never "unknown command".
            tarnlib.write_file(os.path.join(self.work, "data"), b"x")
            code, err = self.run_tarn("data", cwd=self.work)
            self.assertEqual(code, FAILED, err)
            self.assertNotIn("unknown command", err)

    def test_no_progress_over_a_waiting_question(self):
        src = self.source("q.bin", 3000)
        out = os.path.join(self.work, "out")
        self.assertEqual(self.run_tarn("/i=" + src, "/o=" + out, "/q")[0], 0)
        import pty
        pid, master = pty.fork()
        if pid == 0:
            os.execv(self.tarn.copy, [self.tarn.copy, "/i=" + src, "/o=" + out])
        try:
            seen = wait_for_output(master, "取消 (x)?")
            time.sleep(2.5)  # the progress poll runs once a second
            os.write(master, b"x\n")
            after_prompt = seen.split("取消 (x)?")[-1] + read_to_the_end(master)
            self.assertNotIn("%", after_prompt)
        finally:
            _, status = os.waitpid(pid, 0)
            os.close(master)
        self.assertEqual(os.waitstatus_to_exitcode(status), FAILED)


if __name__ == "__main__":
    unittest.main(verbosity=2)
