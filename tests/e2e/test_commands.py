"""End-to-end runs of tarn's split and join: sizes, names, keys, scripts, streams and holes."""
import json
import os
import random
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from commandcase import (  # noqa: E402
    PROGRAM, CHECKSUM, USAGE, MISSING, DAMAGED, UNWRITABLE, checksum_of, CommandCase, current_umask)
import tarnlib  # noqa: E402


class SplitAndJoin(CommandCase):
    def test_defaults_roundtrip_with_name_times_and_checksum(self):
        path, data = self.source("report.doc", 2500000)
        old = 1500000000 * 10**9
        os.utime(path, ns=(old, old))
        code, _, err = self.tarn("split", "report.doc")
        self.assertEqual(code, 0, err)
        # The e-mail preset evened out: 3 pieces of 814 KiB in ./report.
        self.assertEqual(self.listing("report"), ["repo0001.trn", "repo0002.trn", "repo0003.trn"])
        head = tarnlib.read_header(self.at("report", "repo0001.trn"))
        self.assertEqual((head["name"], head["size"], head["count"]), (b"report.doc", 2500000, 3))
        self.assertEqual(head["checksum"], checksum_of(data))
        self.assertEqual(os.path.getsize(self.at("report", "repo0002.trn")), 8 + 814 * 1024)
        os.makedirs(self.at("j"))
        code, _, err = self.tarn("join", self.at("report", "repo0002.trn"), cwd=self.at("j"))
        self.assertEqual(code, 0, err)
        self.assertIn("report.doc: rebuilt from 3 piece(s) in .", err)  # the name came from the set: it is told
        rebuilt = self.at("j", "report.doc")
        self.assertEqual(tarnlib.read_file(rebuilt), data)
        self.assertEqual(os.stat(rebuilt).st_mtime_ns, old)

    def test_a_private_file_gives_private_pieces_and_is_rebuilt_private(self):
        # As gzip keeps a file's mode: pieces of a file only its owner may read are readable by nobody else, and
        # so is the file they rebuild (whether it is new or replaces one).
        path, _ = self.source("id.key", 30000)
        # Neither an execute bit nor read-only is passed on to pieces, nor from pieces read-only as on a CD. A
        # read-only file is rebuilt read-only all the same: the set records it.
        for given, pieces, rebuilt in ((0o700, 0o600, 0o600), (0o640, 0o640, 0o640), (0o444, 0o644, 0o444),
                                       (0o400, 0o600, 0o400)):
            os.chmod(path, given)
            code, _, err = self.tarn("split", "id.key", "-s", "10K", "--force", "-q")
            self.assertEqual(code, 0, err)
            for name in self.listing("id"):
                self.assertEqual(os.stat(self.at("id", name)).st_mode & 0o777, pieces & ~current_umask(), name)
                os.chmod(self.at("id", name), given & 0o555)
            code, _, err = self.tarn("join", self.at("id", "id.k0001.trn"), "-o", "j", "--force", "-q")
            self.assertEqual(code, 0, err)
            self.assertEqual(os.stat(self.at("j", "id.key")).st_mode & 0o777, rebuilt & ~current_umask(), oct(given))

    def test_sizes_counts_and_presets(self):
        self.source("big.bin", 3 * 1048576 + 5)
        cases = [(["-s", "1M"], 4), (["-s", "1024"], 4), (["--size=2M"], 2), (["-s1536K"], 3), (["-n", "7"], 7),
                 (["-s", "email"], 4), (["-s", "电邮"], 4), (["-s", "Zip 100"], 1), (["-s", "dvd"], 1),
                 (["-s", "1G"], 1), (["-s", "2"], 2254)]  # 2 KiB files: 1,396 bytes of data beside the header
        for options, count in cases:
            shutil.rmtree(self.at("big"), ignore_errors=True)
            code, _, err = self.tarn("split", "big.bin", "-q", *options)
            self.assertEqual(code, 0, (options, err))
            self.assertEqual(len(self.listing("big")), count, options)
            self.assertEqual(tarnlib.read_header(self.at("big", "big.0001.trn"))["count"], count)
        code, _, err = self.tarn("join", self.at("big", "big.0001.trn"), "-o", "j", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "big.bin")), tarnlib.read_file(self.at("big.bin")))
        self.source("small.bin", 10000)
        for count, made in (("7", 7), ("4", 4), ("100", 100), ("9999", 5000)):
            shutil.rmtree(self.at("small"), ignore_errors=True)
            code, _, err = self.tarn("split", "small.bin", "-n", count)
            self.assertEqual((code, len(self.listing("small"))), (0, made), err)
            self.assertEqual("pieces, not the" in err, made != int(count), err)

    def test_a_file_without_extension_goes_to_name_pieces(self):
        # ./NAME would be the file itself, or another file: the pieces go to ./NAME.pieces instead.
        _, data = self.source("backup", 300000)
        code, _, err = self.tarn("split", "backup", "-s", "100K")
        self.assertEqual(code, 0, err)
        self.assertIn("./backup.pieces", err)
        self.assertEqual(self.listing("backup.pieces"), ["back0001.trn", "back0002.trn", "back0003.trn"])
        self.assertEqual(self.tarn("join", self.at("backup.pieces", "back0002.trn"), "-o", "j", "-q")[0], 0)
        self.assertEqual(tarnlib.read_file(self.at("j", "backup")), data)
        self.source("notes.txt", 1000)
        tarnlib.write_file(self.at("notes"), b"another file")
        self.assertEqual(self.tarn("split", "notes.txt", "-q")[0], 0)
        self.assertEqual(self.listing("notes.pieces"), ["note0001.trn"])
        # Less its extension "...x" would be the parent folder and "..x" this one: they go by the whole name.
        os.makedirs(self.at("in"))
        for name in ("...x", "..x"):
            self.source(os.path.join("in", name), 1000)
            self.assertEqual(self.tarn("split", name, "-q", cwd=self.at("in"))[0], 0)
        self.assertEqual(self.listing("in"), ["...x", "...x.pieces", "..x", "..x.pieces"])
        self.assertEqual(self.listing("in/...x.pieces"), ["...x0001.trn"])
        os.makedirs(self.at("list"))
        self.source("list.txt", 1000)
        self.assertEqual(self.tarn("split", "list.txt", "-q")[0], 0)
        self.assertEqual(self.listing("list"), ["list0001.trn"], "an existing folder is used as before")

    def test_a_windows_name_too_long_for_linux_is_cut_to_fit(self):
        # 140 Chinese characters are a legal name on Windows and 424 bytes of UTF-8 here, over the 255 Linux takes.
        data = b"long name" * 1000
        name = "中" * 140 + ".txt"
        tarnlib.write_file(self.at("long0001.trn"),
                           tarnlib.make_header(name.encode("gbk"), len(data), 1, checksum_of(data)) + data)
        code, _, err = self.tarn("join", "long0001.trn", "-o", "j")
        self.assertEqual(code, 0, err)
        fitted = "中" * 83 + ".txt"
        self.assertEqual(self.listing("j"), [fitted])
        self.assertEqual(tarnlib.read_file(self.at("j", fitted)), data)
        self.assertIn("too long for this system (424 bytes)", err)
        code, out, err = self.tarn("join", "long0001.trn", "-o", "-")
        self.assertEqual((code, out, err), (0, data, ""), "standard output needs no name")

    def test_usage_errors_write_nothing(self):
        self.source("u.bin", 20000)
        for args in (["split", "u.bin", "-s", "0"], ["split", "u.bin", "-s", "lots"], ["split", "u.bin", "-s", "5T"],
                     ["split", "u.bin", "-n", "0"], ["split", "u.bin", "-n", "10000"],
                     ["split", "u.bin", "-s", "1", "-n", "2"], ["split"], ["split", "u.bin", "v.bin"],
                     ["split", "u.bin", "--json"], ["split", "u.bin", "--bogus"], ["join", "u.bin", "-s", "5"],
                     ["split", "u.bin", "-o"], ["split", "-", "-s", "5"], ["split", "-", "--name", "x", "-n", "2"],
                     ["info"], ["verify", "--script", "x0001.trn"], ["split", "u.bin", "-o", "-"],
                     ["-q", "split", "u.bin"], ["-s", "5K", "split", "u.bin"]):
            code, out, err = self.tarn(*args)
            self.assertEqual(code, USAGE, (args, err))
            self.assertIn("tarn: ", err)
            self.assertEqual(out, b"")
        # A size that would need more than 9999 pieces names the least size that works.
        self.source("many.bin", 10000 * 1024 + 1)
        code, _, err = self.tarn("split", "many.bin", "-s", "1")
        self.assertEqual(code, USAGE)
        self.assertIn("-s 2K", err)
        self.assertEqual(sorted(os.listdir(self.work)), ["many.bin", "u.bin"])

    def test_existing_output_needs_force_and_the_source_is_never_replaced(self):
        _, data = self.source("keep.bin", 5000)
        self.assertEqual(self.tarn("split", "keep.bin", "-q")[0], 0)
        before = tarnlib.read_file(self.at("keep", "keep0001.trn"))
        code, _, err = self.tarn("split", "keep.bin", "-s", "2")
        self.assertEqual(code, UNWRITABLE, err)
        self.assertIn("--force", err)
        self.assertEqual(self.listing("keep"), ["keep0001.trn"])
        self.assertEqual(tarnlib.read_file(self.at("keep", "keep0001.trn")), before)
        code, _, err = self.tarn("split", "keep.bin", "-s", "2", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(len(self.listing("keep")), 4)  # 2 KiB files: 1,396 bytes of data beside the header
        # The join's file exists: refused, then replaced with --force; a symlink there is replaced, not followed.
        os.makedirs(self.at("j"))
        tarnlib.write_file(self.at("victim"), b"victim")
        os.symlink(self.at("victim"), self.at("j", "keep.bin"))
        code, _, err = self.tarn("join", self.at("keep", "keep0001.trn"), "-o", "j")
        self.assertEqual(code, UNWRITABLE, err)
        code, _, err = self.tarn("join", self.at("keep", "keep0001.trn"), "-o", "j", "--force", "-q")
        self.assertEqual(code, 0, err)
        self.assertFalse(os.path.islink(self.at("j", "keep.bin")))
        self.assertEqual(tarnlib.read_file(self.at("j", "keep.bin")), data)
        self.assertEqual(tarnlib.read_file(self.at("victim")), b"victim")
        # A set whose stored name is one of its own pieces is never joined over it.
        folder = self.at("self")
        os.makedirs(folder)
        piece = tarnlib.make_header(b"selo0001.trn", 3, 1) + b"abc"
        tarnlib.write_file(os.path.join(folder, "selo0001.trn"), piece)
        code, _, err = self.tarn("join", os.path.join(folder, "selo0001.trn"), "-o", folder, "--force")
        self.assertEqual(code, UNWRITABLE, err)
        self.assertEqual(tarnlib.read_file(os.path.join(folder, "selo0001.trn")), piece)

    def test_script_set_and_joins_of_sets_without_header(self):
        _, data = self.source("movie.avi", 10000)
        code, _, err = self.tarn("split", "movie.avi", "-s", "4K", "--script", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("movie"), ["UnTarn.bat", "movi0001.trn", "movi0002.trn", "movi0003.trn"])
        self.assertEqual(tarnlib.read_file(self.at("movie", "UnTarn.bat")),
                         b'Copy /b movi0001.trn+movi0002.trn+movi0003.trn "movie.avi"')
        self.assertEqual(b"".join(tarnlib.read_file(self.at("movie", "movi%04d.trn" % i)) for i in (1, 2, 3)), data)
        code, _, err = self.tarn("join", self.at("movie", "movi0001.trn"), "-o", "j")
        self.assertEqual(code, DAMAGED, err)
        self.assertIn("-y", err)
        self.assertFalse(os.path.exists(self.at("j")))
        code, _, err = self.tarn("join", self.at("movie", "movi0003.trn"), "-o", "j", "-y")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "movie.avi")), data)  # the script names the file
        # The script counts the pieces too: without the last one the join is refused, not cut short.
        os.rename(self.at("movie", "movi0003.trn"), self.at("kept"))
        code, _, err = self.tarn("join", self.at("movie", "movi0001.trn"), "-o", "j2", "-y")
        self.assertEqual(code, MISSING, err)
        self.assertFalse(os.path.exists(self.at("j2")))
        os.rename(self.at("kept"), self.at("movie", "movi0003.trn"))
        # And all but the last are as long as the first: a short one is found by verify.
        second = tarnlib.read_file(self.at("movie", "movi0002.trn"))
        tarnlib.write_file(self.at("movie", "movi0002.trn"), second[:100])
        code, out, _ = self.tarn("verify", self.at("movie", "movi0001.trn"))
        self.assertEqual(code, DAMAGED, out)
        self.assertIn(b"piece 2 has 100 bytes, the set needs 4096", out)
        tarnlib.write_file(self.at("movie", "movi0002.trn"), second)
        # Without it, the pieces up to the highest number there are the set, named by their stem.
        os.remove(self.at("movie", "UnTarn.bat"))
        code, _, err = self.tarn("join", self.at("movie", "movi0003.trn"), "-o", "j3", "-y")
        self.assertEqual(code, 0, err)  # ended at its last piece: a success
        self.assertEqual(tarnlib.read_file(self.at("j3", "movi")), data)
        # One missing before another is missing, not the end of the set (piece 1 alone was joined as a success).
        os.rename(self.at("movie", "movi0002.trn"), self.at("kept"))
        code, _, err = self.tarn("join", self.at("movie", "movi0001.trn"), "-o", "j6", "-y")
        self.assertEqual(code, MISSING, err)
        self.assertIn("piece 2 is missing", err)
        self.assertFalse(os.path.exists(self.at("j6")))
        os.rename(self.at("kept"), self.at("movie", "movi0002.trn"))
        # From Chinese Windows: the script in code page 936, the pieces' names come here in UTF-8.
        os.makedirs(self.at("win"))
        for number in (1, 2):
            tarnlib.write_file(self.at("win", "报告%04d.trn" % number), data[(number - 1) * 5000:number * 5000])
        names = b"+".join(("报告%04d.trn" % number).encode("gbk") for number in (1, 2))
        tarnlib.write_file(self.at("win", "UnTarn.bat"), b"Copy /b " + names + b' "' + "报告书.avi".encode("gbk") + b'"')
        code, out, _ = self.tarn("info", self.at("win", "报告0002.trn"), "--json")
        self.assertEqual((code, json.loads(out)["script"], json.loads(out)["name"]), (0, True, "报告书.avi"))
        code, _, err = self.tarn("join", self.at("win", "报告0001.trn"), "-o", "j4", "-y")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j4", "报告书.avi")), data)
        # Cut here, the script is in code page 936 throughout, as cmd on Chinese Windows reads it.
        _, report = self.source("报告.doc", 10000)
        self.assertEqual(self.tarn("split", "报告.doc", "-s", "4K", "--script", "-q")[0], 0)
        names = b"+".join(("报告%04d.trn" % number).encode("gbk") for number in (1, 2, 3))
        self.assertEqual(tarnlib.read_file(self.at("报告", "UnTarn.bat")),
                         b"Copy /b " + names + b' "' + "报告.doc".encode("gbk") + b'"')
        code, _, err = self.tarn("join", self.at("报告", "报告0002.trn"), "-o", "j5", "-y")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j5", "报告.doc")), report)
        # Another version's set joins with -y and is refused without it.
        _, other = self.source("o.bin", 3000)
        os.makedirs(self.at("old"))
        tarnlib.write_file(self.at("old", "oXXX0001.trn"),
                           tarnlib.make_header(b"o.bin", 3000, 1, magic=b"TARN1400") + other)
        self.assertEqual(self.tarn("join", self.at("old", "oXXX0001.trn"), "-o", "j")[0], DAMAGED)
        code, _, err = self.tarn("join", self.at("old", "oXXX0001.trn"), "-o", "j", "-y", "--no-checksum")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("j", "o.bin")), other)

    def test_key_description_and_no_checksum(self):
        for size in (4100, 4500, 250000):  # one piece under a KiB boundary, one over, several
            _, data = self.source("sec.bin", size, seed=size)
            shutil.rmtree(self.at("sec"), ignore_errors=True)
            shutil.rmtree(self.at("j"), ignore_errors=True)
            code, _, err = self.tarn("split", "sec.bin", "-s", "100K", "--key", "s3cret", "-d", "for Wang", "-q")
            self.assertEqual(code, 0, err)
            first = self.at("sec", "sec.0001.trn")
            self.assertNotEqual(tarnlib.read_file(first)[652:652 + 4], data[:4])
            self.assertEqual(self.tarn("verify", first, "-q")[0], CHECKSUM)
            code, out, _ = self.tarn("verify", first)
            self.assertIn(b"--key", out)
            self.assertEqual(self.tarn("verify", first, "--key", "s3cret")[0], 0)
            code, _, err = self.tarn("join", first, "-o", "j", "--key", "s3cret")
            self.assertEqual(code, 0, err)
            self.assertIn("for Wang", err)
            self.assertEqual(tarnlib.read_file(self.at("j", "sec.bin")), data, size)
            code, _, err = self.tarn("join", first, "-o", "j", "--key", "wrong", "--force", "-q")
            self.assertEqual(code, CHECKSUM, err)
            self.assertTrue(os.path.exists(self.at("j", "sec.bin")))  # kept, as Tarn.exe keeps it
            self.assertNotIn("--key", err)
            code, _, err = self.tarn("join", first, "-o", "j", "--force")
            self.assertEqual(code, CHECKSUM, err)
            self.assertIn("needs --key", err)
        # A Chinese key is the code page 936 bytes Tarn.exe takes when it is typed there: the same set.
        self.assertEqual(self.tarn("split", "sec.bin", "-s", "100K", "-o", "k936", "-q", "--key", "密钥")[0], 0)
        done = subprocess.run(["bash", "-c", 'exec "$0" split sec.bin -s 100K -o kraw -q --key "$(printf "$KEY")"',
                               PROGRAM], cwd=self.work, env=dict(os.environ, KEY="\\xc3\\xdc\\xd4\\xbf"))
        self.assertEqual(done.returncode, 0)
        for name in self.listing("k936")[1:]:
            self.assertEqual(tarnlib.read_file(self.at("k936", name)), tarnlib.read_file(self.at("kraw", name)), name)
        self.assertEqual(self.tarn("verify", self.at("k936", "sec.0001.trn"), "--key", "密钥", "-q")[0], 0)
        _, data = self.source("plain.bin", 70000)
        code, _, err = self.tarn("split", "plain.bin", "-s", "20K", "--no-checksum", "-q")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_header(self.at("plain", "plai0001.trn"))["checksum"], 0)
        code, out, _ = self.tarn("verify", self.at("plain", "plai0002.trn"))
        self.assertEqual(code, 0)
        self.assertIn(b"no checksum recorded", out)
        code, _, err = self.tarn("join", self.at("plain", "plai0001.trn"), "-o", "k")
        self.assertEqual(code, 0, err)
        self.assertIn("no checksum", err)
        self.assertEqual(tarnlib.read_file(self.at("k", "plain.bin")), data)

    def test_standard_input_and_standard_output(self):
        data = random.Random(5).randbytes(300000)
        for size, key in (("64K", None), ("1M", None), ("1M", "k"), ("64K", "k")):
            shutil.rmtree(self.at("dump"), ignore_errors=True)
            args = ["split", "-", "--name", "dump.sql", "-s", size, "-q"] + (["--key", key] if key else [])
            code, _, err = self.tarn(*args, stdin=data)
            self.assertEqual(code, 0, err)
            head = tarnlib.read_header(self.at("dump", "dump0001.trn"))
            self.assertEqual((head["name"], head["size"], head["checksum"]), (b"dump.sql", 300000, checksum_of(data)))
            self.assertEqual(head["count"], len(self.listing("dump")))
            self.assertEqual(head["count"], 5 if size == "64K" else 1)
            keyed = ["--key", key] if key else []
            self.assertEqual(self.tarn("verify", self.at("dump", "dump0001.trn"), "-q", *keyed)[0], 0)
            code, out, err = self.tarn("join", self.at("dump", "dump0003.trn" if size == "64K" else "dump0001.trn"),
                                       "-o", "-", *keyed)
            self.assertEqual(code, 0, err)
            self.assertEqual(out, data)
        # Input that ends on a piece boundary makes no empty last piece: 1 KiB files hold 372 bytes beside the header.
        shutil.rmtree(self.at("dump"))
        self.assertEqual(self.tarn("split", "-", "--name", "dump", "-s", "1K", "-q", stdin=bytes(4 * 372))[0], 0)
        self.assertEqual(len(self.listing("dump")), 4)
        # Piped through a real pipe of unknown length.
        pipe = subprocess.run("head -c 200000 /dev/zero | %s split - --name z.bin -s 50K -q" % PROGRAM, shell=True,
                              cwd=self.work)
        self.assertEqual(pipe.returncode, 0)
        self.assertEqual(self.listing("z"), ["z.bi0001.trn", "z.bi0002.trn", "z.bi0003.trn", "z.bi0004.trn"])

    def test_sparse_source_gives_sparse_pieces_and_joins_to_a_sparse_file_with_the_same_bytes(self):
        path = self.at("disk.img")
        with open(path, "wb") as f:
            f.truncate(64 << 20)
            f.seek(20 << 20)
            f.write(b"data in the middle" * 1000)
            f.seek((40 << 20) + 5)
            f.write(b"more")
        data = tarnlib.read_file(path)
        for extra in ([], ["--no-checksum"], ["--key", "pw"]):
            shutil.rmtree(self.at("disk"), ignore_errors=True)
            shutil.rmtree(self.at("j"), ignore_errors=True)
            code, _, err = self.tarn("split", "disk.img", "-s", "10M", "-q", *extra)
            self.assertEqual(code, 0, err)
            names = self.listing("disk")
            self.assertEqual(len(names), 7)
            stored = sum(os.stat(self.at("disk", n)).st_blocks * 512 for n in names)
            self.assertLess(stored, 4 << 20, extra)  # the holes were not written out
            self.assertEqual(tarnlib.read_header(self.at("disk", names[0]))["checksum"],
                             0 if extra == ["--no-checksum"] else checksum_of(data))
            key = extra if extra[:1] == ["--key"] else []
            # Without a checksum to check, one processor is left the kernel's copy, which would fill the holes.
            one = ["taskset", "-c", "0"] if extra == ["--no-checksum"] else []
            code, _, err = self.tarn("join", self.at("disk", names[-1]), "-o", "j", "-q", *key, prefix=one)
            self.assertEqual(code, 0, err)
            self.assertEqual(tarnlib.read_file(self.at("j", "disk.img")), data, extra)
            self.assertLess(os.stat(self.at("j", "disk.img")).st_blocks * 512, 12 << 20, extra)
            # Verify skips the holes too; the key's span at each piece's start is still read and deciphered.
            self.assertEqual(self.tarn("verify", self.at("disk", names[0]), "-q", *key)[0], 0, extra)

    def test_chinese_names_are_stored_as_windows_stores_them(self):
        # A set from Chinese Windows stores its name in code page 936: joined here it gets its UTF-8 name back.
        data = b"wang" * 1000
        os.makedirs(self.at("win"))
        tarnlib.write_file(self.at("win", "abcd0001.trn"),
                           tarnlib.make_header("报告.doc".encode("gbk"), len(data), 1, description="给王".encode("gbk"), flag=1)
                           + data)
        code, out, _ = self.tarn("info", self.at("win", "abcd0001.trn"), "--json")
        self.assertEqual((code, json.loads(out)["name"], json.loads(out)["description"]), (0, "报告.doc", "给王"))
        code, _, err = self.tarn("join", self.at("win", "abcd0001.trn"), "-o", "j")
        self.assertEqual(code, 0, err)
        self.assertIn("给王", err)
        self.assertEqual(tarnlib.read_file(self.at("j", "报告.doc")), data)
        # Cut here, the name is stored as Tarn.exe would store it, and the piece names stay whole characters.
        _, data = self.source("报告书.txt", 5000)
        code, _, err = self.tarn("split", "报告书.txt", "-q", "-d", "描述")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.listing("报告书"), ["报告0001.trn"])  # the stem's four bytes in code page 936
        head = tarnlib.read_header(self.at("报告书", "报告0001.trn"))
        self.assertEqual((head["name"], head["description"]), ("报告书.txt".encode("gbk"), "描述".encode("gbk")))
        code, _, err = self.tarn("join", self.at("报告书", "报告0001.trn"), "-o", "k")
        self.assertEqual(code, 0, err)
        self.assertEqual(tarnlib.read_file(self.at("k", "报告书.txt")), data)
        # Earlier builds stored a name code page 936 cannot hold in UTF-8, with nothing after it: read as UTF-8.
        tarnlib.write_file(self.at("win", "XXX.0001.trn"),
                           tarnlib.make_header("한국.doc".encode(), len(data), 1) + data)
        code, out, _ = self.tarn("info", self.at("win", "XXX.0001.trn"), "--json")
        self.assertEqual((code, json.loads(out)["name"]), (0, "한국.doc"))

    def test_names_code_page_936_lacks_come_back_whole(self):
        # The field holds what Tarn.exe and earlier builds read, code page 936 with '_' for what it lacks; after its
        # terminator a marked UTF-8 copy, which tarn reads first. A name that code page holds is stored as always.
        names = {"한국어 보고서.doc": b"___ ___.doc", "naïve.txt": b"na_ve.txt",
                 "ü€😀.bin": "ü".encode("gbk") + b"\x80_.bin",  # € is 0x80 in code page 936
                 "한" * 80 + ".txt": b"_" * 41 + b".txt",  # 244 bytes of copy: the field gives way
                 "报告书.doc": "报告书.doc".encode("gbk")}
        for number, (name, field) in enumerate(names.items()):
            with self.subTest(name=name):
                _, data = self.source(name, 25000)
                description = "설명 %d" % number
                code, _, err = self.tarn("split", name, "-s", "10K", "-o", "s%d" % number, "-d", description, "-q")
                self.assertEqual(code, 0, err)
                first = self.at("s%d" % number, next(n for n in self.listing("s%d" % number) if "0001" in n))
                head = tarnlib.read_header(first)
                self.assertEqual((head["name"], head["description"]), (field, b"__ %d" % number))
                code, out, err = self.tarn("info", first, "--json")
                self.assertEqual((code, json.loads(out)["name"], json.loads(out)["description"]),
                                 (0, name, description), err)
                code, _, err = self.tarn("join", first, "-o", "j%d" % number)
                self.assertEqual(code, 0, err)
                self.assertEqual(tarnlib.read_file(self.at("j%d" % number, name)), data)
        # A copy of more than 288 bytes leaves the field no room: refused, as a name of 300 bytes is.
        code, _, err = self.tarn("split", "-", "--name", "한" * 97 + ".txt", "-o", "long", stdin=b"data")
        self.assertEqual((code, self.listing("long")), (USAGE, []), err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
