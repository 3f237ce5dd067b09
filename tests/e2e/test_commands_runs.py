"""End-to-end runs of tarn's split and join side by side, forced, interrupted and short of disk."""
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from commandcase import PROGRAM, CHECKSUM, MISSING, UNWRITABLE, DISK_FULL, CommandCase  # noqa: E402
import tarnlib  # noqa: E402


class SideBySideForcedAndStopped(CommandCase):
    def test_two_splits_side_by_side(self):
        self.source("a.bin", 3000000)
        self.source("b.bin", 3000000)
        runs = [subprocess.Popen([PROGRAM, "split", name, "-s", "100K", "-q"], cwd=self.work,
                                 stderr=subprocess.PIPE) for name in ("a.bin", "b.bin")]
        for run in runs:
            _, err = run.communicate(timeout=120)
            self.assertEqual(run.returncode, 0, err)
        for stem in ("a", "b"):
            self.assertEqual(len(self.listing(stem)), 30)
            self.assertEqual(self.tarn("verify", self.at(stem, stem + ".bi0001.trn"), "-q")[0], 0)

    def test_one_processor_and_two_make_the_same_set_and_file(self):
        # With two processors runs of pieces are cut and joined at once; held to one (taskset), the pieces go in
        # order and the kernel copies where no byte changes. Either way the same bytes.
        _, data = self.source("two.bin", 3000001)
        one = ["taskset", "-c", "0"]
        for extra in ([], ["--no-checksum"], ["--key", "pw"]):
            for label, prefix in (("one", one), ("all", [])):
                shutil.rmtree(self.at("set-" + label), ignore_errors=True)
                code, _, err = self.tarn("split", "two.bin", "-s", "64K", "-o", "set-" + label, "-q", *extra,
                                         prefix=prefix)
                self.assertEqual(code, 0, err)
            names = self.listing("set-one")
            self.assertEqual(len(names), 47)  # 64 KiB files, the first with its header: 64,884 bytes of data
            self.assertEqual(names, self.listing("set-all"))
            for name in names:
                a, b = tarnlib.read_file(self.at("set-one", name)), tarnlib.read_file(self.at("set-all", name))
                if name == names[0]:  # the header's times are those of the source when each split began
                    a, b = a[652:], b[652:]
                self.assertEqual(a, b, (extra, name))
            heads = [tarnlib.read_header(self.at(folder, names[0])) for folder in ("set-one", "set-all")]
            for field in ("name", "size", "count", "checksum"):
                self.assertEqual(heads[0][field], heads[1][field], field)
            key = extra if extra[:1] == ["--key"] else []
            for label, prefix in (("one", one), ("all", [])):
                shutil.rmtree(self.at("j"), ignore_errors=True)
                code, _, err = self.tarn("join", self.at("set-" + label, names[0]), "-o", "j", "-q", *key,
                                         prefix=one if prefix == [] else [])
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(self.at("j", "two.bin")), data, (extra, label))
                self.assertEqual(self.tarn("verify", self.at("set-" + label, names[5]), "-q", *key, prefix=prefix)[0], 0)
            # A wrong key is found on either side.
            if key:
                for prefix in (one, []):
                    self.assertEqual(self.tarn("verify", self.at("set-all", names[0]), "-q", prefix=prefix)[0], CHECKSUM)

    def test_pieces_named_in_another_case_are_found(self):
        # Sets copied from Windows may come as SOUR0002.TRN, or with the case of a few names changed.
        _, data = self.source("case.bin", 300000)
        self.assertEqual(self.tarn("split", "case.bin", "-s", "64K", "-q")[0], 0)
        for name in self.listing("case"):
            os.rename(self.at("case", name), self.at("case", name.upper()))
        os.rename(self.at("case", "CASE0003.TRN"), self.at("case", "CASE0003.Trn"))
        self.assertEqual(self.tarn("verify", self.at("case", "CASE0002.TRN"), "-q")[0], 0)
        code, _, err = self.tarn("join", self.at("case", "CASE0001.TRN"), "-o", "j", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "case.bin")), data)
        os.remove(self.at("case", "CASE0004.TRN"))
        code, out, _ = self.tarn("verify", self.at("case", "CASE0001.TRN"))
        self.assertEqual(code, MISSING)
        self.assertIn(b"piece 4 is missing", out)

    def test_force_never_replaces_a_folder_and_keeps_the_old_set(self):
        self.source("f.bin", 500000)
        self.assertEqual(self.tarn("split", "f.bin", "-s", "100K", "-q")[0], 0)
        os.remove(self.at("f", "f.bi0004.trn"))
        os.mkdir(self.at("f", "f.bi0004.trn"))
        old = {n: tarnlib.read_file(self.at("f", n)) for n in self.listing("f") if n != "f.bi0004.trn"}
        self.source("f.bin", 500000, seed="another")
        code, _, err = self.tarn("split", "f.bin", "-s", "100K", "--force")
        self.assertEqual(code, UNWRITABLE, err)
        self.assertIn("f.bi0004.trn' is a folder", err)
        self.assertTrue(os.path.isdir(self.at("f", "f.bi0004.trn")))
        self.assertEqual({n: tarnlib.read_file(self.at("f", n)) for n in self.listing("f") if n != "f.bi0004.trn"}, old)
        # A folder where the join's file goes is named as one, with or without --force.
        self.source("g.bin", 1000)
        self.assertEqual(self.tarn("split", "g.bin", "-q")[0], 0)
        os.makedirs(self.at("j", "g.bin"))
        for extra in ([], ["--force"]):
            code, _, err = self.tarn("join", self.at("g", "g.bi0001.trn"), "-o", "j", *extra)
            self.assertEqual(code, UNWRITABLE, err)
            self.assertIn("'j/g.bin' is a folder", err)

    def interrupt_once(self, args, ready):
        """Runs tarn in short steps until ready() holds, then interrupts it there; returns its exit code."""
        def stopped(pid):
            with open("/proc/%d/stat" % pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] in "tTZ"
        run = subprocess.Popen([PROGRAM, *args], cwd=self.work)
        while run.poll() is None:
            os.kill(run.pid, signal.SIGSTOP)
            while not stopped(run.pid):
                time.sleep(0.0001)
            if ready():
                os.kill(run.pid, signal.SIGINT)
                os.kill(run.pid, signal.SIGCONT)
                break
            os.kill(run.pid, signal.SIGCONT)
            time.sleep(0.0005)
        return run.wait(timeout=60)

    def test_an_interrupted_join_leaves_no_file(self):
        # The rebuilt file has its full length from the start: one left behind would look whole.
        _, data = self.source("big.bin", 48 << 20)
        self.assertEqual(self.tarn("split", "big.bin", "-s", "1M", "-q", "--no-checksum")[0], 0)
        target = self.at("j", "k", "big.bin")
        join = ["join", self.at("big", "big.0001.trn"), "-o", "j/k", "-q"]
        removed = False
        for _ in range(5):
            shutil.rmtree(self.at("j"), ignore_errors=True)
            writing = lambda: os.path.isdir(self.at("j", "k")) and len(self.listing("j/k")) > 0
            if self.interrupt_once(join, writing) != -signal.SIGINT:
                continue  # it finished first
            if os.path.exists(target):  # stopped while it was finishing: it must be whole then
                self.assertEqual(tarnlib.read_file(target), data)
                continue
            removed = True
            break
        self.assertTrue(removed)
        self.assertFalse(os.path.exists(self.at("j")), "the folders made for the file go with it")
        os.makedirs(self.at("j", "k"))
        # Replacing a file: interrupted while the new one is being written, the old one is still there, alone.
        interrupted = False
        for _ in range(5):
            tarnlib.write_file(target, b"old")
            code = self.interrupt_once(join + ["--force"], lambda: len(self.listing("j/k")) > 1)
            if code == 0:
                self.assertEqual(self.listing("j/k"), ["big.bin"])
                continue
            self.assertEqual(code, -signal.SIGINT)
            if tarnlib.read_file(target) == data:  # stopped after the rename
                continue
            self.assertEqual(self.listing("j/k"), ["big.bin"])
            self.assertEqual(tarnlib.read_file(target), b"old")
            interrupted = True
            break
        self.assertTrue(interrupted)

    def test_an_interrupted_split_undoes_itself(self):
        self.source("big.bin", 48 << 20, seed=1)
        self.assertEqual(self.tarn("split", "big.bin", "-s", "1M", "-q")[0], 0)
        old = {name: tarnlib.read_file(self.at("big", name)) for name in self.listing("big")}
        self.source("big.bin", 48 << 20, seed=2)
        # With --force, stopped once the old pieces are set aside: they are all back, and nothing else is there.
        interrupted = False
        for _ in range(5):
            code = self.interrupt_once(["split", "big.bin", "-s", "1M", "-q", "--force"],
                                       lambda: any(n.startswith(".tarn-") for n in self.listing("big")))
            if code == 0:  # it finished first: start again from the old set
                for name, data in old.items():
                    tarnlib.write_file(self.at("big", name), data)
                continue
            self.assertEqual(code, -signal.SIGINT)
            self.assertEqual(self.listing("big"), sorted(old))
            for name, data in old.items():
                self.assertEqual(tarnlib.read_file(self.at("big", name)), data, name)
            interrupted = True
            break
        self.assertTrue(interrupted)
        # A new set stopped half way is removed with its folder.
        code = self.interrupt_once(["split", "big.bin", "-s", "1M", "-q", "-o", "fresh"],
                                   lambda: len(self.listing("fresh")) >= 2)
        self.assertIn(code, (0, -signal.SIGINT))
        if code != 0:
            self.assertFalse(os.path.exists(self.at("fresh")))
        # Standard input that has stopped coming: the stop does not wait for more.
        run = subprocess.Popen([PROGRAM, "split", "-", "--name", "s.bin", "-s", "1M", "-q", "-o", "stream"],
                               cwd=self.work, stdin=subprocess.PIPE)
        run.stdin.write(bytes(3 << 20))
        run.stdin.flush()
        deadline = time.time() + 30
        while len(self.listing("stream")) < 3 and time.time() < deadline:
            time.sleep(0.01)
        run.send_signal(signal.SIGINT)
        self.assertEqual(run.wait(timeout=10), -signal.SIGINT)
        run.stdin.close()
        self.assertFalse(os.path.exists(self.at("stream")))

    def test_force_replaces_only_once_the_new_files_are_whole(self):
        # A split or join that fails with --force leaves what it would have replaced as it was.
        self.source("w.bin", 800000)
        self.assertEqual(self.tarn("split", "w.bin", "-s", "100K", "-q", "--script")[0], 0)
        contents = lambda folder: {n: tarnlib.read_file(self.at(folder, n)) for n in self.listing(folder)}
        old = contents("w")
        _, data = self.source("w.bin", 800000, seed="another")
        code, _, err = self.tarn("split", "w.bin", "-s", "300K", "--force", "--script", limit_kib=250)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(contents("w"), old)  # nothing else left there either
        code, _, err = self.tarn("split", "-", "--name", "w.bin", "-s", "300K", "--force", stdin=data, limit_kib=250)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(contents("w"), old)
        os.makedirs(self.at("j"))
        tarnlib.write_file(self.at("j", "w.bin"), b"kept")
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "j", "--force", "-y", limit_kib=250)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(contents("j"), {"w.bin": b"kept"})
        # Done, the old files are gone and the new ones are in their place.
        code, _, err = self.tarn("split", "-", "--name", "w.bin", "-s", "300K", "--force", "-q", stdin=data)
        self.assertEqual(code, 0, err)
        # The old set's later pieces went with it, and so did its script, which would copy the new pieces
        # (headers and all) into a damaged file.
        self.assertEqual(self.listing("w"), ["w.bi%04d.trn" % i for i in range(1, 4)])
        # The new set's: as much data as the first piece of 300 KiB holds beside the header, and the mark.
        self.assertEqual(len(tarnlib.read_file(self.at("w", "w.bi0002.trn"))), 300 * 1024 - 652 + 8)
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "j", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(contents("j"), {"w.bin": data})

    def test_force_removes_only_the_later_pieces_the_replaced_set_counts(self):
        self.source("r.bin", 100000)
        self.assertEqual(self.tarn("split", "r.bin", "-s", "10K", "-q")[0], 0)  # 11 pieces: 9,588 bytes of data each
        code, _, err = self.tarn("split", "r.bin", "-s", "30K", "--force")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in range(1, 5)])
        self.assertIn("removed 7 later piece(s) of the set it replaced", err)
        self.assertEqual(self.tarn("verify", self.at("r", "r.bi0001.trn"), "-q")[0], 0)
        # Pieces no first piece there counts (the second disk of someone's set) are not the split's to remove.
        for index in (7, 8):
            tarnlib.write_file(self.at("r", "r.bi%04d.trn" % index), b"kept %d" % index)
        os.remove(self.at("r", "r.bi0001.trn"))
        self.assertEqual(self.tarn("split", "r.bin", "-s", "50K", "--force", "-q")[0], 0)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 3, 4, 7, 8)])
        # Nor the file being split, though the old set counts it.
        self.assertEqual(self.tarn("split", "r.bin", "-s", "10K", "--force", "-q")[0], 0)
        source = tarnlib.read_file(self.at("r", "r.bi0009.trn"))
        code, _, err = self.tarn("split", self.at("r", "r.bi0009.trn"), "-o", "r", "-s", "5K", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 3, 9)])
        self.assertEqual(tarnlib.read_file(self.at("r", "r.bi0009.trn")), source)
        # Pieces without header are counted as a join reads them: up to the first one missing.
        for index in range(1, 6):
            tarnlib.write_file(self.at("r", "r.bi%04d.trn" % index), b"raw %d" % index)
        self.assertEqual(self.tarn("split", "r.bin", "-s", "50K", "--force", "-q")[0], 0)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 9)])
        # A script set's UnTarn.bat counts its pieces, past a gap, and goes with them.
        for index in (1, 2, 3, 5, 6):
            tarnlib.write_file(self.at("r", "r.bi%04d.trn" % index), b"raw %d" % index)
        names = "+".join("r.bi%04d.trn" % i for i in range(1, 7))
        tarnlib.write_file(self.at("r", "UnTarn.bat"), b'Copy /b %s "r.bin"' % names.encode())
        code, _, err = self.tarn("split", "r.bin", "-s", "50K", "--force")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("r"), ["r.bi%04d.trn" % i for i in (1, 2, 9)])
        self.assertIn("removed the UnTarn.bat of the set it replaced", err)

    def test_write_failures_have_their_own_codes(self):
        self.source("w.bin", 400000)
        code, _, err = self.tarn("split", "w.bin", "-s", "100K", "-o", "made/w", limit_kib=50)
        self.assertEqual(code, DISK_FULL, err)
        self.assertFalse(os.path.exists(self.at("made")))  # no half-made set, nor the folders made for it
        tarnlib.write_file(self.at("afile"), b"x")
        code, _, err = self.tarn("split", "w.bin", "-o", self.at("afile", "sub"))
        self.assertEqual(code, UNWRITABLE, err)
        self.assertEqual(self.tarn("split", "w.bin", "-s", "100K", "-q")[0], 0)
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "j/k", limit_kib=150)
        self.assertEqual(code, DISK_FULL, err)
        self.assertFalse(os.path.exists(self.at("j")), "neither the file nor the folders made for it are left")
        os.makedirs(self.at("had"))
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "had/new/er", limit_kib=150)
        self.assertEqual(code, DISK_FULL, err)
        self.assertEqual(self.listing("had"), [], "a folder that was there stays")
        self.assertEqual(self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", "had/new/er", "-q")[0], 0)
        self.assertEqual(self.listing("had/new/er"), ["w.bin"])
        code, _, err = self.tarn("join", self.at("w", "w.bi0001.trn"), "-o", self.at("afile", "x"))
        self.assertEqual(code, UNWRITABLE, err)
        for command in (["split", "w.bin"], ["join", self.at("w", "w.bi0001.trn")]):
            code, _, err = self.tarn(*command, "-o", "afile")
            self.assertEqual(code, UNWRITABLE, err)
            self.assertIn("'afile': Not a directory", err, "a file in the way is no folder that 'exists'")
        code, _, err = self.tarn("split", "nosuch.bin")
        self.assertEqual(code, MISSING, err)
        # A file written to while it is cut: the set holds what it was, and the split says so and fails.
        _, data = self.source("grows.bin", 64 << 20)
        appending = subprocess.Popen(["bash", "-c", "while :; do printf x >> grows.bin; sleep 0.001; done"],
                                     cwd=self.work)
        try:
            code, _, err = self.tarn("split", "grows.bin", "-s", "1M", "-q", prefix=("taskset", "-c", "0"))
        finally:
            appending.kill()
            appending.wait()
        self.assertEqual(code, 8, err)
        self.assertIn("'grows.bin' grew while it was cut", err)
        code, _, err = self.tarn("join", self.at("grows", "grow0001.trn"), "-o", "g")
        self.assertEqual(code, 0, err)
        joined = tarnlib.read_file(self.at("g", "grows.bin"))
        self.assertEqual(joined[:len(data)], data[:len(joined)])
        # Reports to a full disk fail out loud too.
        with open("/dev/full", "wb") as full:
            for command in (["info", "w/w.bi0001.trn", "--json"], ["verify", "w/w.bi0001.trn"], ["--help"]):
                done = subprocess.run([PROGRAM, *command], stdout=full, stderr=subprocess.PIPE, cwd=self.work,
                                      env=self.environment())
                self.assertEqual(done.returncode, DISK_FULL, command)
                self.assertIn(b"cannot write standard output: No space left on device", done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
