"""End-to-end cases of stored names: one rule for what a header's name becomes on disk, which info, its JSON, the
join's messages and the switches' join all give, and the join's note when the name had to change."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402

PROGRAM = os.path.abspath(os.environ["TARN_PROGRAM"])

# The stored bytes, the name on disk, and the reason the join gives for a change (None: no change).
CASES = [
    (b"csi\xc2\x9b.bin", "csi_.bin", "control characters and bytes that are no text become '_'"),
    (b"\xff\xfeab.txt", "__ab.txt", "control characters and bytes that are no text become '_'"),
    (b"e\x1b[2J.txt", "e_[2J.txt", "control characters and bytes that are no text become '_'"),
    (b"dir/sub/x.txt", "x.txt", "a file name takes no folders"),
    (b"..\\win.txt", "win.txt", "a file name takes no folders"),
    (b"..", "Tarn.out", "'.', '..' and an empty name name no file"),
    (b"", "Tarn.out", "'.', '..' and an empty name name no file"),
    (b"a\tb.txt", "a\tb.txt", None),
    ("报告.doc".encode("gbk"), "报告.doc", None),
    ("naïve.txt".encode(), "naïve.txt", None),
]


def environment(lang="C.UTF-8"):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
    env["LANG"] = lang
    return env


class StoredNames(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tarn-names-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def tarn(self, *args, program=PROGRAM, lang="C.UTF-8"):
        done = subprocess.run([program, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=self.work,
                              env=environment(lang), stdin=subprocess.DEVNULL, timeout=60)
        return done.returncode, done.stdout.decode("utf-8", "strict"), done.stderr.decode("utf-8", "strict")

    def piece(self, number, stored):
        folder = os.path.join(self.work, "set%d" % number)
        os.makedirs(folder)
        payload = b"payload %d" % number
        path = os.path.join(folder, "xxxx0001.trn")
        tarnlib.write_file(path, tarnlib.make_header(stored, len(payload), 1, tarnlib.checksum_of(payload)) + payload)
        return path, payload

    def test_disk_info_json_and_join_give_one_name(self):
        for number, (stored, disk, why) in enumerate(CASES):
            with self.subTest(stored=stored):
                path, payload = self.piece(number, stored)
                out = os.path.join(self.work, "j%d" % number)
                code, _, err = self.tarn("join", path, "-o", out)
                self.assertEqual(code, 0, err)
                self.assertEqual(os.listdir(out), [disk])
                self.assertEqual(tarnlib.read_file(os.path.join(out, disk)), payload)
                # A terminal shows a tab as \t, the one control a name keeps; JSON gives the name itself.
                shown = disk.replace("\t", "\\t")
                self.assertIn("tarn: %s: rebuilt from 1 piece(s)" % shown, err)
                code, text, _ = self.tarn("info", path)
                self.assertEqual(code, 0)
                self.assertIn("name:          %s\n" % shown, text)
                code, line, _ = self.tarn("info", "--json", path)
                self.assertEqual(code, 0)
                self.assertEqual(json.loads(line)["name"], disk)
                if why is None:
                    self.assertNotIn("is written as", err)
                else:
                    self.assertIn("is written as '%s': %s" % (shown, why), err)

    def test_the_switches_join_writes_the_same_name(self):
        runner = tarnlib.Runner(PROGRAM)
        self.addCleanup(runner.close)
        runner.write_settings()
        for number, (stored, disk, _) in enumerate(CASES):
            with self.subTest(stored=stored):
                path, payload = self.piece(number, stored)
                out = os.path.join(self.work, "s%d" % number)
                code, _, err = self.tarn("/i=" + path, "/o=" + out, "/q", program=runner.copy)
                self.assertEqual(code, 0, err)
                self.assertEqual(os.listdir(out), [disk])
                self.assertEqual(tarnlib.read_file(os.path.join(out, disk)), payload)

    def test_the_note_on_a_changed_name_is_in_the_users_language_and_shows_no_raw_byte(self):
        path, _ = self.piece(0, b"\xff\xfe/x\xc2\x9b.txt")
        code, _, err = self.tarn("join", path, "-o", "zh", lang="zh_CN.UTF-8")
        self.assertEqual(code, 0, err)
        self.assertIn("保存的文件名 '\\xff\\xfe/x\\u009b.txt' 写为 'x_.txt': 文件名不含文件夹; 控制字符和不成文字的字节变为 '_'",
                      err)
        code, _, err = self.tarn("join", path, "-o", "quiet", "-q")
        self.assertEqual((code, err), (0, ""))


if __name__ == "__main__":
    unittest.main(verbosity=2)
