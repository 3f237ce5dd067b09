"""Sets cut by tarn's commands joined by Tarn.exe under Wine and the other way round."""
import json
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from commandcase import WINDOWS, WINE, LAUNCHER, MISSING, OLD_TIME, CommandCase  # noqa: E402
import tarnlib  # noqa: E402


@unittest.skipUnless(WINDOWS and WINE, "needs Tarn.exe under Wine")
class WithTarnExe(CommandCase):
    """Sets cut by the commands are joined by Tarn.exe, and the other way round. Tarn.exe runs without a display:
    a message it would show (a missing piece is reported even with /q) cannot wait for a user there."""

    def setUp(self):
        super().setUp()
        self.windows = tarnlib.Runner(WINDOWS, WINE, LAUNCHER)

    def tearDown(self):
        self.windows.close()
        super().tearDown()

    def test_both_ways(self):
        _, data = self.source("cross.bin", 90000)
        old = 1300000000 * 10**9
        os.utime(self.at("cross.bin"), ns=(old, old))
        code, _, err = self.tarn("split", "cross.bin", "-s", "20K", "-d", "hello", "-q")
        self.assertEqual(code, 0, err)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("cross", "cros0002.trn")),
                                     "/o=" + self.windows.path(self.at("w")), "/q", headless=True)
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("w", "cross.bin")), data)
        self.assertEqual(os.stat(self.at("w", "cross.bin")).st_mtime_ns, old)

        code, err = self.windows.run("/i=" + self.windows.path(self.at("cross.bin")),
                                     "/o=" + self.windows.path(self.at("wp")), "/s=30", "/q", headless=True)
        self.assertEqual(code, 0, err)
        # A Chinese name, cut here and joined by Tarn.exe in code page 936, and the other way round.
        _, chinese = self.source("报告.doc", 30000)
        code, _, err = self.tarn("split", "报告.doc", "-s", "10K", "-q")
        self.assertEqual(code, 0, err)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("报告", "报告0001.trn")),
                                     "/o=" + self.windows.path(self.at("wc")), "/q", headless=True)
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("wc", "报告.doc")), chinese)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("报告.doc")),
                                     "/o=" + self.windows.path(self.at("wcp")), "/s=10", "/q", headless=True)
        self.assertEqual(code, 0, err)
        code, _, err = self.tarn("join", self.at("wcp", "报告0002.trn"), "-o", "nc")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("nc", "报告.doc")), chinese)

        code, out, err = self.tarn("verify", self.at("wp", "cros0001.trn"))
        self.assertEqual(code, 0, (out, err))
        code, _, err = self.tarn("join", self.at("wp", "cros0003.trn"), "-o", "n")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("n", "cross.bin")), data)
        self.assertEqual(os.stat(self.at("n", "cross.bin")).st_mtime_ns, old)

    def test_names_code_page_936_lacks(self):
        # Tarn.exe takes every name whole: it reads the UTF-8 copy a set of such a name carries, and cuts such a
        # name into the same bytes as tarn split, names included, whichever program joins it. Every other name
        # goes through a Western Windows (code page 1252, English) and back through a Chinese one.
        names = ["한국어 보고서.doc", "café.txt", "naïve.txt", "ü€😀.bin", "普通中文.doc"]
        for number, name in enumerate(names):
            joining, cutting = ("en_US.UTF-8", None) if number % 2 else (None, "en_US.UTF-8")
            with self.subTest(name=name):
                _, data = self.source(name, 25000)
                os.utime(self.at(name), ns=(OLD_TIME, OLD_TIME))
                code, _, err = self.tarn("split", name, "-s", "10K", "-o", "s%d" % number, "-q")
                self.assertEqual(code, 0, err)
                first = next(n for n in self.listing("s%d" % number) if "0001" in n)
                code, err = self.windows.run("/i=" + self.windows.path(self.at("s%d" % number, first)),
                                             "/o=" + self.windows.path(self.at("w%d" % number)), "/q", headless=True,
                                             locale=joining)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.listing("w%d" % number), [name])
                self.assertEqual(tarnlib.read_file(self.at("w%d" % number, name)), data)
                os.utime(self.at(name), ns=(OLD_TIME, OLD_TIME))  # the split read it: the same times again
                code, err = self.windows.run("/i=" + self.windows.path(self.at(name)),
                                             "/o=" + self.windows.path(self.at("c%d" % number)), "/s=10", "/q",
                                             headless=True, locale=cutting)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.listing("c%d" % number), self.listing("s%d" % number))
                for piece in self.listing("s%d" % number):
                    mine, theirs = (bytearray(tarnlib.read_file(self.at(f, piece))) for f in ("s%d" % number,
                                                                                              "c%d" % number))
                    mine[626:634] = theirs[626:634] = bytes(8)  # the creation time, which Linux does not report
                    self.assertEqual(mine, theirs, piece)
                code, _, err = self.tarn("join", self.at("c%d" % number, first), "-o", "n%d" % number)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.listing("n%d" % number), [name])

    def test_script_sets_both_ways(self):
        # cmd reads UnTarn.bat in code page 936: the pieces' names too must be written in it.
        _, chinese = self.source("报告.doc", 30000)
        code, _, err = self.tarn("split", "报告.doc", "-s", "10K", "--script", "-q")
        self.assertEqual(code, 0, err)
        code, out, _ = tarnlib.captured([WINE, "cmd", "/c", "UnTarn.bat"], cwd=self.at("报告"),
                                        stdin=subprocess.DEVNULL, timeout=120,
                                        env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
        self.assertEqual(code, 0, out)
        self.assertEqual(tarnlib.read_file(self.at("报告", "报告.doc")), chinese)
        # Cut by Tarn.exe as a script set, its script names the file and counts the pieces for a join here.
        self.windows.write_settings(method=1)
        code, err = self.windows.run("/i=" + self.windows.path(self.at("报告.doc")),
                                     "/o=" + self.windows.path(self.at("ws")), "/s=10", "/q", headless=True)
        self.assertEqual(code, 0, err)
        os.remove(self.at("ws", "报告0003.trn"))
        code, _, err = self.tarn("join", self.at("ws", "报告0001.trn"), "-o", "j", "-y")
        self.assertEqual(code, MISSING, err)
        code, out, _ = self.tarn("info", self.at("ws", "报告0001.trn"), "--json")
        self.assertEqual((json.loads(out)["name"], json.loads(out)["missing"]), ("报告.doc", [3]))

    def test_scripts_rebuild_any_name_and_run_nothing_else(self):
        # cmd splits a bare word at & and +, expands %, and would run what a quote in a name lets out.
        names = {"R&D plan.doc": "R&D plan.doc", "a+b c.txt": "a+b c.txt", "100% (final).doc": "100% (final).doc",
                 'x" & echo PWNED & rem ".txt': "x_ & echo PWNED & rem _.txt"}
        for number, (name, rebuilt) in enumerate(names.items()):
            with self.subTest(name=name):
                _, data = self.source(name, 25000)
                folder = "s%d" % number
                code, _, err = self.tarn("split", name, "-s", "10K", "--script", "-o", folder, "-q")
                self.assertEqual(code, 0, err)
                if number == 0:  # the same set from Tarn.exe
                    self.windows.write_settings(method=1)
                    code, err = self.windows.run("/i=" + self.windows.path(self.at(name)),
                                                 "/o=" + self.windows.path(self.at("w0")), "/s=10", "/q",
                                                 headless=True)
                    self.assertEqual(code, 0, err)
                    self.assertEqual(sorted(os.listdir(self.at("w0"))), sorted(os.listdir(self.at(folder))))
                _, out, err = tarnlib.captured([WINE, "cmd", "/c", "UnTarn.bat"], cwd=self.at(folder),
                                               stdin=subprocess.DEVNULL, timeout=120,
                                               env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
                # cmd echoes the command it runs; a command let out of the quotes would print its word alone.
                said = [line.strip() for line in (out + err).splitlines()]
                self.assertNotIn(b"PWNED", said)
                self.assertEqual(tarnlib.read_file(self.at(folder, rebuilt)), data, out)
                self.assertEqual(len(os.listdir(self.at(folder))), 5, "three pieces, the script, the file")


if __name__ == "__main__":
    unittest.main(verbosity=2)
