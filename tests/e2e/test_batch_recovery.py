"""Recovery volumes through the switches (/r=), against Tarn.exe under Wine or the native tarn: volumes the standard
client accepts, a join that rebuilds lost and damaged pieces, too much damage refused with its own exit code, and
sets that cross between Tarn.exe and the commands."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402

PROGRAM = os.environ["TARN_PROGRAM"]
WINE = os.environ.get("TARN_WINE") or None
LAUNCHER = os.environ.get("TARN_LAUNCHER") or None
COMMANDS = os.environ.get("TARN_OTHER_PROGRAM") or None  # the native tarn, for sets that cross over
UNREPAIRABLE = 7
REFUSED = 99


def tree(folder):
    """Every file under folder with its bytes."""
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            found[os.path.relpath(os.path.join(root, name), folder)] = tarnlib.read_file(os.path.join(root, name))
    return found


@unittest.skipUnless(shutil.which("par2"), "needs the par2 client")
class RecoveryThroughSwitches(unittest.TestCase):
    def setUp(self):
        self.tarn = tarnlib.Runner(PROGRAM, WINE, LAUNCHER)
        self.work = tempfile.mkdtemp(prefix="tarn-volumes-")
        self.rng = random.Random(29)

    def tearDown(self):
        self.tarn.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def at(self, *parts):
        return os.path.join(self.work, *parts)

    def source(self, name, size):
        data = self.rng.randbytes(size)
        tarnlib.write_file(self.at(name), data)
        return self.at(name), data

    def run_tarn(self, *args):
        return self.tarn.run(*args, headless=True, timeout=600)

    def par2(self, verb, folder, index):
        return subprocess.run(["par2", verb, index], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=300)

    def join(self, piece, out):
        return self.run_tarn("/i=" + self.tarn.path(piece), "/o=" + self.tarn.path(out), "/q")

    def test_volumes_written_accepted_and_used_by_the_join(self):
        # (name, size, KiB a piece, switch, pieces, volumes, script set)
        cases = [("report.doc", 2500000, 300, "/r=3", 9, 3, False),
                 ("plan.txt", 700000, 100, "/r=30%", 7, 3, True)]  # 30% of 7, rounded up; UnTarn.bat protected
        for name, size, kib, switch, pieces, blocks, script in cases:
            with self.subTest(name=name):
                self.tarn.write_settings(method=1 if script else 0)
                path, data = self.source(name, size)
                out = self.at(name + "-set")
                code, err = self.run_tarn("/i=" + self.tarn.path(path), "/o=" + self.tarn.path(out),
                                          "/s=%d" % kib, switch, "/q")
                self.assertEqual(code, 0, err)
                files = sorted(os.listdir(out))
                volumes = [n for n in files if n.endswith(".par2")]
                self.assertEqual(volumes, [name + ".par2"] + [name + ".vol%02d+01.par2" % e for e in range(blocks)])
                self.assertEqual(len([n for n in files if n.endswith(".trn")]), pieces)
                self.assertEqual("UnTarn.bat" in files, script)
                done = self.par2("verify", out, name + ".par2")
                self.assertEqual(done.returncode, 0, done.stdout)
                if script:
                    continue  # a script set is joined by its script; the volumes were the point
                stem = name[:4]
                # The first piece's header damaged, in its name or its magic: the set's record comes from the
                # volumes, and the file back under its own name.
                whole = tree(out)
                for at in (320, 0):
                    damaged = bytearray(whole[stem + "0001.trn"])
                    damaged[at] ^= 0x01
                    tarnlib.write_file(os.path.join(out, stem + "0001.trn"), bytes(damaged))
                    back = self.at(name + "-header-%d" % at)
                    code, err = self.join(os.path.join(out, stem + "0002.trn"), back)
                    self.assertEqual(code, 0, err)
                    self.assertEqual(sorted(os.listdir(back)), [name])
                    self.assertEqual(tarnlib.read_file(os.path.join(back, name)), data)
                tarnlib.write_file(os.path.join(out, stem + "0001.trn"), whole[stem + "0001.trn"])
                # The first piece and another lost, a third damaged: as many as there are volumes.
                os.remove(os.path.join(out, stem + "0001.trn"))
                os.remove(os.path.join(out, stem + "0005.trn"))
                damaged = bytearray(tarnlib.read_file(os.path.join(out, stem + "0008.trn")))
                damaged[1000] ^= 0x01
                tarnlib.write_file(os.path.join(out, stem + "0008.trn"), bytes(damaged))
                before = tree(out)
                back = self.at(name + "-back")
                code, err = self.join(os.path.join(out, stem + "0003.trn"), back)
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(os.path.join(back, name)), data)
                self.assertEqual(sorted(os.listdir(back)), [name])  # nothing of the repair left beside it
                self.assertEqual(tree(out), before)  # the set's folder is only read
                # One more lost than the volumes rebuild: refused with the numbers' exit code, nothing written.
                os.remove(os.path.join(out, stem + "0002.trn"))
                for first in ("0003", "0001"):  # from a piece there, and from the lost first piece's name
                    again = self.at(name + "-again-" + first)
                    code, err = self.join(os.path.join(out, stem + first + ".trn"), again)
                    self.assertEqual(code, UNREPAIRABLE, err)
                    self.assertFalse(os.path.exists(again))
                self.assertEqual(len(tree(out)), len(before) - 1)

    def test_switch_values_out_of_range_are_refused(self):
        path, _ = self.source("lone.bin", 50000)
        for value in ("abc", "-1", "32769", "0%", "101%", "1.5", "", "3%%"):
            with self.subTest(value=value):
                out = self.at("refused")
                code, err = self.run_tarn("/i=" + self.tarn.path(path), "/o=" + self.tarn.path(out), "/s=10",
                                          "/r=" + value, "/q")
                self.assertEqual(code, REFUSED, err)
                self.assertFalse(os.path.exists(out))
        out = self.at("none")
        code, err = self.run_tarn("/i=" + self.tarn.path(path), "/o=" + self.tarn.path(out), "/s=10", "/r=0", "/q")
        self.assertEqual(code, 0, err)
        self.assertEqual([n for n in os.listdir(out) if n.endswith(".par2")], [])

    def test_a_new_set_goes_without_the_volumes_an_old_one_left(self):
        path, _ = self.source("again.bin", 400000)
        out = self.at("again")
        for switch, left in (("/r=3", 4), ("/r=1", 2), ("/r=0", 0)):
            with self.subTest(switch=switch):
                for n in os.listdir(out) if os.path.exists(out) else []:
                    if n.endswith(".trn"):
                        os.remove(os.path.join(out, n))  # the pieces gone (mailed), their volumes still there
                code, err = self.run_tarn("/i=" + self.tarn.path(path), "/o=" + self.tarn.path(out), "/s=100",
                                          switch, "/q")
                self.assertEqual(code, 0, err)
                volumes = sorted(n for n in os.listdir(out) if n.endswith(".par2"))
                self.assertEqual(len(volumes), left, volumes)
                if left:
                    self.assertEqual(self.par2("verify", out, "again.bin.par2").returncode, 0)

    @unittest.skipUnless(COMMANDS, "needs the native tarn")
    def test_sets_cross_between_the_switches_and_the_commands(self):
        path, data = self.source("cross.bin", 900000)
        commands = tarnlib.Runner(COMMANDS)
        try:
            # Cut by tarn split with volumes, two pieces lost: rebuilt by the switches' join.
            made = self.at("by-commands")
            code, err = commands.run("split", path, "-n", "6", "--recovery", "2", "-o", made, "-q")
            self.assertEqual(code, 0, err)
            for n in ("cros0002.trn", "cros0006.trn"):
                os.remove(os.path.join(made, n))
            back = self.at("joined")
            code, err = self.join(os.path.join(made, "cros0001.trn"), back)
            self.assertEqual(code, 0, err)
            self.assertEqual(tarnlib.read_file(os.path.join(back, "cross.bin")), data)
            # Cut by the switches with volumes, a piece lost and one damaged: put back by tarn repair.
            cut = self.at("by-switches")
            code, err = self.run_tarn("/i=" + self.tarn.path(path), "/o=" + self.tarn.path(cut), "/s=150", "/r=2",
                                      "/q")
            self.assertEqual(code, 0, err)
            whole = tree(cut)
            os.remove(os.path.join(cut, "cros0004.trn"))
            damaged = bytearray(whole["cros0001.trn"])
            damaged[700] ^= 0x80  # just past the header
            tarnlib.write_file(os.path.join(cut, "cros0001.trn"), bytes(damaged))
            code, err = commands.run("repair", os.path.join(cut, "cros0002.trn"), "-q")
            self.assertEqual(code, 0, err)
            repaired = tree(cut)
            self.assertEqual(repaired.pop("cros0001.trn.1"), bytes(damaged))  # what it replaced, kept
            self.assertEqual(repaired, whole)
        finally:
            commands.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
