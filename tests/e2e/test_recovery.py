"""Recovery volumes end to end: tarn's volumes checked and used by the standard client par2, the client's volumes
used by tarn, lost and damaged pieces rebuilt by join and repair, and volumes from strangers believed for nothing."""
import glob
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnlib  # noqa: E402
from commandcase import CommandCase  # noqa: E402


@unittest.skipUnless(shutil.which("par2"), "needs the par2 client")
class RecoveryVolumes(CommandCase):
    """Volumes written by tarn split follow PAR 2.0 to the byte: the standard client checks and repairs with them."""

    def par2(self, verb, folder, index):
        return subprocess.run(["par2", verb, index], cwd=self.at(folder), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=300)

    def test_the_standard_client_verifies_and_repairs_a_set(self):
        cases = [("report.doc", 3000000, ["-s", "300K", "--recovery", "3"], 10, 3),
                 ("keyed.bin", 500000, ["-n", "7", "--recovery", "30%", "--key", "k"], 7, 3),  # 30% of 7, up
                 ("plan.txt", 200000, ["-s", "50K", "--script", "-r", "2"], 4, 2),  # UnTarn.bat protected too
                 ("lone.bin", 1000, ["--recovery", "1"], 1, 1)]
        for name, size, options, pieces, blocks in cases:
            with self.subTest(name=name):
                _, data = self.source(name, size)
                folder = name.split(".")[0]
                code, _, err = self.tarn("split", name, "-q", *options)
                self.assertEqual(code, 0, err)
                files = sorted(os.listdir(self.at(folder)))
                volumes = [n for n in files if n.endswith(".par2")]
                self.assertEqual(volumes, [name + ".par2"] + [name + ".vol%02d+01.par2" % e for e in range(blocks)])
                protected = [n for n in files if not n.endswith(".par2")]
                self.assertEqual(len([n for n in protected if n.endswith(".trn")]), pieces)
                done = self.par2("verify", folder, name + ".par2")
                self.assertEqual(done.returncode, 0, done.stdout)
                before = {n: tarnlib.read_file(self.at(folder, n)) for n in protected}
                # As many pieces lost or damaged as there are blocks: all come back, byte for byte.
                lost = protected[:blocks]
                for n in lost[:-1]:
                    os.remove(self.at(folder, n))
                damaged = bytearray(before[lost[-1]])
                damaged[len(damaged) // 2] ^= 0x20
                tarnlib.write_file(self.at(folder, lost[-1]), bytes(damaged))
                done = self.par2("repair", folder, name + ".par2")
                self.assertEqual(done.returncode, 0, done.stdout)
                for n in protected:
                    self.assertEqual(tarnlib.read_file(self.at(folder, n)), before[n], n)
                first = [n for n in protected if n.endswith("0001.trn")][0]
                code, _, err = self.tarn("join", self.at(folder, first), "-o", folder + "-j", "-q", "-y",
                                         *(["--key", "k"] if "--key" in options else []))
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(self.at(folder + "-j", name)), data)
                # One more than the blocks: the client says it cannot.
                for n in protected[:blocks + 1] if len(protected) > blocks else []:
                    os.remove(self.at(folder, n))
                if len(protected) > blocks:
                    self.assertNotEqual(self.par2("repair", folder, name + ".par2").returncode, 0)

    def test_tarn_rebuilds_lost_pieces_on_a_join_and_in_place(self):
        # Tarn's own volumes (one block a piece) and the standard client's (blocks of 64 KiB, several a piece).
        cases = [("report.doc", 3000000, ["-s", "300K", "-r", "3"], []),
                 ("keyed.bin", 500000, ["-n", "7", "-r", "2", "--key", "k"], ["--key", "k"]),
                 ("plan.txt", 200000, ["-s", "50K", "--script", "-r", "2"], ["-y"]),  # UnTarn.bat lost too
                 ("lone.bin", 1000, ["-r", "1"], []),
                 ("theirs.bin", 2000000, ["-s", "300K"], [])]
        for name, size, options, join_options in cases:
            with self.subTest(name=name):
                _, data = self.source(name, size)
                folder = name.split(".")[0]
                self.assertEqual(self.tarn("split", name, "-q", *options)[0], 0)
                pieces = sorted(n for n in os.listdir(self.at(folder)) if not n.endswith(".par2"))
                if name == "theirs.bin":
                    done = subprocess.run(["par2", "create", "-q", "-s65536", "-r30", name + ".par2"] + pieces,
                                          cwd=self.at(folder), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                    self.assertEqual(done.returncode, 0, done.stdout)
                before = {n: tarnlib.read_file(self.at(folder, n)) for n in pieces}
                code, out, _ = self.tarn("verify", "--json", self.at(folder, pieces[-1]))
                blocks = json.loads(out)["recovery"]["blocks"]
                # Lost: a piece (a whole one, or blocks' worth of them), and another damaged.
                lost = pieces[:1] if name == "theirs.bin" else pieces[:blocks - 1]
                for n in lost:
                    os.remove(self.at(folder, n))
                damaged = pieces[len(lost)] if len(pieces) > len(lost) else None
                if damaged:
                    tarnlib.write_file(self.at(folder, damaged), before[damaged][:100] + b"x" + before[damaged][101:])
                listing = sorted(os.listdir(self.at(folder)))
                code, out, _ = self.tarn("verify", "--json", self.at(folder, pieces[-1]))
                self.assertEqual(code, 3 if lost else 4, out)
                self.assertTrue(json.loads(out)["recovery"]["repairable"], out)
                # The folder names the set even when its first piece is among the lost: the volumes name it.
                code, _, err = self.tarn("join", self.at(folder), "-o", folder + "-j", *join_options)
                self.assertEqual(code, 0, err)
                self.assertIn("rebuilt from the recovery volumes", err)
                self.assertEqual(tarnlib.read_file(self.at(folder + "-j", name)), data)
                self.assertEqual(sorted(os.listdir(self.at(folder + "-j"))), [name])
                self.assertEqual(sorted(os.listdir(self.at(folder))), listing, "a join writes nothing beside the set")
                code, _, err = self.tarn("repair", self.at(folder, pieces[-1]))
                self.assertEqual(code, 0, err)
                for n in pieces:
                    self.assertEqual(tarnlib.read_file(self.at(folder, n)), before[n], n)
                if damaged:
                    self.assertTrue(os.path.exists(self.at(folder, damaged + ".1")), "the damaged piece is kept")
                    os.remove(self.at(folder, damaged + ".1"))
                self.assertEqual(self.par2("verify", folder, name + ".par2").returncode, 0)
                # One loss more than the blocks: refused with the numbers, nothing written anywhere.
                if len(pieces) <= blocks:
                    continue
                much = pieces if name == "theirs.bin" else pieces[:blocks + 1]
                for n in much:
                    os.remove(self.at(folder, n))
                listing = sorted(os.listdir(self.at(folder)))
                code, out, _ = self.tarn("verify", self.at(folder, pieces[-1]))
                self.assertEqual(code, 7, out)
                self.assertIn(b"cannot be repaired", out)
                shutil.rmtree(self.at(folder + "-j"))
                code, _, err = self.tarn("join", self.at(folder, pieces[-1]), "-o", folder + "-j", *join_options)
                self.assertEqual(code, 7, err)
                self.assertFalse(os.path.exists(self.at(folder + "-j")))
                self.assertEqual(self.tarn("repair", self.at(folder, pieces[-1]))[0], 7)
                self.assertEqual(sorted(os.listdir(self.at(folder))), listing)

    @unittest.skipUnless(os.environ.get("TARN_LARGE_SETS", "1") == "1", "the large set runs in the plain build")
    def test_a_sparse_set_over_4_gib_loses_a_piece_and_comes_back(self):
        size = (4 << 30) + 300 * 1024 * 1024 + 12345
        marks = [0, (2 << 30) - 2, (4 << 30) + 8, size - 8]
        with open(self.at("huge.img"), "wb") as f:
            f.truncate(size)
            for at in marks:
                f.seek(at)
                f.write(b"M%07d" % (at % 10**7))
        code, _, err = self.tarn("split", "huge.img", "-s", "1G", "-r", "1", "-q")
        self.assertEqual(code, 0, err)
        # The volume of a sparse set is sparse too: longer than a piece, hardly any of it on disk.
        volume = os.stat(self.at("huge", "huge.img.vol00+01.par2"))
        self.assertGreater(volume.st_size, os.path.getsize(self.at("huge", "huge0001.trn")))
        self.assertLess(volume.st_blocks * 512, 64 << 20)
        os.remove(self.at("huge", "huge0003.trn"))
        code, _, err = self.tarn("join", self.at("huge", "huge0001.trn"), "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertIn("rebuilt from the recovery volumes: huge0003.trn", err)
        self.assertEqual(os.path.getsize(self.at("j", "huge.img")), size)
        with open(self.at("j", "huge.img"), "rb") as f:
            for at in marks:
                f.seek(at)
                self.assertEqual(f.read(8), b"M%07d" % (at % 10**7))

    def test_volumes_added_later_and_names_no_piece_of_the_set(self):
        _, data = self.source("late.bin", 400000)
        self.assertEqual(self.tarn("split", "late.bin", "-s", "100K", "-q")[0], 0)
        code, _, err = self.tarn("repair", "--create", "50%", self.at("late", "late0001.trn"))
        self.assertEqual(code, 0, err)
        self.assertEqual(self.par2("verify", "late", "late.bin.par2").returncode, 0)
        self.assertEqual(self.tarn("repair", "-c", "1", self.at("late", "late0001.trn"))[0], 5)  # has them already
        # Volumes that also cover a file that is no piece: it is read, never written.
        tarnlib.write_file(self.at("late", "other.txt"), b"not a piece" * 100)
        names = sorted(n for n in os.listdir(self.at("late")) if n.endswith(".trn")) + ["other.txt"]
        done = subprocess.run(["par2", "create", "-q", "-s4096", "-r30", "extra.par2"] + names, cwd=self.at("late"),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(done.returncode, 0, done.stdout)
        for n in glob.glob(self.at("late", "late.bin*.par2")):
            os.remove(n)
        os.remove(self.at("late", "other.txt"))
        os.remove(self.at("late", "late0002.trn"))
        code, _, err = self.tarn("repair", self.at("late", "extra.par2"))
        self.assertEqual(code, 0, err)
        self.assertIn("'other.txt' is no piece of this set: not written", err)
        self.assertFalse(os.path.exists(self.at("late", "other.txt")))
        code, _, err = self.tarn("join", self.at("late", "late0001.trn"), "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "late.bin")), data)
        # A new set cut over it goes without the old volumes, which would call every new piece damaged; its own,
        # fewer, take their place; another set's volumes in the folder stay.
        tarnlib.write_file(self.at("late.bin"), data[::-1])
        tarnlib.write_file(self.at("late", "notes.txt"), b"a file of its own" * 100)
        done = subprocess.run(["par2", "create", "-q", "-r10", "notes.txt.par2", "notes.txt"], cwd=self.at("late"),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(done.returncode, 0, done.stdout)
        others = sorted(n for n in os.listdir(self.at("late")) if n.startswith("notes.txt") and n.endswith(".par2"))
        self.assertGreater(len(others), 1)
        for options, left in ((["-r", "1"], ["late.bin.par2", "late.bin.vol00+01.par2"]), ([], [])):
            code, _, err = self.tarn("split", "late.bin", "-s", "100K", "-q", "--force", *options)
            self.assertEqual(code, 0, err)
            self.assertEqual(sorted(n for n in os.listdir(self.at("late")) if n.endswith(".par2")),
                             sorted(left + others))
            code, _, err = self.tarn("verify", self.at("late", "late0001.trn"))
            self.assertEqual(code, 0, err)

    def test_a_strangers_volume_writes_nothing_outside_the_set(self):
        """A volume made by hand: sound digests, and files named outside the folder, in a folder of it, and absent."""
        _, data = self.source("mine.bin", 30000)
        self.assertEqual(self.tarn("split", "mine.bin", "-s", "10K", "-q")[0], 0)
        piece = tarnlib.read_file(self.at("mine", "mine0002.trn"))
        size = 4096
        outside = os.path.join(self.work, "outside.trn")
        files = [("mine0002.trn", piece), ("../outside.trn", b"x" * 100), (outside, b"y" * 100),
                 ("sub/mine0009.trn", b"z" * 100)]

        def packet(set_id, kind, body):
            kind = b"PAR 2.0\0" + kind.ljust(8, b"\0")
            return (b"PAR2\0PKT" + struct.pack("<Q", 64 + len(body)) +
                    hashlib.md5(set_id + kind + body).digest() + set_id + kind + body)

        ids, descriptions, sums = [], [], []
        for name, content in files:
            encoded = name.encode()
            first = hashlib.md5(content[:16384]).digest()
            file_id = hashlib.md5(first + struct.pack("<Q", len(content)) + encoded).digest()
            ids.append(file_id)
            descriptions.append(b"".join([file_id, hashlib.md5(content).digest(), first,
                                          struct.pack("<Q", len(content)), encoded + bytes(-len(encoded) % 4)]))
            body = file_id
            for at in range(0, len(content), size):
                chunk = content[at:at + size].ljust(size, b"\0")
                body += hashlib.md5(chunk).digest() + struct.pack("<I", zlib.crc32(chunk))
            sums.append(body)
        main = struct.pack("<QI", size, len(ids)) + b"".join(ids)
        set_id = hashlib.md5(main).digest()
        volume = packet(set_id, b"Main", main)
        for description in descriptions:
            volume += packet(set_id, b"FileDesc", description)
        for body in sums:
            volume += packet(set_id, b"IFSC", body)
        # Recovery slices of noise: enough of them for the three absent files, so a repair is tried.
        for exponent in range(3):
            volume += packet(set_id, b"RecvSlic", struct.pack("<I", exponent) + os.urandom(size))
        tarnlib.write_file(self.at("mine", "crafted.par2"), volume)
        before = sorted(os.listdir(self.work)), sorted(os.listdir(self.at("mine")))
        code, out, _ = self.tarn("verify", self.at("mine", "mine0002.trn"))
        self.assertEqual(code, 3, out)
        for name in ("../outside.trn", outside, "sub/mine0009.trn"):
            self.assertIn(("%s: missing" % name).encode(), out)
        code, _, err = self.tarn("repair", self.at("mine", "crafted.par2"))
        self.assertEqual(code, 0, err)
        for name in ("../outside.trn", outside, "sub/mine0009.trn"):
            self.assertIn("'%s' is no piece of this set: not written" % name, err)
        self.assertEqual((sorted(os.listdir(self.work)), sorted(os.listdir(self.at("mine")))), before)
        self.assertFalse(os.path.exists(self.at("mine", "sub")))
        # The volume's claims on the set's own piece are checked, and the set joins as it is.
        code, _, err = self.tarn("join", self.at("mine", "mine0001.trn"), "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "mine.bin")), data)


if __name__ == "__main__":
    unittest.main(verbosity=2)
